#include "platform/posix_signals.h"

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

// A signal handler can reach nothing else, hence file scope. A run writes
// at most two files at once: the index and an image file.
struct TemporaryFile {
  char path[4096] = {};
  volatile sig_atomic_t named = 0;
};
TemporaryFile gTemporaries[4];

struct TerminalState {
  struct termios found;  // as the run found the terminal
  struct termios pause;  // no line editing, no echo
  volatile sig_atomic_t paused = 0;
};
TerminalState gTerminal;

// From the background the terminal is not set: that would stop the process
// (SIGTTOU) instead of ending it, and a job sent on with bg after Ctrl-Z has
// given the terminal back already.
void setTerminalIfPaused(const struct termios& settings) {
  if (gTerminal.paused && posix::inForeground()) ::tcsetattr(STDIN_FILENO, TCSANOW, &settings);
}

extern "C" void cleanUpAndDie(int signal) {
  setTerminalIfPaused(gTerminal.found);
  for (const TemporaryFile& temporary : gTemporaries) {
    if (temporary.named) ::unlink(temporary.path);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void catchSignal(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

extern "C" void takeTerminalAgain(int) {
  const int savedErrno = errno;
  setTerminalIfPaused(gTerminal.pause);
  errno = savedErrno;
}

// The shell does not hand a stopped job's terminal settings back at fg: the
// terminal is given back as the run found it before the stop, as the stop
// itself would have done, and the pause's settings come back on SIGCONT. A
// job sent on in the background (bg) leaves the terminal to the shell, and
// takes it again when brought back (fg).
extern "C" void giveTerminalBackAndStop(int) {
  const int savedErrno = errno;
  setTerminalIfPaused(gTerminal.found);
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

// A signal the caller set to be ignored (nohup, a background job, Ctrl-Z
// turned off) stays ignored: the run was asked to outlive it.
bool ignoredByCaller(int signal) {
  struct sigaction inherited {};
  return ::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN;
}

void installCleanupOnSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : posix::kEndingSignals) {
    if (ignoredByCaller(signal)) continue;
    catchSignal(signal, cleanUpAndDie);
  }
}

void installTerminalHandoverOnStops() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  if (ignoredByCaller(SIGTSTP)) return;
  catchSignal(SIGTSTP, giveTerminalBackAndStop);
  catchSignal(SIGCONT, takeTerminalAgain);
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

void pauseHoldsTerminal(const struct termios& found, const struct termios& pause) {
  installCleanupOnSignals();
  installTerminalHandoverOnStops();
  gTerminal.found = found;
  gTerminal.pause = pause;
  gTerminal.paused = 1;
}

void pauseEnded() {
  gTerminal.paused = 0;
}

}  // namespace posix

void removeIfInterrupted(const std::string& path) {
  installCleanupOnSignals();
  for (TemporaryFile& temporary : gTemporaries) {
    if (temporary.named || path.size() >= sizeof temporary.path) continue;
    path.copy(temporary.path, path.size());
    temporary.path[path.size()] = '\0';
    // The handler reads a slot only once it is named, and then whole.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    temporary.named = 1;
    return;
  }
}

void noLongerRemoveIfInterrupted(const std::string& path) {
  for (TemporaryFile& temporary : gTemporaries) {
    if (temporary.named && path == temporary.path) temporary.named = 0;
  }
}

}  // namespace platform
