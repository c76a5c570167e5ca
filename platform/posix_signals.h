// What a signal must undo before it ends the process (the terminal settings
// a pause changed, a file not yet put in place) or stops it (the terminal
// settings), and the signals held back while a file and its cleanup, or the
// terminal and its settings, are made to agree.
#pragma once

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <span>

namespace platform::posix {

// The signals that end the process and clean up first.
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A stop (Ctrl-Z) and the continuation after it.
inline constexpr int kJobControlSignals[] = {SIGTSTP, SIGCONT};

// Holds back `signals` while it lives.
class SignalsHeld {
 public:
  explicit SignalsHeld(std::span<const int> signals);
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// Only the foreground may set the terminal or wait on it: a background job
// that touched its settings would be stopped, and no key of its could come.
// Safe in a signal handler.
inline bool inForeground() {
  return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

// While a pause has the terminal in `pauseSettings`, a signal that ends the
// process puts `saved` back first, and so does a stop (Ctrl-Z); when the run
// is continued in the foreground the terminal gets `pauseSettings` again.
// Call before the change, with the job control signals held.
void restoreTerminalOnSignals(const termios& saved, const termios& pauseSettings);
// The terminal is as it was again: the signals leave it alone. Call with the
// job control signals held.
void terminalRestored();

}  // namespace platform::posix
