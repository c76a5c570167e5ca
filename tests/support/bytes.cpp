#include "support/bytes.h"

namespace testing_support {

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

std::string ddsBytes(const Dds& d) {
  Bytes bytes;
  bytes.raw("DDS ").u32(124).u32(d.headerFlags).u32(d.height).u32(d.width).u32(d.linearSize);
  bytes.raw(d.reserved).fill(76 - 24 - d.reserved.size(), '\0').u32(32).u32(d.pixelFlags);
  bytes.raw(d.fourCC).u32(d.bits).u32(d.red).u32(d.green).u32(d.blue).u32(d.alpha).u32(0x1000);
  return bytes.fill(16, '\0').raw(d.dx10).raw(d.data).str();
}

std::string dxtFileHeader(const std::string& fourCC, std::uint32_t height, std::uint32_t width,
                          std::uint32_t linearSize) {
  return ddsBytes({0x00081007, height, width, linearSize, 0x4, fourCC});
}

std::string rgb565FileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize) {
  return ddsBytes({0x00081007, height, width, linearSize, 0x40, std::string(4, '\0'), 16, 0xF800,
                   0x07E0, 0x1F});
}

std::string argbFileHeader(std::uint32_t height, std::uint32_t width, std::uint32_t linearSize) {
  return ddsBytes({0x00081007, height, width, linearSize, 0x41, std::string(4, '\0'), 32, 0xFF0000,
                   0xFF00, 0xFF, 0xFF000000});
}

}  // namespace testing_support
