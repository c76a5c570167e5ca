#include "converter/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "converter/run_names.h"
#include "formats/coding.h"
#include "formats/dds.h"
#include "support/bytes.h"

namespace {

using testing_support::ddsBytes;
using testing_support::le32;

TEST(DecodeHexText, ReadsPairsUpToTheFirstNonDigit) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"ABC", "\xAB\x0C"},
      {"G1", std::string(1, '\0')},
      {"1G", "\x01"},
      {"ab", "\xAB"},
      {"00FF7f", std::string("\x00\xFF\x7F", 3)},
      {"Z", std::string(1, '\0')},
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(converter::decodeHexText(text), bytes) << text;
  }
}

TEST(HeaderTemplates, DecodeToTheThreeHeaders) {
  // The headers as the table of image file headers lays them out.
  const formats::dds::HeaderTemplates templates = converter::decodeTemplates();
  EXPECT_EQ(templates.dxt, ddsBytes({0x00081007, 0, 0, 0, 0x4, std::string("DXT\0", 4)}));
  EXPECT_EQ(templates.rgb565, ddsBytes({0x00081007, 0, 0, 0, 0x40, std::string(4, '\0'), 16,
                                        0x0000F800, 0x000007E0, 0x0000001F}));
  EXPECT_EQ(templates.argb8888, ddsBytes({0x00081007, 0, 0, 0, 0x41, std::string(4, '\0'), 32,
                                          0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}));
  // The same bytes read at the offsets formats/dds.h names hold the values it
  // names: the texts the converter keeps and that layout agree.
  using namespace formats::dds;
  for (const auto& [t, pixelFormatFlags] : {std::pair{&templates.dxt, kPixelFourCC},
                                            {&templates.rgb565, kPixelRgb},
                                            {&templates.argb8888, kPixelRgbAlpha}}) {
    ASSERT_EQ(t->size(), 128u);
    const auto field = [t](std::uint64_t offset) { return formats::decodeU32(t->data() + offset); };
    EXPECT_EQ(t->substr(0, 8), "DDS " + le32(124));
    EXPECT_EQ(field(kMagicOffset), kMagic);
    EXPECT_EQ(field(kHeaderSizeOffset), kHeaderSizeValue);
    EXPECT_EQ(field(kFlagsOffset), kConverterFlags);
    EXPECT_EQ(field(kFlagsOffset) & kFlagPitch, 0u);
    EXPECT_EQ(field(kMipmapCountOffset), 0u);
    EXPECT_EQ(field(kPixelFormatSizeOffset), kPixelFormatSizeValue);
    EXPECT_EQ(field(kPixelFormatFlagsOffset), pixelFormatFlags);
    EXPECT_EQ(field(kCapsOffset), kCapsTexture);
  }
  EXPECT_EQ(templates.dxt.substr(kFourCCOffset, 4), std::string("DXT\0", 4));
}

TEST(RunNames, BaseNameIsTheNameLessFourCharacters) {
  const struct {
    const char* argument;
    const char* prefix;
    const char* name;
    const char* base;
  } cases[] = {
      {"D:\\mods\\units.spr", "D:\\mods\\", "units.spr", "units"},
      {"D:\\mods\\UNITS.REP", "D:\\mods\\", "UNITS.REP", "UNITS"},
      {"units.spr", "", "units.spr", "units"},
      {"D:/mods/units.spr", "", "D:/mods/units.spr", "D:/mods/units"},
      {"D:\\mods\\unitsspr", "D:\\mods\\", "unitsspr", "unit"},
      {"D:\\mods\\spr", "D:\\mods\\", "spr", ""},
      {"D:\\mods\\.spr", "D:\\mods\\", ".spr", ""},
      {"D:\\mods\\", "D:\\mods\\", "", ""},
      // A character outside ASCII is one character, however many bytes.
      {"x\xC3\xA9spr", "", "x\xC3\xA9spr", "x"},
      {"\xC3\x9Fspr", "", "\xC3\x9Fspr", ""},
      {"\xE6\x97\xA5\xE6\x9C\xAC.spr", "", "\xE6\x97\xA5\xE6\x9C\xAC.spr",
       "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"Zo\xC3\xAB.rep", "", "Zo\xC3\xAB.rep", "Zo\xC3\xAB"},
      {"a\xF0\x9F\x98\x80spr", "", "a\xF0\x9F\x98\x80spr", "a"},
      // Bytes that are no UTF-8 are a character each.
      {"ab\xE9spr", "", "ab\xE9spr", "ab"},
      {"a\xC3\xA9\xA9spr", "", "a\xC3\xA9\xA9spr", "a\xC3\xA9"},
      {"a\xE0\x80\x80pr", "", "a\xE0\x80\x80pr", "a\xE0"},
      // A lone surrogate, as a Windows name may hold, is one character.
      {"a\xED\xA0\x80pr", "", "a\xED\xA0\x80pr", ""},
      {"a\xF5\x80\x80pr", "", "a\xF5\x80\x80pr", "a\xF5"},
      {"a\xF4\x90\x80\x80r", "", "a\xF4\x90\x80\x80r", "a\xF4"},
      {"a\xE6\x97spr", "", "a\xE6\x97spr", "a\xE6"},
  };
  for (const auto& c : cases) {
    const converter::RunNames names = converter::runNames(c.argument);
    EXPECT_EQ(names.directoryPrefix, c.prefix) << c.argument;
    EXPECT_EQ(names.name, c.name) << c.argument;
    EXPECT_EQ(names.baseName, c.base) << c.argument;
  }
}

}  // namespace
