// The signals that end the process, and what they undo first: the terminal
// settings a pause changed (posix_terminal.h) and a file not yet put in
// place. Also the signals held back while a file and its cleanup, or the
// terminal and its settings, are made to agree.
#pragma once

#include <signal.h>

#include <span>

namespace platform::posix {

// The signals that end the process and clean up first.
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

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

void catchSignal(int signal, void (*handler)(int));

// A signal the caller set to be ignored (nohup, a background job) stays
// ignored: the run was asked to outlive it.
bool ignoredByCaller(int signal);

// From now on each ending signal the caller does not ignore gives the
// terminal back and removes the temporary file before it ends the process.
void installCleanupOnSignals();

}  // namespace platform::posix
