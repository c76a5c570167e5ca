#include "support/terminal.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace testing_support {

using namespace std::chrono_literals;

TerminalRun::TerminalRun(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, const std::string& typedAhead,
                         const std::string& preload) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
  if (pid_ == 0) {
    if (::chdir(directory.c_str()) != 0) ::_exit(127);
    if (!preload.empty()) ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
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
