// The pause on a terminal: Quandrel under a pseudo-terminal, with keys typed
// into it as a user would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/bytes.h"
#include "support/files.h"
#include "support/run_case.h"
#include "support/terminal.h"
#include "support/windows.h"

namespace {

using namespace std::chrono_literals;
using testing_support::archiveStart;
using testing_support::TempDir;
using testing_support::TerminalRun;
using testing_support::writeFile;

// One image of unknown type: the run pauses twice, once for the image and
// once at its end.
std::string archiveWithTwoPauses() {
  return archiveStart(1).u32(1).header(7, 0, 0, 0, 0, 0);
}

class Pause : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::windowsProgramsDir()) {
      GTEST_SKIP() << "the terminal pause is the POSIX console's; under Wine standard input is "
                      "no Windows console";
    }
  }
};

// Each run waits at each of its pauses until one key is typed, with the
// files written so far on disk.
TEST_F(Pause, EachPauseWaitsForOneKey) {
  using testing_support::Bytes;
  using testing_support::Files;
  using testing_support::kDxt1;
  const std::string known = Bytes().header(kDxt1, 0, 0, 4, 4, 8);
  const std::string archive = archiveStart(1)
                                  .u32(4)
                                  .raw(known + std::string(8, 'd'))
                                  .header(7, 0, 0, 0, 0, 0)
                                  .raw(known + std::string(8, 'd'))
                                  .header(9, 0, 0, 0, 0, 0);
  const std::string indexStart = Bytes().u32(1).u32(4).raw(known).header(7, 0, 0, 0, 0, 0);
  const std::string index = Bytes().raw(indexStart).raw(known).header(9, 0, 0, 0, 0, 0);
  const std::string oneImageIndex = Bytes().u32(1).u32(1).raw(known);
  struct Pause {
    std::string shown;  // the last text before the pause
    Files onDisk;       // files that hold these bytes while it waits
  };
  const struct {
    std::string program;
    std::string dropped;
    Files before;
    std::vector<Pause> pauses;
  } runs[] = {
      {QUANDREL_PATH,
       "units.spr",
       {{"units.spr", archive}},
       {{"1-2 is an unknown format! Please report this to me ASAP!***\r\r\n"
         "Press any key to continue counting.",
         {}},
        {"1-4 is an unknown format! Please report this to me ASAP!***\r\r\n"
         "Press any key to continue counting.",
         {}},
        {"Done!", {}}}},
      {ZERBOLT_PATH,
       "units.spr",
       {{"units.spr", archive}},
       {{"Image 1-2 is an unknown format! Please report this to me ASAP!***\r\r\n"
         "--This Image will not be saved--\r\r\n"
         "Press any key to continue with the rest of the images",
         {{"units.rep", indexStart}}},
        {"Image 1-4 is an unknown format", {{"units.rep", index}}},
        {"Done!", {{"units.rep", index}}}}},
      {ZERBOLT_PATH,
       "units.rep",
       {{"units.rep", oneImageIndex},
        {"units-1-1.dds", testing_support::dxtFileHeader("DXT1", 4, 4, 8) + "dddddddd"}},
       {{"Done!", {{"units(new).spr", archiveStart(1).u32(1).raw(known + "dddddddd")}}}}},
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(r.program + " " + r.dropped);
    TempDir dir;
    for (const auto& [name, bytes] : r.before) writeFile(dir.file(name), bytes);
    TerminalRun run(r.program, {r.dropped}, dir.path().string());
    for (const Pause& pause : r.pauses) {
      ASSERT_TRUE(run.waitForOutput(pause.shown)) << run.output();
      EXPECT_TRUE(run.stillWaitingAfter(300ms)) << "no pause after " << pause.shown;
      for (const auto& [name, bytes] : pause.onDisk) {
        EXPECT_EQ(testing_support::readFile(dir.file(name)), bytes) << name;
      }
      run.type("x");
    }
    EXPECT_EQ(run.exitStatus(), 0);
  }
}

TEST_F(Pause, KeysTypedAheadEndOnePauseOnly) {
  // Several letters, and a special key that sends an escape sequence.
  for (const std::string& typedAhead : {std::string("abc"), std::string("\x1b[A")}) {
    TempDir dir;
    writeFile(dir.file("units.spr"), archiveWithTwoPauses());
    TerminalRun run(QUANDREL_PATH, {"units.spr"}, dir.path().string(), typedAhead);
    ASSERT_TRUE(run.waitForOutput("Done!"));
    EXPECT_TRUE(run.stillWaitingAfter(400ms)) << "the final pause was skipped";
    run.type(" ");
    EXPECT_EQ(run.exitStatus(), 0);
  }
}

