// What a signal must undo before it ends the process (the terminal settings
// a pause changed, a file not yet put in place), and the signals held back
// while a file and its cleanup are made together.
#pragma once

#include <signal.h>
#include <termios.h>

namespace platform::posix {

// The signals that end the process and clean up first.
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Holds back the ending signals while it lives.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld();
  ~EndingSignalsHeld();
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// While a pause has changed the terminal's settings, a signal that ends the
// process puts `saved` back first. Call before the change.
void restoreTerminalOnSignals(const termios& saved);
// The terminal is as it was again: the signals leave it alone.
void terminalRestored();

}  // namespace platform::posix
