// Runs one of the programs on a pseudo-terminal of its own, as a person at a
// terminal does: what it prints is read from the terminal, and keys are typed
// into it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

class TerminalRun {
 public:
  // Starts `program` with `arguments` in `directory`; `typedAhead` is typed
  // at once, before the program reads anything. A `preload` library is
  // loaded into the program first (LD_PRELOAD).
  TerminalRun(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& directory, const std::string& typedAhead = "",
              const std::string& preload = "");
  ~TerminalRun();
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  void type(const std::string& keys);
  // Closes the terminal, as closing its window does.
  void hangUp();

  // Reads the program's output until it holds `text`; false after 10 s.
  bool waitForOutput(const std::string& text);
  // Everything read from the terminal so far.
  const std::string& output() const { return output_; }

  // True when the program has not ended.
  bool running();
  // True when the program is still running after `wait`.
  bool stillWaitingAfter(std::chrono::milliseconds wait);

  // Waits up to 10 s for the program to end; its exit status, or -1.
  int exitStatus();

  int master() const { return master_; }
  pid_t pid() const { return pid_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
  std::string output_;
};

}  // namespace testing_support