// A key that arrives just as a pause ends is dropped with whatever else was
// typed, and the next pause still waits.
TEST_F(Pause, AKeyAtTheEndOfAPauseEndsNoOther) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a preloaded library cannot come before the sanitizer's runtime";
#endif
  TempDir dir;
  writeFile(dir.file("units.spr"), archiveWithTwoPauses());
  TerminalRun run(QUANDREL_PATH, {"units.spr"}, dir.path().string(), "", LATE_KEY_LIBRARY);
  ASSERT_TRUE(run.waitForOutput("Press any key to continue counting."));
  run.type("x");
  ASSERT_TRUE(run.waitForOutput("Done!"));
  EXPECT_TRUE(run.stillWaitingAfter(400ms)) << "the late key ended the final pause";
  run.type(" ");
  EXPECT_EQ(run.exitStatus(), 0);
}

// Under nohup, or as a background job, the caller has the hangup ignored:
// the run must outlive it. Once the terminal is closed no key can come, and
// the pause ends. A stop the caller ignores (a shell's trap '' TSTP) stays
// ignored too: Ctrl-Z at the pause does nothing.
TEST_F(Pause, AnIgnoredSignalIsLeftIgnored) {
  const struct {
    const char* command;
    int signal;        // sent to the run, or
    const char* keys;  // typed at its pause
  } cases[] = {{"trap '' HUP; exec \"$0\" units.rep", SIGHUP, ""},
               {"trap '' TSTP; set -m; \"$0\" units.rep; echo ended", 0, "\x1a"}};
  for (const auto& [command, signal, keys] : cases) {
    SCOPED_TRACE(command);
    TempDir dir;
    writeFile(dir.file("units.rep"), testing_support::Bytes().u32(0));
    TerminalRun run("/bin/sh", {"-c", command, ZERBOLT_PATH}, dir.path().string());
    ASSERT_TRUE(run.waitForOutput("Done!"));
    if (signal != 0) ::kill(run.pid(), signal);
    run.type(keys);
    ASSERT_TRUE(run.stillWaitingAfter(300ms)) << "the ignored signal ended or stopped the run";
    run.hangUp();
    EXPECT_FALSE(run.stillWaitingAfter(1s)) << "it waits on a terminal that is gone";
    if (signal == SIGHUP) {
      EXPECT_EQ(run.exitStatus(), 0);
    }
  }
}

// Typed at a prompt with the report sent to a file, or started with "&"
// from a shell with job control (only the foreground may touch the
// terminal), a run has nobody to answer a pause: it does not wait.
TEST_F(Pause, NoPauseWhereNobodyCanAnswer) {
  const struct {
    const char* command;
    const char* log;  // where the report goes; empty for the terminal
  } cases[] = {{"exec \"$0\" units.spr > log.txt", "log.txt"},
               {"set -m; \"$0\" units.spr & wait $!", ""}};
  for (const auto& [command, log] : cases) {
    SCOPED_TRACE(command);
    TempDir dir;
    writeFile(dir.file("units.spr"), archiveWithTwoPauses());
    TerminalRun run("/bin/sh", {"-c", command, QUANDREL_PATH}, dir.path().string());
    EXPECT_TRUE(*log != '\0' || run.waitForOutput("Done!"));
    ASSERT_FALSE(run.stillWaitingAfter(1s)) << "it waits for a key";
    EXPECT_EQ(run.exitStatus(), 0);
    EXPECT_TRUE(*log == '\0' || testing_support::readFile(dir.file(log)).ends_with("Done!\r\n"));
  }
}

