#include "formats/index.h"

namespace formats {

void IndexWriter::writeSectionCount(std::uint32_t count) {
  if (!writeU32(index_, 0, count)) failed_ = true;
}

void IndexWriter::writeImageCount(std::uint32_t count) {
  if (!writeU32(index_, position_, count)) failed_ = true;
  position_ += 4;
}

void IndexWriter::writeHeader(const ImageHeader& header) {
  if (!writeImageHeader(index_, position_, header)) failed_ = true;
  position_ += kImageHeaderSize;
}

std::uint32_t IndexReader::readImageCount() {
  const std::uint32_t count = readU32(index_, position_);
  position_ += 4;
  return count;
}

ImageHeader IndexReader::readHeader() {
  const ImageHeader header = readImageHeader(index_, position_);
  position_ += kImageHeaderSize;
  return header;
}

}  // namespace formats
