// The terminal's settings on POSIX systems while a pause holds them. Only the
// pause changes them, and only from the foreground: a background job that
// touched them would be stopped (SIGTTOU). While a pause holds them every way
// the process can leave the pause gives them back as the run found them: the
// pause's end, and, through the handlers of posix_signals, a signal that ends
// the process or a stop (Ctrl-Z); a continuation in the foreground takes them
// again for the pause.
#pragma once

#include <termios.h>

namespace platform::posix {

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
  struct termios found_ {};  // as the pause found the terminal
  bool active_ = false;
};

}  // namespace platform::posix
