#include "support/bytes.h"

namespace testing_support {

std::string le32(std::uint32_t value) {
  std::string bytes(4, '\0');
  bytes[0] = static_cast<char>(value & 0xFF);
  bytes[1] = static_cast<char>((value >> 8) & 0xFF);
  bytes[2] = static_cast<char>((value >> 16) & 0xFF);
  bytes[3] = static_cast<char>((value >> 24) & 0xFF);
  return bytes;
}

Bytes& Bytes::u32(std::uint32_t value) {
  bytes_ += le32(value);
  return *this;
}

Bytes& Bytes::raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

Bytes& Bytes::fill(std::size_t count, char byte) {
  bytes_.append(count, byte);
  return *this;
}

Bytes& Bytes::header(std::uint32_t typeCode, std::uint32_t rfWidth, std::uint32_t rfHeight,
                     std::uint32_t width, std::uint32_t height, std::uint32_t dataSize) {
  return u32(typeCode).u32(rfWidth).u32(rfHeight).u32(width).u32(height).u32(dataSize);
}

Bytes& Bytes::image(std::uint32_t typeCode, std::uint32_t rfWidth, std::uint32_t rfHeight,
                    std::uint32_t width, std::uint32_t height, const std::string& data) {
  header(typeCode, rfWidth, rfHeight, width, height, static_cast<std::uint32_t>(data.size()));
  return raw(data);
}

Bytes archiveStart(std::uint32_t sectionCount) {
  Bytes bytes;
  bytes.raw(std::string("\xCD\xCC\x8C\x3F", 4)).u32(sectionCount);
  return bytes;
}

std::string ramp(std::size_t count, unsigned seed) {
  std::string bytes(count, '\0');
  for (std::size_t k = 0; k < count; ++k) bytes[k] = static_cast<char>((k + seed * 13) & 0xFF);
  return bytes;
}

namespace {

std::string fileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize,
                       const Bytes& pixelFormat) {
  Bytes header;
  header.raw("DDS ").u32(124).u32(0x00081007).u32(height).u32(width).u32(linearSize);
  header.fill(76 - 24, '\0').u32(32).raw(pixelFormat).u32(0x1000).fill(16, '\0');
  return header.str();
}

}  // namespace

std::string dxtFileHeader(const std::string& fourCC, std::uint32_t height, std::uint32_t width,
                          std::uint32_t linearSize) {
  return fileHeader(height, width, linearSize, Bytes().u32(0x4).raw(fourCC).fill(20, '\0'));
}

std::string rgb565FileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize) {
  return fileHeader(height, width, linearSize,
                    Bytes().u32(0x40).u32(0).u32(16).u32(0xF800).u32(0x07E0).u32(0x1F).u32(0));
}

std::string argbFileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize) {
  return fileHeader(
      height, width, linearSize,
      Bytes().u32(0x41).u32(0).u32(32).u32(0xFF0000).u32(0xFF00).u32(0xFF).u32(0xFF000000));
}

}  // namespace testing_support
