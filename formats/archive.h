// The sprite archive (".spr"): numbered sections of images, read strictly front
// to back. All integers are unsigned 32-bit little-endian; offsets count from 0.
//
//   offset 0   formatVersion  float, 1.1 when written (0x3F8CCCCD); never read
//   offset 4   sectionCount
//   offset 8   sectionCount sections, back to back, each:
//                imageCount
//                imageCount images, back to back, each:
//                  +0  typeCode   pixel format (see TypeCode)
//                  +4  RFWidth    carried through unchanged
//                  +8  RFHeight   carried through unchanged
//                  +12 width      texture width in pixels
//                  +16 height     texture height in pixels
//                  +20 dataSize   bytes of texture data that follow
//                  +24 data       as a DDS file holds it after its header
//
// There is no magic, checksum, offset table or alignment. Every record must
// lie in the file (RecordLimit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/file.h"
#include "util/status.h"

namespace formats {

struct ImageHeader {
  std::uint32_t typeCode = 0;
  std::uint32_t RFWidth = 0;
  std::uint32_t RFHeight = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t dataSize = 0;

  bool operator==(const ImageHeader&) const = default;
};

inline constexpr std::size_t kImageHeaderSize = 24;
inline constexpr std::uint64_t kSectionCountOffset = 4;
inline constexpr std::uint64_t kFirstSectionOffset = 8;
inline constexpr float kFormatVersion = 1.1f;

namespace TypeCode {
// The FourCC codes are the four letters read as one little-endian integer;
// 21 and 23 are the Direct3D codes of A8R8G8B8 and R5G6B5.
inline constexpr std::uint32_t kDxt1 = 0x31545844;
inline constexpr std::uint32_t kDxt3 = 0x33545844;
inline constexpr std::uint32_t kDxt5 = 0x35545844;
inline constexpr std::uint32_t kArgb8888 = 21;
inline constexpr std::uint32_t kRgb565 = 23;
}  // namespace TypeCode

util::Status readU32(const io::File& file, std::uint64_t offset, std::uint32_t& value);
util::Status readImageHeader(const io::File& file, std::uint64_t offset, ImageHeader& header);

// Puts the header's 24 bytes at `destination`.
void encodeImageHeader(char* destination, const ImageHeader& header);

util::Status writeU32(io::File& file, std::uint64_t offset, std::uint32_t value);
util::Status writeImageHeader(io::File& file, std::uint64_t offset, const ImageHeader& header);
util::Status writeFloat32(io::File& file, std::uint64_t offset, float value);

// "DXT1", "DXT3", "DXT5", "8.8.8.8 ARGB", "5.6.5 RGB" or "Unknown (<code>)".
std::string typeName(std::uint32_t typeCode);
bool isKnownTypeName(std::string_view name);

// Counts are not bounded by the format, so a damaged file, or a file that is
// no archive at all, can declare billions of sections or images that are not
// there. Every record must lie in the file, so two limits stop a walk:
//  - a record (a count, an index header, or an archive image: its header
//    and its data) that does not end by the end of the file stops the walk
//    before anything of it is used: the file was cut before it or inside
//    it, and what is missing would come out as zeros;
//  - a count whose records cannot all fit in the bytes after it, even at
//    their smallest (4 bytes a section, 24 an image: a header with no data),
//    stops the walk right after it is read.
// Neither changes the walk of a whole archive.
class RecordLimit {
 public:
  explicit RecordLimit(std::uint64_t fileSize) : fileSize_(fileSize) {}

  // True when the `size` bytes at `offset` all lie in the file.
  bool holds(std::uint64_t offset, std::uint64_t size) const {
    return offset <= fileSize_ && size <= fileSize_ - offset;
  }
  // True when `count` records of at least `recordSize` bytes, the first at
  // `firstOffset`, can all lie in the file.
  bool hasRoomFor(std::uint32_t count, std::uint64_t firstOffset, std::uint64_t recordSize) const {
    const std::uint64_t room = fileSize_ > firstOffset ? fileSize_ - firstOffset : 0;
    return count <= room / recordSize;
  }
  std::uint64_t fileSize() const { return fileSize_; }

 private:
  std::uint64_t fileSize_;
};

// Where a walk stopped, for the line that tells it.
struct WalkStop {
  enum class Where { kBeforeCounts, kBeforeImage, kInsideImage };
  std::uint64_t fileSize = 0;
  Where where = Where::kBeforeCounts;
  // The image the file ends before or inside, numbered as in the report.
  std::uint32_t section = 0;
  std::uint32_t image = 0;
};

// The numbers of the record a walk reads, and where it stopped.
class WalkPlace {
 public:
  void nextSection() { ++section_, image_ = 0; }
  void nextImage() { ++image_; }
  void stopHere(WalkStop::Where where) { where_ = where; }
  WalkStop stop(std::uint64_t fileSize) const {
    if (where_ == WalkStop::Where::kBeforeCounts) return WalkStop{fileSize};
    return WalkStop{fileSize, where_, section_, image_};
  }

 private:
  std::uint32_t section_ = 0;
  std::uint32_t image_ = 0;
  WalkStop::Where where_ = WalkStop::Where::kBeforeCounts;
};

// What the read of the next record of a walk gave, when it did not fail.
enum class Step {
  kGoOn,     // the record, and the walk goes on
  kLast,     // a count the rest of the file cannot hold: shown, then the stop
  kStopped,  // no record: the walk has stopped
};

// The one way every reader walks an archive. Positions are 64-bit and never
// wrap, so archives of 4 GiB and more walk correctly.
class ArchiveWalk {
 public:
  explicit ArchiveWalk(const io::File& archive);

  // Each reads the next record; a failure is a failed read of the archive.
  util::Status readSectionCount(std::uint32_t& count, Step& step);
  util::Status readImageCount(std::uint32_t& count, Step& step);
  // Reads an image header and steps over its data.
  util::Status readImage(ImageHeader& header, Step& step);

  // Where the data of the image read last begin.
  std::uint64_t dataOffset() const { return dataOffset_; }
  // Where the walk stopped, once a read gave no record or the last one.
  WalkStop stop() const { return place_.stop(limit_.fileSize()); }

 private:
  const io::File& archive_;
  RecordLimit limit_;
  WalkPlace place_;
  std::uint64_t position_ = kFirstSectionOffset;
  std::uint64_t dataOffset_ = 0;
};

}  // namespace formats
