// Quandrel run as users run it, on archives built here, against reports
// written out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/files.h"
#include "support/run.h"
#include "support/run_case.h"

namespace {

using testing_support::archiveStart;
using testing_support::Bytes;
using testing_support::ramp;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr const char* kHeader = "#   RFWidth? RFHeight? Width  Height  DataSize  Type\r\n";

using Case = testing_support::RunCase;

std::vector<Case> cases() {
  using std::string;
  return {
      {"two sections, the second empty",
       {{"units.spr", archiveStart(2)
                          .u32(2)
                          .image(0x31545844, 16, 8, 32, 16, ramp(16))
                          .image(21, 4294967295u, 2, 4, 2, ramp(32))
                          .u32(0)}},
       {"units.spr"},
       string("Quandrel - units.spr\r\n"
              "Number of section(s) in units.spr: 2\r\n"
              " \r\n"
              "Number of image(s) in section 1: 2\r\n") +
           kHeader +
           "1   8        16        16     32      16        DXT1\r\n"
           "2   2        -1        2      4       32        8.8.8.8 ARGB\r\n"
           " \r\n"
           "Number of image(s) in section 2: 0\r\n" +
           kHeader +
           " \r\n"
           "2 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n"},

      {"columns exchanged and signed",
       {{"units.spr",
         archiveStart(1)
             .u32(3)
             .image(23, 1, 2, 3, 4, "")
             .image(0x33545844, 0x80000000u, 0x80000001u, 0xFFFFFFFFu, 0x80000000u, ramp(3))
             .image(0x35545844, 128, 64, 128, 64, ramp(8192))}},
       {"units.spr"},
       string("Quandrel - units.spr\r\n"
              "Number of section(s) in units.spr: 1\r\n"
              " \r\n"
              "Number of image(s) in section 1: 3\r\n") +
           kHeader +
           "1   2        1         4      3       0         5.6.5 RGB\r\n"
           "2   -2147483647-2147483648-2147483648-1      3         DXT3\r\n"
           "3   64       128       64     128     8192      DXT5\r\n"
           " \r\n"
           "3 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n"},

      {"unknown type codes",
       {{"units.spr", archiveStart(1)
                          .u32(3)
                          .image(0x31545844, 1, 1, 4, 4, ramp(8))
                          .image(7, 1, 1, 4, 4, ramp(5))
                          .image(4294967295u, 0, 0, 0, 0, "")}},
       {"units.spr"},
       string("Quandrel - units.spr\r\n"
              "Number of section(s) in units.spr: 1\r\n"
              " \r\n"
              "Number of image(s) in section 1: 3\r\n") +
           kHeader +
           "1   1        1         4      4       8         DXT1\r\n"
           " \r\n"
           "***Error: Image 1-2 is an unknown format! Please report this to me ASAP!***\r\n"
           "Press any key to continue counting.\r\n"
           "2   1        1         4      4       5         Unknown (7)\r\n"
           " \r\n"
           " \r\n"
           "***Error: Image 1-3 is an unknown format! Please report this to me ASAP!***\r\n"
           "Press any key to continue counting.\r\n"
           "3   0        0         0      0       0         Unknown (4294967295)\r\n"
           " \r\n"
           " \r\n"
           "3 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n"},

      {"no sections",
       {{"units.spr", archiveStart(0)}},
       {"units.spr"},
       "Quandrel - units.spr\r\n"
       "Number of section(s) in units.spr: 0\r\n"
       " \r\n"
       "0 image(s) in units.spr\r\n"
       " \r\n"
       "Done!\r\n"},

      {"file shorter than eight bytes",
       {{"short.spr", string("\xCD\xCC\x8C\x3F", 4)}},
       {"short.spr"},
       "Quandrel - short.spr\r\n"
       " \r\n"
       "***Error: The file ends at byte 4 before its counts do; stopped here.***\r\n"
       " \r\n"
       "0 image(s) in short.spr\r\n"
       " \r\n"
       "Done!\r\n"},

      {"cut inside its last image",
       {{"cut.spr", archiveStart(1)
                        .u32(2)
                        .image(0x31545844, 4, 4, 8, 8, ramp(8))
                        .header(0x31545844, 4, 4, 8, 8, 32)
                        .raw(ramp(31))}},
       {"cut.spr"},
       string("Quandrel - cut.spr\r\n"
              "Number of section(s) in cut.spr: 1\r\n"
              " \r\n"
              "Number of image(s) in section 1: 2\r\n") +
           kHeader +
           "1   4        4         8      8       8         DXT1\r\n"
           " \r\n"
           "***Error: The file ends at byte 99 inside image 1-2; stopped here.***\r\n"
           " \r\n"
           "1 image(s) in cut.spr\r\n"
           " \r\n"
           "Done!\r\n"},

      {"directory prefix with backslashes",
       {{"mods\\units.spr", archiveStart(0)}},
       {"mods\\units.spr"},
       "Quandrel - units.spr\r\n"
       "Number of section(s) in units.spr: 0\r\n"
       " \r\n"
       "0 image(s) in units.spr\r\n"
       " \r\n"
       "Done!\r\n"},

      {"forward slashes do not separate",
       {{"units.spr", archiveStart(0)}},
       {"./units.spr", "ignored.spr"},
       "Quandrel - ./units.spr\r\n"
       "Number of section(s) in ./units.spr: 0\r\n"
       " \r\n"
       "0 image(s) in ./units.spr\r\n"
       " \r\n"
       "Done!\r\n"},

      {"argument ending in a backslash",
       {},
       {"mods\\"},
       "Quandrel - \r\n \r\nMissing File \r\n\r\nQuandrel Aborted!\r\n"},
      {"an empty file",
       {{"units.spr", ""}},
       {"units.spr"},
       "Quandrel - units.spr\r\n \r\n"
       "***Error: The file ends at byte 0 before its counts do; stopped here.***\r\n"
       " \r\n0 image(s) in units.spr\r\n \r\nDone!\r\n"},
      {"a file that is not there",
       {},
       {"mods\\none.spr"},
       "Quandrel - none.spr\r\n \r\nMissing File none.spr\r\n\r\nQuandrel Aborted!\r\n"},

      {"no argument", {}, {}, "Layer 8 Error: Drag a .spr file onto Quandrel.exe\r\n"},
      {"empty argument", {}, {""}, "Layer 8 Error: Drag a .spr file onto Quandrel.exe\r\n"},
  };
}

class CounterRun : public ::testing::TestWithParam<Case> {};

TEST_P(CounterRun, PrintsTheReportAndChangesNoFile) {
  testing_support::expectRun(QUANDREL_PATH, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Reports, CounterRun, ::testing::ValuesIn(cases()),
                         testing_support::caseName);

// Every record must lie in the file: a section count whose counts cannot
// all fit stops right after its line, and a header that lies wholly past
// the end stops the walk before it.
TEST(CounterRun, RecordsPastTheEndStop) {
  const std::string row = "1   1        1         4      4       24        DXT1\r\n";
  const struct {
    std::string archive;
    std::string expected;
  } cases[] = {
      {archiveStart(19).u32(1).header(0x31545844, 1, 1, 4, 4, 0),
       "Number of section(s) in big.spr: 19\r\n \r\n"
       "***Error: The file ends at byte 36 before its counts do; stopped here.***\r\n"
       " \r\n0 image(s) in big.spr\r\n \r\nDone!\r\n"},
      {archiveStart(1).u32(2).image(0x31545844, 1, 1, 4, 4, std::string(24, 'd')),
       "Number of section(s) in big.spr: 1\r\n \r\nNumber of image(s) in section 1: 2\r\n" +
           std::string(kHeader) + row +
           " \r\n***Error: The file ends at byte 60 before image 1-2; stopped here.***\r\n"
           " \r\n1 image(s) in big.spr\r\n \r\nDone!\r\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    writeFile(dir.file("big.spr"), c.archive);
    const auto result = runProgram(QUANDREL_PATH, {"big.spr"}, dir.path().string(), 5);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.output, "Quandrel - big.spr\r\n" + c.expected);
    EXPECT_EQ(result.exitStatus, 1);
  }
}

// An image count whose 24-byte headers could not all begin before the end
// (here none can: 16 past it at most) stops the walk as soon as it is shown,
// and none of its images is counted: the total is what was listed.
TEST(CounterRun, ACountTheFileCannotHoldStopsAtOnce) {
  TempDir dir;
  writeFile(dir.file("big.spr"), archiveStart(1).u32(17));
  const auto result = runProgram(QUANDREL_PATH, {"big.spr"}, dir.path().string(), 5);
  EXPECT_EQ(result.output,
            "Quandrel - big.spr\r\nNumber of section(s) in big.spr: 1\r\n \r\n"
            "Number of image(s) in section 1: 17\r\n"
            " \r\n***Error: The file ends at byte 12 before its counts do; stopped here.***\r\n"
            " \r\n0 image(s) in big.spr\r\n \r\nDone!\r\n");
}

}  // namespace
