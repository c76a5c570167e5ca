// Zerbolt's start-up and extraction, run as users run it, against reports and
// files written out by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/files.h"
#include "support/run.h"
#include "support/run_case.h"
#include "support/windows.h"

namespace {

using testing_support::archiveStart;
using testing_support::argbFileHeader;
using testing_support::Bytes;
using testing_support::dxtFileHeader;
using testing_support::listFiles;
using testing_support::ramp;
using testing_support::rgb565FileHeader;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFile;

using testing_support::Files;

constexpr const char* kHeader = "#   RFWidth? RFHeight? Width  Height  DataSize  Type\r\n";
constexpr const char* kDragMessage = "Layer 8 Error: Drag a .spr file onto Zerbolt.exe\r\n";
constexpr const char* kWrongType =
    "Layer 8 Error: Wrong filetype. Zerbolt only accepts .spr or .rep files.\r\n";

using Case = testing_support::RunCase;

// The archive looked for is not there: the run names it and writes nothing.
std::string missingArchiveReport(const std::string& dropped, const std::string& lookedFor) {
  return "Zerbolt - " + dropped + "\r\n \r\nMissing File " + lookedFor +
         "\r\n\r\nZerbolt Aborted!\r\n";
}

std::string emptyArchiveReport(const std::string& name) {
  return "Zerbolt - " + name + "\r\nNumber of section(s) in " + name +
         ": 0\r\n \r\n0 image(s) in " + name + "\r\n \r\nDone!\r\n";
}

std::vector<Case> startupCases() {
  const std::string empty = archiveStart(0);
  std::vector<Case> cases = {
      {"no argument", {}, {}, kDragMessage, {}},
      {"empty argument", {}, {""}, kDragMessage, {}},
      {"name ending in a backslash", {}, {"mods\\"}, kWrongType, {}},
      {"dds file", {{"units.dds", "x"}}, {"units.dds"}, kWrongType, {}},
      {"backup of an archive", {}, {"D:\\mods\\units.spr.bak"}, kWrongType, {}},
      {"name too short", {}, {"D:\\mods\\a.sp"}, kWrongType, {}},
      {"two letters", {}, {"pr"}, kWrongType, {}},
      {"directory prefix with backslashes",
       {{"my mods\\units.spr", empty}},
       {"my mods\\units.spr"},
       emptyArchiveReport("units.spr"),
       {{"my mods\\units.rep", Bytes().u32(0)}}},
      {"a space and a letter outside ASCII",
       {{"Zo\xC3\xAB's units.spr", archiveStart(1).u32(1).image(23, 0, 0, 1, 1, "RG")}},
       {"Zo\xC3\xAB's units.spr"},
       std::string("Zerbolt - Zo\xC3\xAB's units.spr\r\n"
                   "Number of section(s) in Zo\xC3\xAB's units.spr: 1\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 1\r\n") +
           kHeader +
           "1   0        0         1      1       2         5.6.5 RGB\r\n"
           " \r\n"
           "1 image(s) in Zo\xC3\xAB's units.spr\r\n"
           " \r\n"
           "Done!\r\n",
       {{"Zo\xC3\xAB's units.rep", Bytes().u32(1).u32(1).header(23, 0, 0, 1, 1, 2)},
        {"Zo\xC3\xAB's units-1-1.dds", rgb565FileHeader(1, 1, 2) + "RG"}}},
      {"forward slashes belong to the name",
       {{"mods/units.spr", empty}},
       {"mods/units.spr", "other.spr"},
       emptyArchiveReport("mods/units.spr"),
       {{"mods/units.rep", Bytes().u32(0)}}},
      {"upper-case extension",
       {{"UNITS.spr", archiveStart(1).u32(1).image(0x31545844, 1, 2, 4, 4, ramp(8))}},
       {"UNITS.SPR"},
       std::string("Zerbolt - UNITS.SPR\r\n"
                   "Number of section(s) in UNITS.SPR: 1\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 1\r\n") +
           kHeader +
           "1   1        2         4      4       8         DXT1\r\n"
           " \r\n"
           "1 image(s) in UNITS.SPR\r\n"
           " \r\n"
           "Done!\r\n",
       {{"UNITS.rep", Bytes().u32(1).u32(1).header(0x31545844, 1, 2, 4, 4, 8)},
        {"UNITS-1-1.dds", dxtFileHeader("DXT1", 4, 4, 8) + ramp(8)}}},
      {"no dot before the ending",
       {{"unitsspr", empty}},
       {"unitsspr"},
       missingArchiveReport("unitsspr", "unit.spr")},
      {"a letter of two bytes before the ending",
       {{"x.spr", empty}},
       {"x\xC3\xA9spr"},
       emptyArchiveReport("x\xC3\xA9spr"),
       {{"x.rep", Bytes().u32(0)}}},
      {"a name of four letters, one of two bytes",
       {},
       {"\xC3\x9Fspr"},
       missingArchiveReport("\xC3\x9Fspr", ".spr")},
      {"letters of three bytes",
       {{"\xE6\x97\xA5\xE6\x9C\xAC.spr", empty}},
       {"\xE6\x97\xA5\xE6\x9C\xAC.spr"},
       emptyArchiveReport("\xE6\x97\xA5\xE6\x9C\xAC.spr"),
       {{"\xE6\x97\xA5\xE6\x9C\xAC.rep", Bytes().u32(0)}}},
      {"name of just spr",
       {{".spr", empty}},
       {"spr"},
       emptyArchiveReport("spr"),
       {{".rep", Bytes().u32(0)}}},
  };
  // Names copied from Windows, where the letter case of a name does not
  // matter: here the archive looked for, with its lower-case ending, is not
  // the dropped file.
  if (!testing_support::windowsProgramsDir()) {
    cases.push_back({"upper-case extension, only the dropped file there",
                     {{"UNITS.SPR", empty}},
                     {"UNITS.SPR"},
                     missingArchiveReport("UNITS.SPR", "UNITS.spr")});
  }
  return cases;
}

std::vector<Case> extractionCases() {
  return {
      {"one section of DXT1 and 8.8.8.8 ARGB",
       {{"units.spr", archiveStart(1)
                          .u32(2)
                          .image(0x31545844, 16, 16, 8, 4, ramp(16, 1))
                          .image(21, 2, 2, 2, 2, ramp(16, 2))}},
       {"units.spr"},
       std::string("Zerbolt - units.spr\r\n"
                   "Number of section(s) in units.spr: 1\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 2\r\n") +
           kHeader +
           "1   16       16        8      4       16        DXT1\r\n"
           "2   2        2         2      2       16        8.8.8.8 ARGB\r\n"
           " \r\n"
           "2 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n",
       {{"units.rep",
         Bytes().u32(1).u32(2).header(0x31545844, 16, 16, 8, 4, 16).header(21, 2, 2, 2, 2, 16)},
        {"units-1-1.dds", dxtFileHeader("DXT1", 4, 8, 16) + ramp(16, 1)},
        {"units-1-2.dds", argbFileHeader(2, 2, 16) + ramp(16, 2)}}},

      {"DXT3 of 64 by 32, a 5.6.5 image and an empty one",
       {{"units.spr", archiveStart(2)
                          .u32(1)
                          .image(0x33545844, 0, 0, 64, 32, ramp(2048))
                          .u32(2)
                          .image(23, 4294967295u, 0, 2, 1, ramp(4))
                          .image(0x35545844, 0, 0, 0, 0, "")}},
       {"units.spr"},
       std::string("Zerbolt - units.spr\r\n"
                   "Number of section(s) in units.spr: 2\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 1\r\n") +
           kHeader +
           "1   0        0         64     32      2048      DXT3\r\n"
           " \r\n"
           "Number of image(s) in section 2: 2\r\n" +
           kHeader +
           "1   42949672950         2      1       4         5.6.5 RGB\r\n"
           "2   0        0         0      0       0         DXT5\r\n"
           " \r\n"
           "3 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n",
       {{"units.rep", Bytes()
                          .u32(2)
                          .u32(1)
                          .header(0x33545844, 0, 0, 64, 32, 2048)
                          .u32(2)
                          .header(23, 4294967295u, 0, 2, 1, 4)
                          .header(0x35545844, 0, 0, 0, 0, 0)},
        {"units-1-1.dds", dxtFileHeader("DXT3", 32, 64, 2048) + ramp(2048)},
        {"units-2-1.dds", rgb565FileHeader(1, 2, 4) + ramp(4)},
        {"units-2-2.dds", dxtFileHeader("DXT5", 0, 0, 0)}}},

      {"unknown type codes",
       {{"units.spr", archiveStart(1)
                          .u32(3)
                          .image(0x31545844, 0, 0, 4, 4, ramp(8))
                          .image(7, 1, 2, 3, 4, ramp(5))
                          .image(4294967295u, 0, 0, 0, 0, "")},
        {"units-1-2.dds", "untouched"}},
       {"units.spr"},
       std::string("Zerbolt - units.spr\r\n"
                   "Number of section(s) in units.spr: 1\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 3\r\n") +
           kHeader +
           "1   0        0         4      4       8         DXT1\r\n"
           " \r\n"
           "***Error: Image 1-2 is an unknown format! Please report this to me ASAP!***\r\n"
           "--This Image will not be saved--\r\n"
           "Press any key to continue with the rest of the images\r\n"
           "2   1        2         3      4       5         Unknown (7)\r\n"
           " \r\n"
           " \r\n"
           "***Error: Image 1-3 is an unknown format! Please report this to me ASAP!***\r\n"
           "--This Image will not be saved--\r\n"
           "Press any key to continue with the rest of the images\r\n"
           "3   0        0         0      0       0         Unknown (4294967295)\r\n"
           " \r\n"
           " \r\n"
           "3 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n",
       {{"units.rep", Bytes()
                          .u32(1)
                          .u32(3)
                          .header(0x31545844, 0, 0, 4, 4, 8)
                          .header(7, 1, 2, 3, 4, 5)
                          .header(4294967295u, 0, 0, 0, 0, 0)},
        {"units-1-1.dds", dxtFileHeader("DXT1", 4, 4, 8) + ramp(8)}}},

      {"no sections",
       {{"units.spr", archiveStart(0)}},
       {"units.spr"},
       emptyArchiveReport("units.spr"),
       {{"units.rep", Bytes().u32(0)}}},

      {"missing archive", {}, {"units.spr"}, missingArchiveReport("units.spr", "units.spr")},

      {"a section of no images",
       {{"units.spr", archiveStart(2).u32(0).u32(1).image(21, 0, 0, 1, 1, "ARGB")}},
       {"units.spr"},
       std::string("Zerbolt - units.spr\r\n"
                   "Number of section(s) in units.spr: 2\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 0\r\n") +
           kHeader +
           " \r\n"
           "Number of image(s) in section 2: 1\r\n" +
           kHeader +
           "1   0        0         1      1       4         8.8.8.8 ARGB\r\n"
           " \r\n"
           "1 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n",
       {{"units.rep", Bytes().u32(2).u32(0).u32(1).header(21, 0, 0, 1, 1, 4)},
        {"units-2-1.dds", argbFileHeader(1, 1, 4) + "ARGB"}}},

      {"over an older, longer index, an edited picture and the same picture saved again",
       {{"units.spr",
         archiveStart(1).u32(2).image(23, 0, 0, 1, 1, "RG").image(23, 0, 0, 1, 1, "BY")},
        {"units.rep", std::string(40, 'r')},
        {"units-1-1.dds", rgb565FileHeader(1, 1, 2) + "RX"},
        {"units-1-2.dds", rgb565FileHeader(1, 1, 2) + "BY" + "mipmaps"}},
       {"units.spr"},
       std::string("Zerbolt - units.spr\r\n"
                   "Number of section(s) in units.spr: 1\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 2\r\n") +
           kHeader +
           "1   0        0         1      1       2         5.6.5 RGB\r\n"
           "Kept the older units-1-1.dds in units(kept 1)\r\n"
           "2   0        0         1      1       2         5.6.5 RGB\r\n"
           " \r\n"
           "2 image(s) in units.spr\r\n"
           " \r\n"
           "Kept 1 older picture(s) in units(kept 1)\r\n"
           "Done!\r\n",
       {{"units.rep",
         Bytes().u32(1).u32(2).header(23, 0, 0, 1, 1, 2).header(23, 0, 0, 1, 1, 2).str()},
        {"units-1-1.dds", rgb565FileHeader(1, 1, 2) + "RG"},
        {"units(kept 1)/units-1-1.dds", rgb565FileHeader(1, 1, 2) + "RX"},
        {"units-1-2.dds", rgb565FileHeader(1, 1, 2) + "BY"}}},

      {"archive cut inside its last image",
       {{"units.spr", archiveStart(1)
                          .u32(2)
                          .image(0x31545844, 0, 0, 4, 4, "12345678")
                          .header(0x31545844, 0, 0, 4, 4, 16)
                          .raw("1234")},
        {"units.rep", "older index"}},
       {"units.spr"},
       std::string("Zerbolt - units.spr\r\n"
                   "Number of section(s) in units.spr: 1\r\n"
                   " \r\n"
                   "Number of image(s) in section 1: 2\r\n") +
           kHeader +
           "1   0        0         4      4       8         DXT1\r\n"
           " \r\n"
           "***Error: The file ends at byte 72 inside image 1-2; stopped here.***\r\n"
           " \r\n"
           "1 image(s) in units.spr\r\n"
           " \r\n"
           "Done!\r\n",
       {{"units-1-1.dds", dxtFileHeader("DXT1", 4, 4, 8) + "12345678"}}},
  };
}

class StartUp : public ::testing::TestWithParam<Case> {};
TEST_P(StartUp, ChoosesTheModeByTheNameEnding) {
  testing_support::expectRun(ZERBOLT_PATH, GetParam());
}

class Extraction : public ::testing::TestWithParam<Case> {};
TEST_P(Extraction, WritesTheReportIndexAndImageFiles) {
  testing_support::expectRun(ZERBOLT_PATH, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Arguments, StartUp, ::testing::ValuesIn(startupCases()),
                         testing_support::caseName);
INSTANTIATE_TEST_SUITE_P(Archives, Extraction, ::testing::ValuesIn(extractionCases()),
                         testing_support::caseName);

// An older picture or index the modder made read-only is never replaced;
// a picture that holds the image already stays without a word.
TEST(ExtractionOverOlderFiles, ReadOnlyFilesStay) {
  TempDir dir;
  const std::string archive =
      archiveStart(1).u32(2).image(23, 0, 0, 1, 1, "RG").image(23, 0, 0, 1, 1, "BY");
  const testing_support::Files before = {{"units.spr", archive},
                                         {"units.rep", "older index"},
                                         {"units-1-1.dds", rgb565FileHeader(1, 1, 2) + "RG+"},
                                         {"units-1-2.dds", rgb565FileHeader(1, 1, 2) + "BX"}};
  for (const auto& [name, bytes] : before) {
    writeFile(dir.file(name), bytes);
    if (name != "units.spr") {
      std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_read);
    }
  }
  const auto result = runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string());
  EXPECT_EQ(result.output, std::string("Zerbolt - units.spr\r\n"
                                       "Couldnt write units.rep\r\n"
                                       "Reason: The file is read-only\r\n"
                                       "Number of section(s) in units.spr: 1\r\n"
                                       " \r\n"
                                       "Number of image(s) in section 1: 2\r\n") +
                               kHeader +
                               "1   0        0         1      1       2         5.6.5 RGB\r\n"
                               "2   0        0         1      1       2         5.6.5 RGB\r\n"
                               "Couldnt write units-1-2.dds\r\n"
                               "Reason: The file is read-only\r\n"
                               " \r\n"
                               "2 image(s) in units.spr\r\n"
                               " \r\n"
                               "Done, but 2 file(s) could not be written!\r\n");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(listFiles(dir.path()), before);
}

