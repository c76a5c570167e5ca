// The cleanup on signals on POSIX systems: a signal that ends the process
// first removes the temporary file and gives the terminal back as the run
// found it; a stop gives the terminal back too, and a continuation in the
// foreground takes it again for the pause.
#include "platform/posix_signals.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

// A signal handler can reach nothing else, hence file scope.
struct InterruptCleanup {
  struct termios savedTerminal;
  struct termios pauseTerminal;
  volatile sig_atomic_t terminalChanged = 0;
  char temporaryPath[4096] = {};
  volatile sig_atomic_t hasTemporary = 0;
};
InterruptCleanup gCleanup;

// From the background the terminal is not set: that would stop the process
// (SIGTTOU) instead of ending it, and a job sent on with bg after Ctrl-Z has
// given the terminal back already.
extern "C" void cleanUpAndDie(int signal) {
  if (gCleanup.terminalChanged && posix::inForeground()) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gCleanup.savedTerminal);
  }
  if (gCleanup.hasTemporary) ::unlink(gCleanup.temporaryPath);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

extern "C" void giveTerminalBackAndStop(int);
extern "C" void takeTerminalAgain(int);

void catchWith(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

// A signal the caller set to be ignored (nohup, a background job) stays
// ignored: the run was asked to outlive it.
bool ignoredByCaller(int signal) {
  struct sigaction inherited {};
  return ::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN;
}

// The shell does not hand a stopped job's terminal settings back at fg: the
// terminal is given back as the run found it before the stop, as the stop
// itself would have done, and the pause's settings come back on SIGCONT. A
// job sent on in the background (bg) leaves the terminal to the shell, and
// takes it again when brought back (fg).
extern "C" void giveTerminalBackAndStop(int) {
  const int savedErrno = errno;
  if (gCleanup.terminalChanged && posix::inForeground()) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gCleanup.savedTerminal);
  }
  ::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  ::raise(SIGTSTP);  // stopped here until continued
  catchWith(SIGTSTP, giveTerminalBackAndStop);
  // Where nothing stopped (a process group no shell controls), the pause
  // goes on at once.
  takeTerminalAgain(SIGTSTP);
  errno = savedErrno;
}

extern "C" void takeTerminalAgain(int) {
  const int savedErrno = errno;
  if (gCleanup.terminalChanged && posix::inForeground()) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gCleanup.pauseTerminal);
  }
  errno = savedErrno;
}

// A stop the caller set to be ignored stays ignored, as Ctrl-Z then does
// nothing.
void installTerminalHandoverOnStops() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  if (ignoredByCaller(SIGTSTP)) return;
  catchWith(SIGTSTP, giveTerminalBackAndStop);
  catchWith(SIGCONT, takeTerminalAgain);
}

void installCleanupOnSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : posix::kEndingSignals) {
    if (ignoredByCaller(signal)) continue;
    catchWith(signal, cleanUpAndDie);
  }
}

}  // namespace

namespace posix {

SignalsHeld::SignalsHeld(std::span<const int> signals) {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : signals) sigaddset(&held, signal);
  ::sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() {
  ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void restoreTerminalOnSignals(const termios& saved, const termios& pauseSettings) {
  installCleanupOnSignals();
  installTerminalHandoverOnStops();
  gCleanup.savedTerminal = saved;
  gCleanup.pauseTerminal = pauseSettings;
  gCleanup.terminalChanged = 1;
}

void terminalRestored() {
  gCleanup.terminalChanged = 0;
}

}  // namespace posix

void removeIfInterrupted(const std::string& path) {
  gCleanup.hasTemporary = 0;
  if (path.empty() || path.size() >= sizeof gCleanup.temporaryPath) return;
  installCleanupOnSignals();
  path.copy(gCleanup.temporaryPath, path.size());
  gCleanup.temporaryPath[path.size()] = '\0';
  gCleanup.hasTemporary = 1;
}

}  // namespace platform
