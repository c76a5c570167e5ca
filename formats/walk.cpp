#include "formats/walk.h"

namespace formats {

RecordReader::RecordReader(const io::File& file, RecordLayout layout)
    : file_(file), layout_(layout), limit_(file.size()), position_(layout.sectionCountOffset + 4) {}

util::Status RecordReader::readSectionCount(std::uint32_t& count, Step& step) {
  step = Step::kStopped;
  if (!limit_.holds(layout_.sectionCountOffset, 4)) return {};
  if (util::Status read = readU32(file_, layout_.sectionCountOffset, count); !read.ok()) {
    return read;
  }
  step = limit_.hasRoomFor(count, position_, 4) ? Step::kGoOn : Step::kLast;
  return {};
}

util::Status RecordReader::readImageCount(std::uint32_t& count, Step& step) {
  step = Step::kStopped;
  place_.nextSection();
  if (!limit_.holds(position_, 4)) return {};
  if (util::Status read = readU32(file_, position_, count); !read.ok()) return read;
  position_ += 4;
  step = limit_.hasRoomFor(count, position_, kImageHeaderSize) ? Step::kGoOn : Step::kLast;
  return {};
}

util::Status RecordReader::readImage(ImageHeader& header, Step& step) {
  step = Step::kStopped;
  place_.nextImage();
  if (!limit_.holds(position_, kImageHeaderSize)) {
    place_.stopHere(position_ >= limit_.fileSize() ? WalkStop::Where::kBeforeImage
                                                   : WalkStop::Where::kInsideImage);
    return {};
  }
  if (util::Status read = readImageHeader(file_, position_, header); !read.ok()) return read;
  const std::uint64_t dataSize = layout_.dataFollowHeaders ? header.dataSize : 0;
  if (!limit_.holds(position_, kImageHeaderSize + dataSize)) {
    place_.stopHere(WalkStop::Where::kInsideImage);
    return {};
  }
  dataOffset_ = position_ + kImageHeaderSize;
  position_ = dataOffset_ + dataSize;
  step = Step::kGoOn;
  return {};
}

}  // namespace formats
