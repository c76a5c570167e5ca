// Builds the bytes of archives and other files for tests, field by field,
// independently of the code under test.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "harness/bytes.h"

namespace testing_support {

using harness::le32;

class Bytes {
 public:
  Bytes& u32(std::uint32_t value);
  Bytes& raw(const std::string& bytes);
  Bytes& fill(std::size_t count, char byte);
  // An image record: the six header fields in file order, then `data`.
  Bytes& image(std::uint32_t typeCode, std::uint32_t rfWidth, std::uint32_t rfHeight,
               std::uint32_t width, std::uint32_t height, const std::string& data);
  // The same with a dataSize that need not match the data that follow.
  Bytes& header(std::uint32_t typeCode, std::uint32_t rfWidth, std::uint32_t rfHeight,
                std::uint32_t width, std::uint32_t height, std::uint32_t dataSize);
  const std::string& str() const { return bytes_; }
  operator const std::string&() const { return bytes_; }
  operator std::string_view() const { return bytes_; }

 private:
  std::string bytes_;
};

// An archive's first eight bytes: formatVersion 1.1 and the section count.
Bytes archiveStart(std::uint32_t sectionCount);

// `count` bytes of a simple ramp starting at `seed`.
std::string ramp(std::size_t count, unsigned seed = 0);

// An image file as other tools may write it.
struct Dds {
  std::uint32_t headerFlags = 0x00081007;
  std::uint32_t height = 0;
  std::uint32_t width = 0;
  std::uint32_t linearSize = 0;
  std::uint32_t pixelFlags = 0;
  std::string fourCC = std::string(4, '\0');
  std::uint32_t bits = 0, red = 0, green = 0, blue = 0, alpha = 0;
  std::string data = "";
  std::string dx10 = "";      // the DX10 header, for FourCC "DX10"
  std::string reserved = "";  // what the file holds from offset 24 on, up to 52 bytes
};

// The file's bytes: magic, size 124, the header flags, height, width and
// linear size, the reserved bytes, pixel format size 32, the pixel format
// block, caps 0x1000, then the DX10 header and the data.
std::string ddsBytes(const Dds& d);

// The 128-byte header of an image file as the converter writes it: magic,
// size 124, flags 0x00081007, height, width, linear size, pixel format size
// 32, then the pixel format block for DXT (flags 0x4 and the FourCC), 5.6.5
// (flags 0x40, 16 bits and masks) or 8.8.8.8 (flags 0x41, 32 bits and masks),
// and caps 0x1000.
std::string dxtFileHeader(const std::string& fourCC, std::uint32_t height, std::uint32_t width,
                          std::uint32_t linearSize);
std::string rgb565FileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize);
std::string argbFileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize);

inline constexpr std::uint32_t kDxt1 = 0x31545844;  // "DXT1"
inline constexpr std::uint32_t kDxt3 = 0x33545844;  // "DXT3"
inline constexpr std::uint32_t kDxt5 = 0x35545844;  // "DXT5"
inline constexpr std::uint32_t kArgb = 21;
inline constexpr std::uint32_t kRgb565 = 23;

}  // namespace testing_support
