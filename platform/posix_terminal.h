// The terminal's settings on POSIX systems, and every change made to them.
// Only the pause changes them, and only from the foreground: a background
// job that touched them would be stopped (SIGTTOU). While a pause holds them
// every way the process can leave the pause gives them back as the run found
// them: the pause's end, a signal that ends the process, a stop (Ctrl-Z); a
// continuation in the foreground takes them again for the pause.
#pragma once

#include <termios.h>
#include <unistd.h>

namespace platform::posix {

// Safe in a signal handler.
inline bool inForeground() {
  return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

// The terminal without line editing and echo while it lives, so that one
// key ends the pause and shows nothing; what else was typed is dropped at
// its end. Make it in the foreground only.
class TerminalPause {
 public:
  TerminalPause();
  ~TerminalPause();
  TerminalPause(const TerminalPause&) = delete;
  TerminalPause& operator=(const TerminalPause&) = delete;

  // False when the terminal's settings could not be had.
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// For a signal handler that ends the process: gives the terminal back as the
// run found it if a pause holds it and the process is in the foreground.
void giveTerminalBackBeforeEnding();

}  // namespace platform::posix
