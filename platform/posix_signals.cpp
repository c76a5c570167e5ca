// The cleanup on signals on POSIX systems: a signal that ends the process
// first gives the terminal back as the run found it and removes the
// temporary file.
#include "platform/posix_signals.h"

#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/platform.h"
#include "platform/posix_terminal.h"

namespace platform {
namespace {

// A signal handler can reach nothing else, hence file scope. A run writes
// at most two files at once: the index and an image file.
struct TemporaryFile {
  char path[4096] = {};
  volatile sig_atomic_t named = 0;
};
TemporaryFile gTemporaries[4];

extern "C" void cleanUpAndDie(int signal) {
  posix::giveTerminalBackBeforeEnding();
  for (const TemporaryFile& temporary : gTemporaries) {
    if (temporary.named) ::unlink(temporary.path);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
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

void catchSignal(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

bool ignoredByCaller(int signal) {
  struct sigaction inherited {};
  return ::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN;
}

void installCleanupOnSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : kEndingSignals) {
    if (ignoredByCaller(signal)) continue;
    catchSignal(signal, cleanUpAndDie);
  }
}

}  // namespace posix

void removeIfInterrupted(const std::string& path) {
  posix::installCleanupOnSignals();
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
