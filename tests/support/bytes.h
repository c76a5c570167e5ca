// Builds the bytes of archives and other files for tests, field by field,
// independently of the code under test.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace testing_support {

// Little-endian bytes of a 32-bit value.
std::string le32(std::uint32_t value);

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

 private:
  std::string bytes_;
};

// An archive's first eight bytes: formatVersion 1.1 and the section count.
Bytes archiveStart(std::uint32_t sectionCount);

// `count` bytes of a simple ramp starting at `seed`.
std::string ramp(std::size_t count, unsigned seed = 0);

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
