// The terminal's settings on POSIX systems: the pause's, and the handlers
// that give them back on a stop or before the process ends. Every change to
// the terminal's settings is made here, by setTerminal().
#include "platform/posix_terminal.h"

#include <signal.h>

#include <cerrno>

#include "platform/posix_signals.h"

namespace platform::posix {
namespace {

// A stop (Ctrl-Z) and the continuation after it: held while the pause
// changes the settings, so that no handler sees them half changed.
constexpr int kJobControlSignals[] = {SIGTSTP, SIGCONT};

// A signal handler can reach nothing else, hence file scope.
struct TerminalState {
  struct termios found;  // as the run found the terminal
  struct termios pause;  // no line editing, no echo
  volatile sig_atomic_t paused = 0;
};
TerminalState gTerminal;

void setTerminal(const struct termios& settings) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &settings);
}

extern "C" void giveTerminalBackAndStop(int);

extern "C" void takeTerminalAgain(int) {
  const int savedErrno = errno;
  if (gTerminal.paused && inForeground()) setTerminal(gTerminal.pause);
  errno = savedErrno;
}

// The shell does not hand a stopped job's terminal settings back at fg: the
// terminal is given back as the run found it before the stop, as the stop
// itself would have done, and the pause's settings come back on SIGCONT. A
// job sent on in the background (bg) leaves the terminal to the shell, and
// takes it again when brought back (fg).
extern "C" void giveTerminalBackAndStop(int) {
  const int savedErrno = errno;
  if (gTerminal.paused && inForeground()) setTerminal(gTerminal.found);
  ::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  ::raise(SIGTSTP);  // stopped here until continued
  catchSignal(SIGTSTP, giveTerminalBackAndStop);
  // Where nothing stopped (a process group no shell controls), the pause
  // goes on at once.
  takeTerminalAgain(SIGTSTP);
  errno = savedErrno;
}

// A stop the caller set to be ignored stays ignored, as Ctrl-Z then does
// nothing.
void installTerminalHandoverOnStops() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  if (ignoredByCaller(SIGTSTP)) return;
  catchSignal(SIGTSTP, giveTerminalBackAndStop);
  catchSignal(SIGCONT, takeTerminalAgain);
}

}  // namespace

TerminalPause::TerminalPause() {
  const SignalsHeld held(kJobControlSignals);
  if (::tcgetattr(STDIN_FILENO, &gTerminal.found) != 0) return;
  gTerminal.pause = gTerminal.found;
  gTerminal.pause.c_lflag &= ~(ICANON | ECHO);
  gTerminal.pause.c_cc[VMIN] = 0;
  gTerminal.pause.c_cc[VTIME] = 0;
  installCleanupOnSignals();
  installTerminalHandoverOnStops();
  gTerminal.paused = 1;
  setTerminal(gTerminal.pause);
  active_ = true;
}

TerminalPause::~TerminalPause() {
  if (!active_) return;
  const SignalsHeld held(kJobControlSignals);
  ::tcflush(STDIN_FILENO, TCIFLUSH);  // what else was typed ends no other pause
  setTerminal(gTerminal.found);
  gTerminal.paused = 0;
}

// From the background the terminal is not set: that would stop the process
// (SIGTTOU) instead of ending it, and a job sent on with bg after Ctrl-Z has
// given the terminal back already.
void giveTerminalBackBeforeEnding() {
  if (gTerminal.paused && inForeground()) setTerminal(gTerminal.found);
}

}  // namespace platform::posix
