// Zerbolt's rebuild, run as users run it, on indexes and image files built
// here, against reports and archives written out by hand.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "harness/files.h"
#include "support/bytes.h"
#include "support/files.h"
#include "support/run.h"
#include "support/run_case.h"
#include "support/windows.h"

namespace {

namespace fs = std::filesystem;
using testing_support::archiveStart;
using testing_support::argbFileHeader;
using testing_support::Bytes;
using testing_support::Dds;
using testing_support::ddsBytes;
using testing_support::dxtFileHeader;
using testing_support::listFiles;
using testing_support::ramp;
using testing_support::readFile;
using testing_support::rgb565FileHeader;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFile;

using testing_support::Files;

constexpr const char* kAborted = "Zerbolt Aborted!\r\n";
constexpr const char* kUnconvertibleReason =
    "Reason: Unknown Filetype. Please Use DXT1, DXT3, DXT5, 5.6.5 RGB, or 8.8.8.8 ARGB\r\n";
constexpr const char* kEncodingReason =
    "Reason: This DXT5 is stored as a normal map, Alpha Exponent or YCoCg, which the game shows "
    "in wrong colours. Please save it as plain BC3 / DXT5\r\n";
constexpr const char* kCutReason =
    "Reason: The file ends before its image data do. Please save it again\r\n";

// A DX10 header: DXGI format, resource dimension, misc flag, array size.
std::string dx10Header(std::uint32_t format, std::uint32_t dimension, std::uint32_t arraySize) {
  return Bytes().u32(format).u32(dimension).u32(0).u32(arraySize).u32(0);
}

using Case = testing_support::RunCase;

std::string start(const std::string& base, std::uint32_t sections) {
  return "Zerbolt - " + base + ".rep\r\nNumber of section(s) to be put in " + base +
         "(new).spr: " + std::to_string(sections) + "\r\n";
}

constexpr const char* kDone = " \r\nDone!\r\n";

// The worked run: image 1-2 resaved from DXT1 to DXT5, image 2-1 widened.
Files workedRunFiles() {
  return {
      {"units.rep", Bytes()
                        .u32(2)
                        .u32(2)
                        .header(0x31545844, 8, 8, 8, 8, 32)
                        .header(0x31545844, 64, 64, 64, 64, 2048)
                        .u32(1)
                        .header(23, 128, 64, 128, 64, 16384)},
      {"units-1-1.dds", dxtFileHeader("DXT1", 8, 8, 32) + ramp(32, 1)},
      {"units-1-2.dds", dxtFileHeader("DXT5", 64, 64, 4096) + ramp(4096, 2)},
      {"units-2-1.dds", rgb565FileHeader(64, 256, 32768) + ramp(32768, 3)},
  };
}

const std::string kWorkedSectionOne =
    "Section 1 : 2 Images\r\n"
    " \r\n"
    "Image units-1-2 format changed.\r\n"
    "DXT1==>DXT5\r\n"
    "Image size increased by 2048 bytes\r\n";

// One image, indexed as `indexed`, whose file is `file`.
Files oneImage(const std::string& indexed, const std::string& file) {
  return {{"units.rep", Bytes().u32(1).u32(1).raw(indexed)}, {"units-1-1.dds", file}};
}

std::string oneImageReport(const std::string& changes) {
  return start("units", 1) + "Section 1 : 1 Images\r\n" + changes + kDone;
}

std::string oneImageArchive(const std::string& header, const std::string& data) {
  return archiveStart(1).u32(1).raw(header).raw(data);
}

std::string unconvertible(const std::string& image,
                          const std::string& reason = kUnconvertibleReason) {
  return " \r\nCouldnt convert image " + image + "\r\n" + reason + " \r\n" + kAborted;
}

// The report of a one-image rebuild refused for `reason`.
std::string oneImageRefused(const std::string& reason = kUnconvertibleReason) {
  return start("units", 1) + "Section 1 : 1 Images\r\n" + unconvertible("units-1-1.dds", reason);
}

std::vector<Case> cases() {
  const std::string dxt1Index = Bytes().header(0x31545844, 5, 6, 64, 32, 1024);
  const Dds pitchArgb{0x0000100F, 32,       64,     256,  0x41,       std::string(4, '\0'),
                      32,         0xFF0000, 0xFF00, 0xFF, 0xFF000000, ramp(8192)};
  return {
      {"the worked run",
       workedRunFiles(),
       {"units.rep"},
       start("units", 2) + kWorkedSectionOne +
           "Section 2 : 1 Images\r\n"
           "Image width changed\r\n"
           "Image size increased by 16384 bytes\r\n" +
           kDone,
       {{"units(new).spr", archiveStart(2)
                               .u32(2)
                               .image(0x31545844, 8, 8, 8, 8, ramp(32, 1))
                               .image(0x35545844, 64, 64, 64, 64, ramp(4096, 2))
                               .u32(1)
                               .image(23, 128, 64, 256, 64, ramp(32768, 3))}}},

      {"a missing file aborts and leaves no archive",
       [] {
         Files files = workedRunFiles();
         files.erase("units-2-1.dds");
         return files;
       }(),
       {"units.rep"},
       start("units", 2) + kWorkedSectionOne + "Section 2 : 1 Images\r\n" +
           " \r\nMissing File units-2-1.dds\r\n\r\n" + kAborted,
       {}},

      {"an earlier new archive survives an abort",
       [] {
         Files files = workedRunFiles();
         files["units-1-2.dds"] = "";
         files["units(new).spr"] = "the good archive of an earlier rebuild";
         return files;
       }(),
       {"units.rep"},
       start("units", 2) + "Section 1 : 2 Images\r\n" + unconvertible("units-1-2.dds"),
       {}},

      {"only the height changed",
       oneImage(dxt1Index, dxtFileHeader("DXT1", 16, 64, 1024) + ramp(1024)),
       {"units.rep"},
       oneImageReport("Image height changed\r\n"),
       {{"units(new).spr",
         oneImageArchive(Bytes().header(0x31545844, 5, 6, 64, 16, 1024), ramp(1024))}}},

      {"only the width changed",
       oneImage(dxt1Index, dxtFileHeader("DXT1", 32, 128, 1024) + ramp(1024)),
       {"units.rep"},
       oneImageReport("Image width changed\r\n"),
       {{"units(new).spr",
         oneImageArchive(Bytes().header(0x31545844, 5, 6, 128, 32, 1024), ramp(1024))}}},

      {"size decreased",
       oneImage(Bytes().header(0x35545844, 0, 0, 64, 32, 8192),
                dxtFileHeader("DXT5", 32, 64, 2048) + ramp(2048)),
       {"units.rep"},
       oneImageReport("Image size decreased by 6144 bytes\r\n"),
       {{"units(new).spr",
         oneImageArchive(Bytes().header(0x35545844, 0, 0, 64, 32, 2048), ramp(2048))}}},

      {"size increased",
       oneImage(Bytes().header(0x35545844, 0, 0, 64, 32, 2048),
                dxtFileHeader("DXT5", 32, 64, 8192) + ramp(8192)),
       {"units.rep"},
       oneImageReport("Image size increased by 6144 bytes\r\n"),
       {{"units(new).spr",
         oneImageArchive(Bytes().header(0x35545844, 0, 0, 64, 32, 8192), ramp(8192))}}},

      {"FourCC DXT1 with RGB flags is DXT1",
       oneImage(dxt1Index,
                ddsBytes({0x00081007, 32, 64, 1024, 0x40, "DXT1", 0, 0, 0, 0, 0, ramp(1024)})),
       {"units.rep"},
       oneImageReport(""),
       {{"units(new).spr", oneImageArchive(dxt1Index, ramp(1024))}}},

      {"DXT2 is refused",
       oneImage(dxt1Index,
                ddsBytes({0x00081007, 32, 64, 1024, 0x4, "DXT2", 0, 0, 0, 0, 0, ramp(1024)})),
       {"units.rep"},
       oneImageRefused(),
       {}},

      {"flags 0x41 without FourCC is 8.8.8.8 ARGB",
       oneImage(dxt1Index, ddsBytes({0x00081007, 32, 64, 8192, 0x41, std::string(4, '\0'), 0, 0, 0,
                                     0, 0, ramp(8192)})),
       {"units.rep"},
       oneImageReport(" \r\nImage units-1-1 format changed.\r\nDXT1==>8.8.8.8 ARGB\r\n"
                      "Image size increased by 7168 bytes\r\n"),
       {{"units(new).spr", oneImageArchive(Bytes().header(21, 5, 6, 64, 32, 8192), ramp(8192))}}},

      {"flags 0x40 without FourCC is 5.6.5 RGB whatever the masks",
       oneImage(
           Bytes().header(23, 0, 0, 4, 4, 32),
           ddsBytes({0x00081007, 4, 4, 32, 0x40, std::string(4, '\0'), 0, 0, 0, 0, 0, ramp(32)})),
       {"units.rep"},
       oneImageReport(""),
       {{"units(new).spr", oneImageArchive(Bytes().header(23, 0, 0, 4, 4, 32), ramp(32))}}},

      {"8.8.8.8 ARGB resaved as 5.6.5 RGB",
       oneImage(Bytes().header(21, 0, 0, 16, 16, 1024), rgb565FileHeader(16, 16, 512) + ramp(512)),
       {"units.rep"},
       oneImageReport(" \r\nImage units-1-1 format changed.\r\n8.8.8.8 ARGB==>5.6.5 RGB\r\n"
                      "Image size decreased by 512 bytes\r\n"),
       {{"units(new).spr", oneImageArchive(Bytes().header(23, 0, 0, 16, 16, 512), ramp(512))}}},

      {"an empty image file is refused",
       oneImage(dxt1Index, ""),
       {"units.rep"},
       oneImageRefused(),
       {}},

      {"bytes past the linear size are ignored",
       oneImage(Bytes().header(0x33545844, 0, 0, 4, 4, 16),
                dxtFileHeader("DXT3", 4, 4, 16) + ramp(16) + "smaller mipmap levels"),
       {"units.rep"},
       oneImageReport(""),
       {{"units(new).spr", oneImageArchive(Bytes().header(0x33545844, 0, 0, 4, 4, 16), ramp(16))}}},

      {"a file cut inside its data is refused",
       oneImage(Bytes().header(0x33545844, 0, 0, 4, 4, 16),
                dxtFileHeader("DXT3", 4, 4, 16) + "12345"),
       {"units.rep"},
       oneImageRefused(kCutReason)},

      {"a section of no images",
       {{"units.rep", Bytes().u32(2).u32(1).header(21, 1, 1, 1, 1, 4).u32(0)},
        {"units-1-1.dds", argbFileHeader(1, 1, 4) + "ARGB"}},
       {"units.rep"},
       start("units", 2) + "Section 1 : 1 Images\r\nSection 2 : 0 Images\r\n" + kDone,
       {{"units(new).spr", archiveStart(2).u32(1).image(21, 1, 1, 1, 1, "ARGB").u32(0)}}},

      {"a directory prefix",
       {{"my mods\\units.rep", Bytes().u32(1).u32(1).header(21, 1, 1, 1, 1, 4)},
        {"my mods\\units-1-1.dds", argbFileHeader(1, 1, 4) + "ARGB"}},
       {"my mods\\units.rep"},
       start("units", 1) + "Section 1 : 1 Images\r\n" + kDone,
       {{"my mods\\units(new).spr", archiveStart(1).u32(1).image(21, 1, 1, 1, 1, "ARGB")}}},

      {"a letter of two bytes in the name",
       {{"Zo\xC3\xAB.rep", Bytes().u32(0)}},
       {"Zo\xC3\xAB.rep"},
       start("Zo\xC3\xAB", 0) + kDone,
       {{"Zo\xC3\xAB(new).spr", archiveStart(0)}}},

      // The new archive's name is 245 bytes, near the 255 a name may have.
      {"a base name of 236 bytes",
       {{std::string(236, 'n') + ".rep", Bytes().u32(1).u32(1).header(21, 1, 1, 1, 1, 4)},
        {std::string(236, 'n') + "-1-1.dds", argbFileHeader(1, 1, 4) + "ARGB"}},
       {std::string(236, 'n') + ".rep"},
       start(std::string(236, 'n'), 1) + "Section 1 : 1 Images\r\n" + kDone,
       {{std::string(236, 'n') + "(new).spr",
         archiveStart(1).u32(1).image(21, 1, 1, 1, 1, "ARGB")}}},

      {"a missing index",
       {{"units(new).spr", "earlier archive"}},
       {"units.rep"},
       "Zerbolt - units.rep\r\n \r\nMissing File units.rep\r\n\r\nZerbolt Aborted!\r\n"},

      {"upper-case name",
       {{"UNITS.rep", Bytes().u32(1).u32(1).header(21, 1, 1, 1, 1, 4)},
        {"UNITS-1-1.dds", argbFileHeader(1, 1, 4) + "ARGB"}},
       {"UNITS.REP"},
       "Zerbolt - UNITS.REP\r\nNumber of section(s) to be put in UNITS(new).spr: 1\r\n"
       "Section 1 : 1 Images\r\n" +
           std::string(kDone),
       {{"UNITS(new).spr", archiveStart(1).u32(1).image(21, 1, 1, 1, 1, "ARGB")}}},

      {"a row pitch in place of the linear size",
       oneImage(Bytes().header(21, 0, 0, 64, 32, 8192), ddsBytes(pitchArgb)),
       {"units.rep"},
       oneImageReport(""),
       {{"units(new).spr", oneImageArchive(Bytes().header(21, 0, 0, 64, 32, 8192), ramp(8192))}}},

      // As DirectXTex writes them: BC1 in sRGB, with a linear size; and
      // B8G8R8A8 with a pitch and the dimension and array size left 0.
      {"a DX10 file of BC1 sRGB",
       oneImage(dxt1Index, ddsBytes({0x81007, 32, 64, 1024, 0x4, "DX10", 0, 0, 0, 0, 0, ramp(1024),
                                     dx10Header(72, 3, 1)})),
       {"units.rep"},
       oneImageReport(""),
       {{"units(new).spr", oneImageArchive(dxt1Index, ramp(1024))}}},
      {"a DX10 file of B8G8R8A8 with a pitch",
       oneImage(Bytes().header(21, 0, 0, 4, 2, 32),
                ddsBytes({0x100F, 2, 4, 16, 0x4, "DX10", 0, 0, 0, 0, 0, ramp(32) + "mip",
                          dx10Header(87, 0, 0)})),
       {"units.rep"},
       oneImageReport(""),
       {{"units(new).spr", oneImageArchive(Bytes().header(21, 0, 0, 4, 2, 32), ramp(32))}}},

      {"a DX10 file cut inside its DX10 header",
       oneImage(dxt1Index, ddsBytes({0x81007, 32, 64, 1024, 0x4, "DX10", 0, 0, 0, 0, 0, ""})),
       {"units.rep"},
       oneImageRefused(kCutReason),
       {}},
      {"a DX10 file cut in its last 20 bytes of data",
       oneImage(dxt1Index, ddsBytes({0x81007, 32, 64, 1024, 0x4, "DX10", 0, 0, 0, 0, 0,
                                     ramp(1024 - 10), dx10Header(71, 3, 1)})),
       {"units.rep"},
       oneImageRefused(kCutReason),
       {}},
      {"a DXT5 image too large for an archive",
       oneImage(dxt1Index, ddsBytes({0x100F, 131072, 65536, 0, 0x4, "DXT5", 0, 0, 0, 0, 0, ""})),
       {"units.rep"},
       oneImageRefused("Reason: The image is too large for an archive. Please save it smaller\r\n"),
       {}},

      // Other encodings of DXT5 data, marked by GIMP or by the normal-map flag.
      {"a DXT5 of GIMP's YCoCg is refused",
       oneImage(dxt1Index,
                ddsBytes({0x81007, 32, 64, 2048, 0x4, "DXT5", 0, 0, 0, 0, 0, ramp(2048), "",
                          std::string(8, '\0') + "GIMP-DDS" + std::string(4, '\0') + "YCG1"})),
       {"units.rep"},
       oneImageRefused(kEncodingReason),
       {}},
      {"a DXT5 flagged as a normal map is refused",
       oneImage(dxt1Index,
                ddsBytes({0x81007, 32, 64, 2048, 0x80000004, "DXT5", 0, 0, 0, 0, 0, ramp(2048)})),
       {"units.rep"},
       oneImageRefused(kEncodingReason),
       {}},

      {"24-bit RGB is refused",
       oneImage(Bytes().header(23, 0, 0, 4, 4, 32),
                ddsBytes({0x0000100F, 4, 4, 12, 0x40, std::string(4, '\0'), 24, 0xFF0000, 0xFF00,
                          0xFF, 0, ramp(48)})),
       {"units.rep"},
       oneImageRefused(),
       {}},

      {"an unknown indexed type keeps its name",
       oneImage(Bytes().header(7, 0, 0, 4, 4, 8), dxtFileHeader("DXT1", 4, 4, 8) + ramp(8)),
       {"units.rep"},
       oneImageReport(" \r\nImage units-1-1 format changed.\r\nUnknown (7)==>DXT1\r\n"),
       {{"units(new).spr", oneImageArchive(Bytes().header(0x31545844, 0, 0, 4, 4, 8), ramp(8))}}},
  };
}

class Rebuild : public ::testing::TestWithParam<Case> {};

TEST_P(Rebuild, PrintsTheReportAndWritesTheArchive) {
  testing_support::expectRun(ZERBOLT_PATH, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Indexes, Rebuild, ::testing::ValuesIn(cases()), testing_support::caseName);

// A folder, or a file made read-only, where the new archive goes stays as it
// was: the modder meant it.
TEST(RebuildFailures, ArchiveThatCannotBePutInPlaceIsReported) {
  for (const bool readOnlyFile : {false, true}) {
    SCOPED_TRACE(readOnlyFile ? "a read-only file" : "a folder");
    TempDir dir;
    writeFile(dir.file("units.rep"), Bytes().u32(1).u32(1).header(21, 1, 1, 1, 1, 4));
    writeFile(dir.file("units-1-1.dds"), argbFileHeader(1, 1, 4) + "ARGB");
    const std::string target = dir.file("units(new).spr");
    if (readOnlyFile) writeFile(target, "earlier archive");
    if (readOnlyFile) std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    if (!readOnlyFile) std::filesystem::create_directory(target);
    const auto result = runProgram(ZERBOLT_PATH, {"units.rep"}, dir.path().string());
    EXPECT_EQ(result.output,
              start("units", 1) +
                  "Section 1 : 1 Images\r\n"
                  " \r\nCouldnt write units(new).spr\r\nReason: " +
                  (readOnlyFile ? "The file is read-only" : "There is a folder of that name") +
                  "\r\n \r\n" + kAborted);
    EXPECT_TRUE(readOnlyFile ? readFile(target) == "earlier archive"
                             : std::filesystem::is_directory(target));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
  }
}

TEST(RebuildFailures, AnIndexCountItCannotHoldStops) {
  TempDir dir;
  // 8 bytes: no header in the file, so at most 16 images.
  writeFile(dir.file("units.rep"), Bytes().u32(1).u32(17));
  const auto result = runProgram(ZERBOLT_PATH, {"units.rep"}, dir.path().string(), 10);
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.output,
            start("units", 1) +
                "Section 1 : 17 Images\r\n"
                " \r\n***Error: The file ends at byte 8 before its counts do; stopped here.***\r\n"
                " \r\n" +
                kAborted);
  EXPECT_FALSE(std::filesystem::exists(dir.file("units(new).spr")));
}

// "C:units.rep" is in drive C's current folder, its root here, and the
// current folder is on another volume: the new archive is made beside it.
TEST(RebuildFailures, ADriveRelativeNameIsRebuiltBesideItsIndex) {
  if (!testing_support::windowsProgramsDir()) GTEST_SKIP() << "drives are Windows'";
  const auto driveC = testing_support::wineScratchRoot().parent_path();
  const std::string base = "drive-relative-" + std::to_string(::getpid());
  writeFile((driveC / (base + ".rep")).string(), Bytes().u32(1).u32(1).header(21, 1, 1, 1, 1, 4));
  writeFile((driveC / (base + "-1-1.dds")).string(), argbFileHeader(1, 1, 4) + "ARGB");
  const harness::ScratchFolder current("/dev/shm", "spritetest");  // a volume of its own
  const auto result = runProgram(ZERBOLT_PATH, {"C:" + base + ".rep"}, current.path().string());
  EXPECT_EQ(result.output, start("C:" + base, 1) + "Section 1 : 1 Images\r\n" + kDone);
  for (const char* end : {".rep", "-1-1.dds", "(new).spr"}) fs::remove(driveC / (base + end));
  EXPECT_TRUE(fs::is_empty(current.path()));
}

// Extracting an archive of known types and rebuilding it at once gives the
// same archive from offset 4 on, for many archives of random shapes.
TEST(RoundTrip, ExtractThenRebuildGivesTheArchiveBack) {
  std::mt19937 random(20261207);
  const std::uint32_t types[] = {0x31545844, 0x33545844, 0x35545844, 21, 23};
  for (int round = 0; round < 25; ++round) {
    const std::uint32_t sections = random() % 4;
    Bytes archive;
    archive.raw(testing_support::le32(random())).u32(sections);  // any formatVersion
    std::string report = start("units", sections);  // nothing changed, so no change lines
    for (std::uint32_t s = 0; s < sections; ++s) {
      const std::uint32_t images = random() % 4;
      archive.u32(images);
      report += "Section " + std::to_string(s + 1) + " : " + std::to_string(images) + " Images\r\n";
      for (std::uint32_t i = 0; i < images; ++i) {
        archive.image(types[random() % 5], random(), random(), random() % 512, random() % 512,
                      ramp(random() % 3000, random()));
      }
    }
    TempDir dir;
    writeFile(dir.file("units.spr"), archive);
    ASSERT_EQ(runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string()).exitStatus, 0);
    const auto result = runProgram(ZERBOLT_PATH, {"units.rep"}, dir.path().string());
    ASSERT_EQ(result.output, report + kDone);
    const std::string rebuilt = readFile(dir.file("units(new).spr"));
    EXPECT_EQ(rebuilt.substr(0, 4), "\xCD\xCC\x8C\x3F");
    EXPECT_TRUE(rebuilt.substr(4) == archive.str().substr(4)) << "round " << round;
  }
}

}  // namespace
