// The report as a person watches it: on a terminal each line shows while the
// run goes on; redirected, it goes out in few large writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/files.h"
#include "support/run.h"
#include "support/terminal.h"
#include "support/windows.h"

namespace {

using namespace std::chrono_literals;
using testing_support::archiveStart;
using testing_support::Bytes;
using testing_support::dxtFileHeader;
using testing_support::kDxt1;
using testing_support::TempDir;
using testing_support::TerminalRun;
using testing_support::writeFile;

constexpr std::uint32_t kLarge = 512u << 20;  // long enough to copy that a person would wait

// `bytes`, then a hole up to `size` bytes: large files that cost no disk.
void writeSparse(const std::string& path, const std::string& bytes, std::uintmax_t size) {
  writeFile(path, bytes);
  std::filesystem::resize_file(path, size);
}

class Progress : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine's console window shows no text the tests can read.
    if (testing_support::windowsProgramsDir()) {
      GTEST_SKIP() << "on a POSIX terminal only: a console window's text cannot be read here";
    }
  }
  TempDir dir_;
};

// The line printed just before a large image is copied is on the screen
// while the copy runs: before the closing lines exist.
TEST_F(Progress, TheLineBeforeALargeCopyShowsWhileItRuns) {
  const std::string row = "1   0        0         32768  32768   536870912 DXT1";
  const struct {
    std::string dropped;
    std::string shownEarly;
  } cases[] = {{"units.spr", row}, {"units.rep", "Section 1 : 1 Images"}};
  writeSparse(dir_.file("units.spr"),
              archiveStart(1).u32(1).header(kDxt1, 0, 0, 32768, 32768, kLarge), 36 + kLarge);
  writeFile(dir_.file("units.rep"),
            Bytes().u32(1).u32(1).header(kDxt1, 0, 0, 32768, 32768, kLarge));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dropped);
    writeSparse(dir_.file("units-1-1.dds"), dxtFileHeader("DXT1", 32768, 32768, kLarge),
                128 + kLarge);
    TerminalRun run(ZERBOLT_PATH, {c.dropped}, dir_.path().string());
    ASSERT_TRUE(run.waitForOutput(c.shownEarly)) << run.output();
    EXPECT_EQ(run.output().find("Done!"), std::string::npos) << "shown only at the end";
    ASSERT_TRUE(run.waitForOutput("Done!")) << run.output();
    run.type(" ");
    EXPECT_EQ(run.exitStatus(), 0);
  }
}

// The banner shows before the first image file is opened, and a line that
// is complete waits no longer than 50 ms of the run for the next one: here
// opening image 1-1 takes 100 ms, so the lines before it show before image
// 1-2 is opened.
TEST_F(Progress, LinesShowWhileTheRunWorks) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a preloaded library cannot come before the sanitizer's runtime";
#endif
  const std::string header = Bytes().header(kDxt1, 0, 0, 4, 4, 8);
  writeFile(dir_.file("units.rep"), Bytes().u32(1).u32(2).raw(header).raw(header));
  for (const char* name : {"units-1-1.dds", "units-1-2.dds"}) {
    writeFile(dir_.file(name), dxtFileHeader("DXT1", 4, 4, 8) + std::string(8, 'd'));
  }
  ::setenv("MARK_OPENS", "1", 1);
  TerminalRun run(ZERBOLT_PATH, {"units.rep"}, dir_.path().string(), "", FILE_EVENTS_LIBRARY);
  ::unsetenv("MARK_OPENS");
  ASSERT_TRUE(run.waitForOutput("Done!")) << run.output();
  const std::string& shown = run.output();
  const auto at = [&shown](const char* text) { return shown.find(text); };
  ASSERT_NE(at("<open 1-2>"), std::string::npos) << shown;
  EXPECT_LT(at("Zerbolt - units.rep"), at("<open 1-1>")) << shown;
  EXPECT_LT(at("Section 1 : 2 Images"), at("<open 1-2>")) << shown;
  run.type(" ");
  EXPECT_EQ(run.exitStatus(), 0);
}

// How many times `program` writes to its standard output, counted by strace.
int writesOf(const std::string& trace) {
  std::istringstream lines(testing_support::readFile(trace));
  int writes = 0;
  for (std::string line; std::getline(lines, line);) writes += line.rfind("write(1,", 0) == 0;
  return writes;
}

TEST_F(Progress, ALongListingIsWrittenInFewWrites) {
  const char* strace = "/usr/bin/strace";
  if (!std::filesystem::exists(strace)) GTEST_SKIP() << "strace is not installed";
  Bytes archive = archiveStart(100);
  for (int s = 0; s < 100; ++s) {
    archive.u32(1000);
    for (int i = 0; i < 1000; ++i) archive.header(kDxt1, 0, 0, 4, 4, 0);
  }
  writeFile(dir_.file("units.spr"), archive);
  const std::string trace = dir_.file("trace");
  // LeakSanitizer cannot run under a tracer, and says so by exiting with 1.
  const std::vector<std::string> traced = {
      "-E",       "ASAN_OPTIONS=detect_leaks=0", "-e", "trace=write", "-o", trace, QUANDREL_PATH,
      "units.spr"};

  // Redirected: one write for every 64 KiB buffer filled, and the rest.
  const auto redirected = testing_support::runProgram(strace, traced, dir_.path().string(), 60);
  ASSERT_EQ(redirected.exitStatus, 0);
  const std::size_t buffers = (redirected.output.size() + 65535) / 65536;
  EXPECT_GT(buffers, 80u);
  EXPECT_LE(writesOf(trace), static_cast<int>(buffers) + 1);

  // On a terminal: more, as lines go out every 50 ms, but a few hundred at most.
  TerminalRun run(strace, traced, dir_.path().string());
  ASSERT_TRUE(run.waitForOutput("Done!"));
  run.type(" ");
  ASSERT_EQ(run.exitStatus(), 0);
  EXPECT_LE(writesOf(trace), 300);
}

}  // namespace
