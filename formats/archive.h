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
// lie in the file (formats/walk.h).
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

}  // namespace formats