// Ctrl-Z at a pause, in a shell that leaves the terminal as the stopped job
// had it (dash): the terminal comes back as the run found it. Brought back
// with fg, at once or after running on in the background (bg), the pause
// takes its settings again, so that one key ends it; ended in the
// background, the run ends, without touching the terminal from there.
TEST_F(Pause, AStoppedPauseGivesTheTerminalBackAndTakesItAgain) {
  const struct {
    const char* then;   // what the shell does with the stopped run
    const char* ended;  // what the shell says when the run ends
  } cases[] = {{"fg", "ended 0"},
               {"bg; sleep 1; fg", "ended 0"},
               {"bg; sleep 1; kill %1; wait %1", "ended 143"}};
  for (const auto& [then, ended] : cases) {
    SCOPED_TRACE(then);
    TempDir dir;
    writeFile(dir.file("units.rep"), testing_support::Bytes().u32(0));
    TerminalRun run("/bin/sh",
                    {"-c",
                     std::string("set -m; \"$0\" units.rep; echo stopped; sleep 1; ") + then +
                         "; echo \"ended $?\"",
                     ZERBOLT_PATH},
                    dir.path().string());
    // The line flags, once they are `expected` or after 4 s.
    const auto lineFlags = [&run](tcflag_t expected) {
      termios settings{};
      for (int k = 0; k < 80; ++k, std::this_thread::sleep_for(50ms)) {
        ::tcgetattr(run.master(), &settings);
        if ((settings.c_lflag & (ICANON | ECHO)) == expected) break;
      }
      return settings.c_lflag & (ICANON | ECHO);
    };
    ASSERT_TRUE(run.waitForOutput("Done!"));
    ASSERT_EQ(lineFlags(0), 0u) << "the pause did not take the terminal";
    run.type("\x1a");
    ASSERT_TRUE(run.waitForOutput("stopped"));
    EXPECT_EQ(lineFlags(ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    if (std::string(ended) == "ended 0") {
      EXPECT_EQ(lineFlags(0), 0u) << "fg left the pause without its settings";
      run.type("x");
    }
    EXPECT_TRUE(run.waitForOutput(ended)) << run.output();
  }
}

// Ctrl-C or a closed window at the last pause, what a modder does more often
// than pressing a key: every file the extraction put in place stays, made
// new, replaced or kept.
TEST_F(Pause, EndedAtItsLastPauseAnExtractionKeepsItsFiles) {
  using testing_support::Bytes;
  using testing_support::dxtFileHeader;
  using testing_support::kDxt1;
  using testing_support::readFile;
  const std::string archive = archiveStart(1)
                                  .u32(2)
                                  .image(kDxt1, 0, 0, 4, 4, std::string(8, 'a'))
                                  .image(kDxt1, 0, 0, 4, 4, std::string(8, 'b'));
  for (const bool closeWindow : {false, true}) {
    SCOPED_TRACE(closeWindow ? "window closed" : "Ctrl-C");
    TempDir dir;
    writeFile(dir.file("units.spr"), archive);
    writeFile(dir.file("units.rep"), "older index");
    writeFile(dir.file("units-1-2.dds"), "edited picture");
    TerminalRun run(ZERBOLT_PATH, {"units.spr"}, dir.path().string());
    ASSERT_TRUE(run.waitForOutput("Done!"));
    ASSERT_TRUE(run.stillWaitingAfter(200ms));
    if (closeWindow)
      run.hangUp();
    else
      run.type("\x03");
    EXPECT_FALSE(run.stillWaitingAfter(1s));
    EXPECT_EQ(
        readFile(dir.file("units.rep")),
        Bytes().u32(1).u32(2).header(kDxt1, 0, 0, 4, 4, 8).header(kDxt1, 0, 0, 4, 4, 8).str());
    EXPECT_EQ(readFile(dir.file("units-1-1.dds")), dxtFileHeader("DXT1", 4, 4, 8) + "aaaaaaaa");
    EXPECT_EQ(readFile(dir.file("units-1-2.dds")), dxtFileHeader("DXT1", 4, 4, 8) + "bbbbbbbb");
    EXPECT_EQ(readFile(dir.file("units(kept 1)/units-1-2.dds")), "edited picture");
  }
}

TEST_F(Pause, TerminalSettingsComeBackWhenInterrupted) {
  TempDir dir;
  writeFile(dir.file("units.spr"), archiveWithTwoPauses());
  TerminalRun run(QUANDREL_PATH, {"units.spr"}, dir.path().string());
  ASSERT_TRUE(run.waitForOutput("Press any key to continue counting."));
  ASSERT_TRUE(run.stillWaitingAfter(200ms));
  ::kill(run.pid(), SIGTERM);
  EXPECT_EQ(run.exitStatus(), -1);  // ended by the signal
  const int slave = ::open(::ptsname(run.master()), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios settings{};
  ASSERT_EQ(::tcgetattr(slave, &settings), 0);
  ::close(slave);
  EXPECT_TRUE(settings.c_lflag & ICANON);
  EXPECT_TRUE(settings.c_lflag & ECHO);
}

}  // namespace
