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

bool IndexReader::readSectionCount(std::uint32_t& count) {
  if (!limit_.admit(0)) return false;
  count = readU32(index_, 0);
  return true;
}

bool IndexReader::readImageCount(std::uint32_t& count) {
  if (!limit_.admit(position_)) return false;
  count = readU32(index_, position_);
  position_ += 4;
  return true;
}

bool IndexReader::readHeader(ImageHeader& header) {
  if (!limit_.admit(position_)) return false;
  header = readImageHeader(index_, position_);
  position_ += kImageHeaderSize;
  return true;
}

}  // namespace formats
