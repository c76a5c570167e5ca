// The pause on a terminal: Quandrel under a pseudo-terminal, with keys typed
// into it as a user would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/bytes.h"
#include "support/files.h"
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

TEST_F(Pause, WaitsForAKeyAndOneKeyEndsOnePause) {
  TempDir dir;
  writeFile(dir.file("units.spr"), archiveWithTwoPauses());
  TerminalRun run(QUANDREL_PATH, {"units.spr"}, dir.path().string());
  ASSERT_TRUE(run.waitForOutput("Press any key to continue counting."));
  EXPECT_TRUE(run.stillWaitingAfter(300ms));
  run.type("x");
  ASSERT_TRUE(run.waitForOutput("Done!"));
  EXPECT_TRUE(run.stillWaitingAfter(300ms));
  run.type("y");
  EXPECT_EQ(run.exitStatus(), 0);
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
