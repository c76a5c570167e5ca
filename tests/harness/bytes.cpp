#include "harness/bytes.h"

namespace harness {

std::string le32(std::uint32_t value) {
  std::string bytes;
  for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
  return bytes;
}

std::uint32_t u32At(std::string_view bytes, std::uint64_t offset) {
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k) {
    const std::uint64_t at = offset + static_cast<std::uint64_t>(k);
    const unsigned byte = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0;
    value = (value << 8) | byte;
  }
  return value;
}

}  // namespace harness