TEST(ExtractionLimits, AHugeDeclaredSizeInATinyArchiveStops) {
  TempDir dir;
  writeFile(dir.file("units.spr"),
            archiveStart(1).u32(1).header(0x31545844, 0, 0, 0, 0, 0xFFFFFFFF));
  const auto result = runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string(), 10);
  ASSERT_FALSE(result.timedOut);
  EXPECT_TRUE(result.output.ends_with(
      " \r\n***Error: The file ends at byte 36 inside image 1-1; stopped here.***\r\n"
      " \r\n0 image(s) in units.spr\r\n \r\nDone!\r\n"))
      << result.output;
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("units-1-1.dds")));
}

TEST(ExtractionLimits, ACountTheFileCannotHoldStopsAndPutsNoIndexInPlace) {
  TempDir dir;
  // 12 bytes: no header in the file, so at most 16 images.
  writeFile(dir.file("units.spr"), archiveStart(1).u32(17));
  const auto result = runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string(), 10);
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.output,
            "Zerbolt - units.spr\r\nNumber of section(s) in units.spr: 1\r\n"
            " \r\nNumber of image(s) in section 1: 17\r\n"
            " \r\n***Error: The file ends at byte 12 before its counts do; stopped here.***\r\n"
            " \r\n0 image(s) in units.spr\r\n \r\nDone!\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("units.rep")));
}

