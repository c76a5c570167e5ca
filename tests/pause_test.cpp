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
#include "support/windows.h"

namespace {

using namespace std::chrono_literals;
using testing_support::archiveStart;
using testing_support::TempDir;
using testing_support::writeFile;

// One image of unknown type: the run pauses twice, once for the image and
// once at its end.
std::string archiveWithTwoPauses() {
  return archiveStart(1).u32(1).header(7, 0, 0, 0, 0, 0);
}

class TerminalRun {
 public:
  TerminalRun(const std::string& directory, const std::string& typedAhead) {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (::chdir(directory.c_str()) != 0) ::_exit(127);
      ::execl(QUANDREL_PATH, QUANDREL_PATH, "units.spr", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (!typedAhead.empty()) type(typedAhead);
  }
  ~TerminalRun() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }

  void type(const std::string& keys) {
    EXPECT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  // Reads the program's output until it holds `text`; false after 10 s.
  bool waitForOutput(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (output_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd readable{master_, POLLIN, 0};
      if (::poll(&readable, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) return false;
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }

  // True when the program is still waiting after `wait`.
  bool stillWaitingAfter(std::chrono::milliseconds wait) {
    std::this_thread::sleep_for(wait);
    return ::waitpid(pid_, &status_, WNOHANG) == 0;
  }

  // Waits up to 10 s for the program to end; its exit status, or -1.
  int exitStatus() {
    for (int k = 0; k < 200 && !exited_; ++k) {
      waitForOutput("\x01never\x01");  // drains output so the program cannot block
      exited_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
      if (!exited_) std::this_thread::sleep_for(50ms);
    }
    if (!exited_) return -1;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }

  int master() const { return master_; }
  pid_t pid() const { return pid_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
  std::string output_;
};

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
  TerminalRun run(dir.path().string(), "");
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
    TerminalRun run(dir.path().string(), typedAhead);
    ASSERT_TRUE(run.waitForOutput("Done!"));
    EXPECT_TRUE(run.stillWaitingAfter(400ms)) << "the final pause was skipped";
    run.type(" ");
    EXPECT_EQ(run.exitStatus(), 0);
  }
}

TEST_F(Pause, TerminalSettingsComeBackWhenInterrupted) {
  TempDir dir;
  writeFile(dir.file("units.spr"), archiveWithTwoPauses());
  TerminalRun run(dir.path().string(), "");
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
