// Little-endian 32-bit fields, as the archives, indexes and image files
// store them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace harness {

// The four bytes of `value`, lowest first.
std::string le32(std::uint32_t value);
// The value at `offset` of `bytes`, zeros past their end.
std::uint32_t u32At(std::string_view bytes, std::uint64_t offset);

}  // namespace harness