// A directory where an output file belongs cannot be written, even by root.
// An index larger than one 64 KiB batch of its writer, byte for byte, and
// the archive rebuilt from it.
TEST(LargeArchives, AnIndexOfManyBatchesHoldsEveryHeader) {
  TempDir dir;
  constexpr std::uint32_t kImages = 3000;  // 8 + 3000 x 24 bytes of index
  Bytes archive = archiveStart(2).u32(kImages);
  Bytes index = Bytes().u32(2).u32(kImages);
  for (std::uint32_t i = 1; i <= kImages; ++i) {
    archive.header(testing_support::kDxt1, i, i >> 8, 4, 4, 0);
    index.header(testing_support::kDxt1, i, i >> 8, 4, 4, 0);
  }
  archive.u32(0);
  index.u32(0);
  writeFile(dir.file("units.spr"), archive);
  const auto extracted = runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string());
  EXPECT_TRUE(extracted.output.ends_with("3000 image(s) in units.spr\r\n \r\nDone!\r\n"));
  ASSERT_GT(index.str().size(), 65536u);
  EXPECT_TRUE(testing_support::readFile(dir.file("units.rep")) == index.str());
  const auto rebuilt = runProgram(ZERBOLT_PATH, {"units.rep"}, dir.path().string());
  EXPECT_TRUE(rebuilt.output.ends_with("Section 2 : 0 Images\r\n \r\nDone!\r\n"));
  EXPECT_TRUE(testing_support::readFile(dir.file("units(new).spr")).substr(4) ==
              archive.str().substr(4));
}

