#include "report/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using report::Report;

// Records every write and pause the report hands to the console.
class FakeConsole final : public platform::Console {
 public:
  void write(std::string_view bytes) override {
    writes.emplace_back(bytes);
    text.append(bytes);
  }
  void waitForKey() override { text += "<pause>"; }

  std::vector<std::string> writes;
  std::string text;
};

TEST(NumberText, UnsignedAndSigned) {
  const struct {
    std::uint32_t value;
    const char* unsignedText;
    const char* signedText;
  } cases[] = {
      {0, "0", "0"},
      {8192, "8192", "8192"},
      {2147483647u, "2147483647", "2147483647"},
      {2147483648u, "2147483648", "-2147483648"},
      {4294967295u, "4294967295", "-1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(report::numberText(c.value), c.unsignedText);
    EXPECT_EQ(report::signedNumberText(c.value), c.signedText);
  }
}

TEST(Pad, FillsButNeverCuts) {
  EXPECT_EQ(report::pad("3", 4), "3   ");
  EXPECT_EQ(report::pad("", 3), "   ");
  EXPECT_EQ(report::pad("1000", 4), "1000");
  EXPECT_EQ(report::pad("4294967295", 4), "4294967295");
}

TEST(ReportPieces, LinesEndInCrLfAndTheBlankLineHoldsASpace) {
  FakeConsole console;
  {
    Report out(console);
    report::printPiece(out, "Zerbolt - ");
    report::printLine(out, "units.spr");
    report::blankLine(out);
    report::printTableHeader(out);
  }
  EXPECT_EQ(console.text,
            "Zerbolt - units.spr\r\n"
            " \r\n"
            "#   RFWidth? RFHeight? Width  Height  DataSize  Type\r\n");
}

TEST(ReportPieces, ImageRows) {
  const struct {
    std::uint32_t number;
    formats::ImageHeader header;
    const char* type;
    const char* row;
  } cases[] = {
      // image 3, DXT5, RFWidth 128, RFHeight 64, width 128, height 64, 8192 bytes
      {3,
       {0x35545844, 128, 64, 128, 64, 8192},
       "DXT5",
       "3   128      64        128    64      8192      DXT5\r\n"},
      {1000,
       {21, 1, 2, 3, 4, 5},
       "8.8.8.8 ARGB",
       "10001        2         3      4       5         8.8.8.8 ARGB\r\n"},
      {1,
       {7, 0, 0, 0, 0, 4294967295u},
       "Unknown (7)",
       "1   0        0         0      0       4294967295Unknown (7)\r\n"},
  };
  for (const auto& c : cases) {
    FakeConsole console;
    {
      Report out(console);
      report::printImageRow(out, c.number, c.header, c.type);
    }
    EXPECT_EQ(console.text, c.row);
  }
}

TEST(ReportPieces, UnknownImageError) {
  FakeConsole console;
  {
    Report out(console);
    report::printUnknownImageError(out, 1, 2);
  }
  EXPECT_EQ(console.text,
            " \r\n***Error: Image 1-2 is an unknown format! Please report this to me ASAP!***\r\n");
}

TEST(ReportBuffer, FlushesBeforeEveryPauseAndAtTheEnd) {
  FakeConsole console;
  {
    Report out(console);
    report::printLine(out, "a");
    report::printLine(out, "b");
    EXPECT_TRUE(console.writes.empty());
    report::waitForKey(out);
    EXPECT_EQ(console.text, "a\r\nb\r\n<pause>");
    report::printLine(out, "c");
    report::waitForKey(out);  // the final pause
    report::printLine(out, "d");
  }
  EXPECT_EQ(console.text, "a\r\nb\r\n<pause>c\r\n<pause>d\r\n");
  EXPECT_EQ(console.writes.size(), 3u);
}

TEST(ReportBuffer, ManyLinesTakeFewWrites) {
  FakeConsole console;
  {
    Report out(console);
    for (int k = 0; k < 100000; ++k) report::printImageRow(out, 1, {}, "DXT1");
  }
  EXPECT_EQ(console.text.size(), 100000u * 54u);
  EXPECT_LT(console.writes.size(), 100u);
}

}  // namespace
