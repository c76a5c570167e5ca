#include "formats/coding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct Case {
  std::uint32_t value;
  std::string bytes;
};

TEST(Coding, EncodesAndDecodesLittleEndian) {
  const Case cases[] = {
      {0, std::string("\x00\x00\x00\x00", 4)},
      {1, std::string("\x01\x00\x00\x00", 4)},
      {0x31545844, "DXT1"},
      {0x12345678, "\x78\x56\x34\x12"},
      {0x80000000u, std::string("\x00\x00\x00\x80", 4)},
      {0xFFFFFFFFu, "\xFF\xFF\xFF\xFF"},
  };
  for (const Case& c : cases) {
    char encoded[4];
    formats::encodeU32(encoded, c.value);
    EXPECT_EQ(std::string(encoded, 4), c.bytes) << c.value;
    EXPECT_EQ(formats::decodeU32(c.bytes.data()), c.value) << c.value;
  }
}

TEST(Coding, FormatVersionIsItsBitPattern) {
  char encoded[4];
  formats::encodeFloat32(encoded, 1.1f);
  EXPECT_EQ(std::string(encoded, 4), "\xCD\xCC\x8C\x3F");  // 0x3F8CCCCD
}

}  // namespace