TEST(ExtractionFailures, FilesThatCannotBeWrittenAreReported) {
  const std::string archive =
      archiveStart(1).u32(2).image(0x31545844, 0, 0, 4, 4, ramp(8)).image(21, 0, 0, 1, 1, "ARGB");
  const std::string table =
      std::string(kHeader) + "1   0        0         4      4       8         DXT1\r\n";
  const std::string secondRow = "2   0        0         1      1       4         8.8.8.8 ARGB\r\n";
  const std::string kFolderReason = "Reason: There is a folder of that name\r\n";
  const struct {
    std::vector<std::string> blocked;
    std::string expected;
  } cases[] = {
      {{"units-1-1.dds"},
       "Zerbolt - units.spr\r\nNumber of section(s) in units.spr: 1\r\n \r\n"
       "Number of image(s) in section 1: 2\r\n" +
           table + "Couldnt write units-1-1.dds\r\n" + kFolderReason + secondRow +
           " \r\n2 image(s) in units.spr\r\n \r\nDone, but 1 file(s) could not be written!\r\n"},
      {{"units.rep", "units-1-2.dds"},
       "Zerbolt - units.spr\r\nCouldnt write units.rep\r\n" + kFolderReason +
           "Number of section(s) in units.spr: 1\r\n \r\nNumber of image(s) in section 1: 2\r\n" +
           table + secondRow + "Couldnt write units-1-2.dds\r\n" + kFolderReason +
           " \r\n2 image(s) in units.spr\r\n \r\nDone, but 2 file(s) could not be written!\r\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    writeFile(dir.file("units.spr"), archive);
    for (const std::string& name : c.blocked) std::filesystem::create_directory(dir.file(name));
    const auto result = runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string());
    EXPECT_EQ(result.output, c.expected);
    for (const std::string& name : c.blocked) {
      EXPECT_TRUE(std::filesystem::is_empty(dir.file(name))) << name;
    }
  }
}

}  // namespace

