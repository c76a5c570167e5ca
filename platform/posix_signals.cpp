// The cleanup on signals on POSIX systems: a signal that ends the process
// first removes the temporary file and gives the terminal back as the run
// found it.
#include "platform/posix_signals.h"

#include <unistd.h>

#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

// A signal handler can reach nothing else, hence file scope.
struct InterruptCleanup {
  struct termios savedTerminal;
  volatile sig_atomic_t terminalChanged = 0;
  char temporaryPath[4096] = {};
  volatile sig_atomic_t hasTemporary = 0;
};
InterruptCleanup gCleanup;

extern "C" void cleanUpAndDie(int signal) {
  if (gCleanup.terminalChanged) ::tcsetattr(STDIN_FILENO, TCSANOW, &gCleanup.savedTerminal);
  if (gCleanup.hasTemporary) ::unlink(gCleanup.temporaryPath);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// A signal the caller set to be ignored (nohup, a background job) stays
// ignored: the run was asked to outlive it.
void installCleanupOnSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction onSignal {};
  onSignal.sa_handler = cleanUpAndDie;
  sigemptyset(&onSignal.sa_mask);
  for (int signal : posix::kEndingSignals) {
    struct sigaction inherited {};
    if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &onSignal, nullptr);
  }
}

}  // namespace

namespace posix {

EndingSignalsHeld::EndingSignalsHeld() {
  sigset_t ending;
  sigemptyset(&ending);
  for (int signal : kEndingSignals) sigaddset(&ending, signal);
  ::sigprocmask(SIG_BLOCK, &ending, &previous_);
}

EndingSignalsHeld::~EndingSignalsHeld() {
  ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void restoreTerminalOnSignals(const termios& saved) {
  installCleanupOnSignals();
  gCleanup.savedTerminal = saved;
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
