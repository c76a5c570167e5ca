// Symbolic links planted among a run's files, as a downloaded mod may carry
// them: nothing is ever written or created through one, and files the run
// only reads are still read through one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness/run.h"
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
using testing_support::dxtFileHeader;
using testing_support::Files;
using testing_support::kArgb;
using testing_support::kDxt1;
using testing_support::listFiles;
using testing_support::ramp;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kOutsideBytes = "a file of the user's, outside the mod folder";

// Two images in one section, and the files their extraction gives.
const std::string kArchive =
    archiveStart(1).u32(2).image(kDxt1, 0, 0, 4, 4, ramp(8)).image(kArgb, 0, 0, 1, 1, "ARGB");
const Files kExtracted = {
    {"units.rep", Bytes().u32(1).u32(2).header(kDxt1, 0, 0, 4, 4, 8).header(kArgb, 0, 0, 1, 1, 4)},
    {"units-1-1.dds", dxtFileHeader("DXT1", 4, 4, 8) + ramp(8)},
    {"units-1-2.dds", argbFileHeader(1, 1, 4) + "ARGB"},
};

const std::string kTable =
    "Number of image(s) in section 1: 2\r\n"
    "#   RFWidth? RFHeight? Width  Height  DataSize  Type\r\n";
const std::string kFirstRow = "1   0        0         4      4       8         DXT1\r\n";
const std::string kSecondRow = "2   0        0         1      1       4         8.8.8.8 ARGB\r\n";
const std::string kRebuilt =
    "Zerbolt - units.rep\r\nNumber of section(s) to be put in units(new).spr: 1\r\n"
    "Section 1 : 2 Images\r\n \r\nDone!\r\n";

std::string missingReport(const std::string& program, const std::string& dropped) {
  return program + " - " + dropped + "\r\n \r\nMissing File " + dropped + "\r\n\r\n" + program +
         " Aborted!\r\n";
}

// A mod folder with a folder of the user's beside it that holds one file.
class Links : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine 8 shows a link to a program as the file it leads to, and makes
    // none of its own (mklink does nothing), so no Windows program can see one.
    if (testing_support::windowsProgramsDir()) {
      GTEST_SKIP() << "Wine cannot show a link to a Windows program";
    }
    fs::create_directory(outside());
    fs::create_directory(mods());
    writeFile(outsideFile(), kOutsideBytes);
  }

  fs::path mods() const { return root_.path() / "mods"; }
  fs::path outside() const { return root_.path() / "outside"; }
  std::string outsideFile() const { return (outside() / "notes.txt").string(); }
  std::string mod(const std::string& name) const { return (mods() / name).string(); }

  // `name` in the mod folder becomes a link to the outside file, or to a
  // name beside it where nothing is.
  void plantLink(const std::string& name, bool dangling) {
    fs::create_symlink(dangling ? outside() / "made" : fs::path(outsideFile()), mod(name));
  }

  std::string run(const std::string& program, const std::string& name) {
    const auto result = runProgram(program, {name}, mods().string());
    EXPECT_EQ(result.exitStatus, testing_support::exitStatusFor(result.output));
    return result.output;
  }

  // The outside folder holds its one file, byte for byte, and nothing else.
  void expectOutsideUntouched() const {
    EXPECT_EQ(std::distance(fs::directory_iterator(outside()), {}), 1);
    EXPECT_EQ(readFile(outsideFile()), kOutsideBytes);
  }

  void expectModFile(const std::string& name, const std::string& bytes) const {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(mod(name)))) << name;
    EXPECT_EQ(readFile(mod(name)), bytes) << name;
  }

 private:
  TempDir root_;
};

struct PlantedOutput {
  std::string name;
  std::string report;
};

TEST_F(Links, AnExtractionWritesNoFileThroughALink) {
  const std::string head = "Zerbolt - units.spr\r\n";
  const std::string sections = "Number of section(s) in units.spr: 1\r\n \r\n";
  const std::string tail = " \r\n2 image(s) in units.spr\r\n \r\n";
  const std::string oneUnwritten = "Done, but 1 file(s) could not be written!\r\n";
  const std::string link = "Reason: There is a link of that name\r\n";
  const std::vector<PlantedOutput> outputs = {
      {"units.rep", head + "Couldnt write units.rep\r\n" + link + sections + kTable + kFirstRow +
                        kSecondRow + tail + oneUnwritten},
      {"units-1-1.dds", head + sections + kTable + kFirstRow + "Couldnt write units-1-1.dds\r\n" +
                            link + kSecondRow + tail + oneUnwritten},
      {"units-1-2.dds", head + sections + kTable + kFirstRow + kSecondRow +
                            "Couldnt write units-1-2.dds\r\n" + link + tail + oneUnwritten},
  };
  for (const PlantedOutput& output : outputs) {
    for (const bool dangling : {false, true}) {
      SCOPED_TRACE(output.name + (dangling ? " as a dangling link" : " as a link"));
      fs::remove_all(mods());
      fs::create_directory(mods());
      writeFile(mod("units.spr"), kArchive);
      plantLink(output.name, dangling);
      EXPECT_EQ(run(ZERBOLT_PATH, "units.spr"), output.report);
      expectOutsideUntouched();
      EXPECT_TRUE(fs::is_symlink(mod(output.name)));
      for (const auto& [name, bytes] : kExtracted) {
        if (name != output.name) expectModFile(name, bytes);
      }
    }
  }
}

