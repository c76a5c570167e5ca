#include "formats/index.h"

#include "formats/coding.h"

namespace formats {

void IndexWriter::writeSectionCount(std::uint32_t count) {
  if (!writeU32(index_, 0, count)) failed_ = true;
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
  pending_.append(bytes, size);
  if (pending_.size() >= kFlushAt) flush();
}

void IndexWriter::flush() {
  if (pending_.empty()) return;
  if (!index_.write(position_, pending_.data(), pending_.size())) failed_ = true;
  position_ += pending_.size();
  pending_.clear();
}

Step IndexReader::readSectionCount(std::uint32_t& count) {
  if (!limit_.admit(0)) return Step::kStopped;
  count = readU32(index_, 0);
  if (failed()) return Step::kFailed;
  if (!limit_.admitWhole(0, 4)) return Step::kStopped;
  return limit_.admitCount(count, position_, 4) ? Step::kGoOn : Step::kLast;
}

Step IndexReader::readImageCount(std::uint32_t& count) {
  if (!limit_.admit(position_)) return Step::kStopped;
  place_.nextSection();
  count = readU32(index_, position_);
  if (failed()) return Step::kFailed;
  if (!limit_.admitWhole(position_, 4)) return Step::kStopped;
  position_ += 4;
  return limit_.admitCount(count, position_, kImageHeaderSize) ? Step::kGoOn : Step::kLast;
}

Step IndexReader::readImage(ImageHeader& header) {
  if (!limit_.admit(position_)) return Step::kStopped;
  place_.nextImage();
  header = readImageHeader(index_, position_);
  if (failed()) return Step::kFailed;
  if (!limit_.admitWhole(position_, kImageHeaderSize)) {
    place_.cutHere();
    return Step::kStopped;
  }
  position_ += kImageHeaderSize;
  return Step::kGoOn;
}

}  // namespace formats
