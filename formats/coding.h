// Little-endian encoding of the 32-bit fields that every file of these tools
// is made of. Every field goes through here; nothing copies a struct to disk.
#pragma once

#include <bit>
#include <cstdint>

namespace formats {

inline void encodeU32(char* destination, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) {
    destination[k] = static_cast<char>((value >> (8 * k)) & 0xFFu);
  }
}

inline std::uint32_t decodeU32(const char* source) {
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k) {
    value = (value << 8) | static_cast<unsigned char>(source[k]);
  }
  return value;
}

// A float travels as its IEEE 754 bit pattern.
inline void encodeFloat32(char* destination, float value) {
  static_assert(sizeof(float) == sizeof(std::uint32_t));
  encodeU32(destination, std::bit_cast<std::uint32_t>(value));
}

}  // namespace formats