namespace {

// A dropped file 300 characters deep, extracted and rebuilt. Wine does not
// enforce Windows' limit of 260 characters, so this proves only that the long
// form of the names breaks nothing; the forms themselves are checked on their
// own (path_check).
TEST(DeepFolders, AFileThreeHundredCharactersDeepIsExtractedAndRebuilt) {
  if (!testing_support::windowsProgramsDir()) {
    GTEST_SKIP() << "the limit of 260 characters is Windows'";
  }
  TempDir dir;
  const std::filesystem::path deep =
      dir.path() / std::string(100, 'a') / std::string(100, 'b') / std::string(60, 'c');
  std::filesystem::create_directories(deep);
  const std::string dropped = testing_support::windowsPath(deep) + "\\units.spr";
  ASSERT_GE(dropped.size(), 300u);
  const std::string archive = archiveStart(1).u32(1).image(0x31545844, 0, 0, 4, 4, ramp(8));
  writeFile((deep / "units.spr").string(), archive);
  const auto extracted = runProgram(ZERBOLT_PATH, {dropped}, dir.path().string());
  EXPECT_TRUE(extracted.output.ends_with("\r\nDone!\r\n")) << extracted.output;
  EXPECT_EQ(testing_support::readFile((deep / "units-1-1.dds").string()),
            dxtFileHeader("DXT1", 4, 4, 8) + ramp(8));
  const std::string index = dropped.substr(0, dropped.size() - 3) + "rep";
  const auto rebuilt = runProgram(ZERBOLT_PATH, {index}, dir.path().string());
  EXPECT_TRUE(rebuilt.output.ends_with("\r\nDone!\r\n")) << rebuilt.output;
  EXPECT_EQ(testing_support::readFile((deep / "units(new).spr").string()), archive);
}

}  // namespace
