// Every signal handler of the process on POSIX systems, and what they undo:
// a signal that ends the process first gives the terminal back as the run
// found it (when a pause holds it) and removes the files being written
// (removeIfInterrupted); a stop (Ctrl-Z) gives the terminal back, and the
// continuation takes it again for the pause. The terminal (posix_terminal)
// and the files (posix_files) only tell this file what must be undone.
#pragma once

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <span>

namespace platform::posix {

// The signals that end the process and clean up first.
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// A stop and the continuation after it.
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

// Safe in a signal handler.
inline bool inForeground() {
  return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

// A pause holds the terminal in `pause` settings and gives it back as
// `found` when it ends; until pauseEnded(), the handlers give it back too.
// Call both with the job-control signals held, so that no handler sees the
// settings half changed.
void pauseHoldsTerminal(const struct termios& found, const struct termios& pause);
void pauseEnded();

}  // namespace platform::posix
