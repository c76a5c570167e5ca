#include "formats/index.h"

#include <utility>

#include "formats/coding.h"

namespace formats {

void IndexWriter::writeSectionCount(std::uint32_t count) {
  if (index_ != nullptr) keepFirstFailure(writeU32(*index_, 0, count));
}

void IndexWriter::writeImageCount(std::uint32_t count) {
  char bytes[4];
  encodeU32(bytes, count);
  append(bytes, sizeof bytes);
}

void IndexWriter::writeHeader(const ImageHeader& header) {
  char bytes[kImageHeaderSize];
  encodeImageHeader(bytes, header);
  append(bytes, sizeof bytes);
}

void IndexWriter::append(const char* bytes, std::size_t size) {
  if (index_ == nullptr) return;
  pending_.append(bytes, size);
  if (pending_.size() >= kFlushAt) flush();
}

void IndexWriter::flush() {
  if (pending_.empty()) return;
  keepFirstFailure(index_->write(position_, pending_.data(), pending_.size()));
  position_ += pending_.size();
  pending_.clear();
}

util::Status IndexWriter::finish() {
  flush();
  return failure_;
}

void IndexWriter::keepFirstFailure(util::Status status) {
  if (failure_.ok()) failure_ = std::move(status);
}

}  // namespace formats