TEST_F(Links, ARebuildReplacesALinkWhereTheNewArchiveGoes) {
  for (const bool dangling : {false, true}) {
    SCOPED_TRACE(dangling ? "dangling link" : "link");
    fs::remove_all(mods());
    fs::create_directory(mods());
    for (const auto& [name, bytes] : kExtracted) writeFile(mod(name), bytes);
    plantLink("units(new).spr", dangling);
    EXPECT_EQ(run(ZERBOLT_PATH, "units.rep"), kRebuilt);
    expectOutsideUntouched();
    expectModFile("units(new).spr", kArchive);
  }
}

// Links planted under the first temporary names the rebuild tries (they
// hold its process number) are passed over and left as they are.
TEST_F(Links, ARebuildWritesNoTemporaryFileThroughALink) {
  for (const auto& [name, bytes] : kExtracted) writeFile(mod(name), bytes);
  const std::string report = (outside().parent_path() / "report.txt").string();
  const int output = ::open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t pid = harness::start({.command = {ZERBOLT_PATH, "units.rep"},
                                    .directory = mods().string(),
                                    .output = output,
                                    .beforeStart = [this] {
                                      const std::string own =
                                          "Zerbolt-" + std::to_string(::getpid());
                                      plantLink(own + "-0.tmp", false);
                                      plantLink(own + "-1.tmp", true);
                                    }});
  harness::waitFor(pid);
  ::close(output);
  EXPECT_EQ(readFile(report), kRebuilt);
  expectOutsideUntouched();
  expectModFile("units(new).spr", kArchive);
  for (const char* attempt : {"-0.tmp", "-1.tmp"}) {
    EXPECT_TRUE(fs::is_symlink(mod("Zerbolt-" + std::to_string(pid) + attempt))) << attempt;
  }
}

// A dropped name that is a dangling link is a missing file: the run says so,
// writes nothing, and the link stays dangling.
TEST_F(Links, ADroppedDanglingLinkIsMissing) {
  const struct {
    std::string program;
    std::string dropped;
    std::string report;
    Files written;
  } cases[] = {
      {QUANDREL_PATH, "units.spr", missingReport("Quandrel", "units.spr"), {}},
      {ZERBOLT_PATH, "units.spr", missingReport("Zerbolt", "units.spr"), {}},
      {ZERBOLT_PATH, "units.rep", missingReport("Zerbolt", "units.rep"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program + " " + c.dropped);
    fs::remove_all(mods());
    fs::create_directory(mods());
    plantLink(c.dropped, true);
    EXPECT_EQ(run(c.program, c.dropped), c.report);
    expectOutsideUntouched();
    EXPECT_EQ(listFiles(mods()), c.written);
  }
}

TEST_F(Links, FilesTheRunOnlyReadsAreReadThroughLinks) {
  const std::string extracted =
      "Zerbolt - units.spr\r\nNumber of section(s) in units.spr: 1\r\n \r\n" + kTable + kFirstRow +
      kSecondRow + " \r\n2 image(s) in units.spr\r\n \r\nDone!\r\n";
  Files extractedAndArchive = kExtracted;
  extractedAndArchive["units.spr"] = kArchive;
  const struct {
    std::string linked;  // kept outside, with a link to it in the mod folder
    Files before;        // in the mod folder besides the link
    std::string dropped;
    std::string report;
    std::string written;
    std::string writtenBytes;
  } cases[] = {
      {"units.spr", {}, "units.spr", extracted, "units-1-1.dds", kExtracted.at("units-1-1.dds")},
      {"units.rep", extractedAndArchive, "units.rep", kRebuilt, "units(new).spr", kArchive},
      {"units-1-2.dds", extractedAndArchive, "units.rep", kRebuilt, "units(new).spr", kArchive},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.linked);
    fs::remove_all(mods());
    fs::create_directory(mods());
    for (const auto& [name, bytes] : c.before) {
      if (name != c.linked) writeFile(mod(name), bytes);
    }
    const std::string linkedBytes = extractedAndArchive.at(c.linked);
    writeFile(outsideFile(), linkedBytes);
    plantLink(c.linked, false);
    EXPECT_EQ(run(ZERBOLT_PATH, c.dropped), c.report);
    EXPECT_EQ(readFile(outsideFile()), linkedBytes);
    expectModFile(c.written, c.writtenBytes);
  }
}

}  // namespace
