// The console on POSIX systems: the report written to standard output, and
// the pause that waits on the terminal for a key.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix_signals.h"
#include "platform/posix_terminal.h"

namespace platform {
namespace {

constexpr int kLookIntervalMs = 50;
// The bytes of one escape sequence may trail the first by a moment; they are
// gathered for this long so that they end the same pause and no other.
constexpr int kSequenceGatherMs = 20;

enum class Look { kNothing, kKey, kClosed };

// Looks at the terminal for up to `timeoutMs`. A terminal that has hung up
// reports input ready and then gives no bytes: that is no key, and no key
// will ever come.
Look lookForKey(int timeoutMs) {
  struct pollfd input {
    STDIN_FILENO, POLLIN, 0
  };
  const int ready = ::poll(&input, 1, timeoutMs);
  if (ready < 0) return errno == EINTR ? Look::kNothing : Look::kClosed;
  if (ready == 0) return Look::kNothing;
  if (input.revents & (POLLHUP | POLLERR | POLLNVAL)) return Look::kClosed;
  char bytes[64];
  const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
  if (n > 0) return Look::kKey;
  return n < 0 && (errno == EINTR || errno == EAGAIN) ? Look::kNothing : Look::kClosed;
}

void waitForPress() {
  for (;;) {
    const Look look = lookForKey(kLookIntervalMs);
    if (look == Look::kClosed) return;
    if (look == Look::kKey) break;
  }
  while (lookForKey(kSequenceGatherMs) == Look::kKey) {
  }
}

class PosixConsole final : public Console {
 public:
  PosixConsole() {
    interactive_ = ::isatty(STDOUT_FILENO) != 0;
    // Only a person who sees the report can answer a pause.
    canPause_ = interactive_ && ::isatty(STDIN_FILENO) != 0;
  }

  void write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  bool isInteractive() const override { return interactive_; }

  void waitForKey() override {
    if (!canPause_ || !posix::inForeground()) return;
    posix::TerminalPause pause;
    if (pause.active()) waitForPress();
  }

 private:
  bool interactive_ = false;
  bool canPause_ = false;
};

}  // namespace

Console& systemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace platform
