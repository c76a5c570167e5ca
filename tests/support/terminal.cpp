#include "support/terminal.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "harness/run.h"

namespace testing_support {

using namespace std::chrono_literals;

TerminalRun::TerminalRun(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, const std::string& typedAhead,
                         const std::string& preload) {
  harness::Child child{{program}, directory};
  child.command.insert(child.command.end(), arguments.begin(), arguments.end());
  if (!preload.empty()) child.environment = {"LD_PRELOAD=" + preload};
  child.onTerminal = true;
  pid_ = harness::start(child, &master_);
  if (!typedAhead.empty()) type(typedAhead);
}

TerminalRun::~TerminalRun() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) ::close(master_);
}

void TerminalRun::type(const std::string& keys) {
  EXPECT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

void TerminalRun::hangUp() {
  ::close(master_);
  master_ = -1;
}

bool TerminalRun::waitForOutput(const std::string& text) {
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

bool TerminalRun::running() {
  if (!exited_) exited_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
  return !exited_;
}

bool TerminalRun::stillWaitingAfter(std::chrono::milliseconds wait) {
  std::this_thread::sleep_for(wait);
  return running();
}

int TerminalRun::exitStatus() {
  for (int k = 0; k < 200 && running(); ++k) {
    if (master_ >= 0) waitForOutput("\x01never\x01");  // drains output so the program cannot block
    if (running()) std::this_thread::sleep_for(50ms);
  }
  if (!exited_) return -1;
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

}  // namespace testing_support
