// The pause's terminal settings on POSIX systems; the handlers that give
// them back on a stop or before the process ends are posix_signals'.
#include "platform/posix_terminal.h"

#include <unistd.h>

#include "platform/posix_signals.h"

namespace platform::posix {

TerminalPause::TerminalPause() {
  const SignalsHeld held(kJobControlSignals);
  if (::tcgetattr(STDIN_FILENO, &found_) != 0) return;
  struct termios pause = found_;
  pause.c_lflag &= ~(ICANON | ECHO);
  pause.c_cc[VMIN] = 0;
  pause.c_cc[VTIME] = 0;
  pauseHoldsTerminal(found_, pause);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &pause);
  active_ = true;
}

TerminalPause::~TerminalPause() {
  if (!active_) return;
  const SignalsHeld held(kJobControlSignals);
  ::tcflush(STDIN_FILENO, TCIFLUSH);  // what else was typed ends no other pause
  ::tcsetattr(STDIN_FILENO, TCSANOW, &found_);
  pauseEnded();
}

}  // namespace platform::posix
