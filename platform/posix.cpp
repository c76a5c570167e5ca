// The platform on Linux and other POSIX systems.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace platform {
namespace {

bool isRegularFile(int fd, std::uint64_t& size) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

// O_NONBLOCK keeps the open itself from waiting on a FIFO. Only regular files
// are kept open, and on those it changes nothing, so it stays set.
int openWith(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Read and write with `writeFlags`, else read only with `readFlags`; a
// regular file or nothing. `error` is why nothing was opened.
OpenedFile openRegular(const std::string& path, int writeFlags, int readFlags, int& error) {
  OpenedFile opened{openWith(path, O_RDWR | writeFlags), true};
  if (opened.handle < 0) opened = {openWith(path, O_RDONLY | readFlags), false};
  error = errno;
  if (opened.handle < 0) return {};
  const int fd = static_cast<int>(opened.handle);
  if (!isRegularFile(fd, opened.size)) {
    ::close(fd);
    return {};
  }
  return opened;
}

}  // namespace

OpenedFile openOutputFile(const std::string& path) {
  int error = 0;
  return openRegular(path, O_CREAT | O_NOFOLLOW, O_NOFOLLOW, error);
}

OpenedFile openFile(const std::string& path) {
  int error = 0;
  const OpenedFile opened = openRegular(path, O_CREAT | O_NOFOLLOW, O_NOFOLLOW, error);
  // ELOOP: a link stands under the name. Without O_CREAT the second open
  // can only reach a file that exists.
  if (opened.handle == kNoFile && error == ELOOP) return openRegular(path, 0, 0, error);
  return opened;
}

OpenedFile openExisting(const std::string& path) {
  int error = 0;
  return openRegular(path, 0, 0, error);
}

std::size_t readAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(static_cast<int>(file), buffer + done, size - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool writeAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(static_cast<int>(file), data + done, size - done,
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::uint64_t fileSize(FileHandle file) {
  struct stat status {};
  if (::fstat(static_cast<int>(file), &status) != 0) return 0;
  return static_cast<std::uint64_t>(status.st_size);
}

bool closeFile(FileHandle file) {
  // A file system that writes back late (NFS, a quota) tells of a lost
  // write only here. EINTR leaves the descriptor closed on Linux: no retry.
  return ::close(static_cast<int>(file)) == 0 || errno == EINTR;
}

void markSparse(FileHandle) {}  // every POSIX file system leaves holes unwritten

std::uint64_t copyWithin(FileHandle from, std::uint64_t fromOffset, FileHandle to,
                         std::uint64_t toOffset, std::uint64_t size) {
  std::uint64_t done = 0;
#ifdef __linux__
  // At most 1 GiB a call, so that the count fits every size_t and ssize_t.
  constexpr std::uint64_t kLargestCall = 1u << 30;
  while (done < size) {
    auto in = static_cast<off_t>(fromOffset + done);
    auto out = static_cast<off_t>(toOffset + done);
    const ssize_t n =
        ::copy_file_range(static_cast<int>(from), &in, static_cast<int>(to), &out,
                          static_cast<std::size_t>(std::min(size - done, kLargestCall)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::uint64_t>(n);
  }
#else
  (void)from, (void)fromOffset, (void)to, (void)toOffset, (void)size;
#endif
  return done;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

std::string firstArgument(int argc, char** argv) {
  return argc > 1 ? argv[1] : "";
}

namespace {

constexpr int kLookIntervalMs = 50;
// The bytes of one escape sequence may trail the first by a moment; they are
// gathered for this long so that they end the same pause and no other.
constexpr int kSequenceGatherMs = 20;

// What a signal that ends the process must undo first: the terminal settings
// a pause changed, and a file not yet put in place. A signal handler can reach
// nothing else, hence file scope.
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

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A signal the caller set to be ignored (nohup, a background job) stays
// ignored: the run was asked to outlive it.
void installCleanupOnSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction onSignal {};
  onSignal.sa_handler = cleanUpAndDie;
  sigemptyset(&onSignal.sa_mask);
  for (int signal : kEndingSignals) {
    struct sigaction inherited {};
    if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &onSignal, nullptr);
  }
}

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

// A background job that touched the terminal's settings would be stopped
// until brought to the foreground, and none of its keys could come.
bool inForeground() {
  return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

class TerminalPause {
 public:
  TerminalPause() {
    if (::tcgetattr(STDIN_FILENO, &gCleanup.savedTerminal) != 0) return;
    installCleanupOnSignals();
    struct termios keys = gCleanup.savedTerminal;
    keys.c_lflag &= ~(ICANON | ECHO);
    keys.c_cc[VMIN] = 0;
    keys.c_cc[VTIME] = 0;
    gCleanup.terminalChanged = 1;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &keys);
    active_ = true;
  }
  ~TerminalPause() {
    if (!active_) return;
    ::tcflush(STDIN_FILENO, TCIFLUSH);  // what else was typed ends no other pause
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gCleanup.savedTerminal);
    gCleanup.terminalChanged = 0;
  }
  TerminalPause(const TerminalPause&) = delete;
  TerminalPause& operator=(const TerminalPause&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// A program started with descriptor 0, 1 or 2 closed would hand that number
// to the first file it opens, and the report would be written into it.
void openMissingStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    // open() takes the lowest free number, which is fd; anything else is
    // a stray descriptor to close.
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

class PosixConsole final : public Console {
 public:
  PosixConsole() {
    openMissingStandardStreams();
    ::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write then fails and is reported, instead of
    // the signal ending the run with its temporary file left behind.
    ::signal(SIGXFSZ, SIG_IGN);
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
    if (!canPause_ || !inForeground()) return;
    TerminalPause pause;
    if (pause.active()) waitForPress();
  }

 private:
  bool interactive_ = false;
  bool canPause_ = false;
};

}  // namespace

// Holds back the signals that end the process while it lives, so that a
// file and its cleanup are made together.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : kEndingSignals) sigaddset(&ending, signal);
    ::sigprocmask(SIG_BLOCK, &ending, &previous_);
  }
  ~EndingSignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

OpenedFile createUniqueFile(const std::string& besidePath, std::string& createdPath) {
  const std::string folder = besidePath.substr(0, besidePath.rfind('/') + 1);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + temporaryName(::getpid(), attempt);
    EndingSignalsHeld held;
    const int fd = openWith(path, O_RDWR | O_CREAT | O_EXCL);
    if (fd >= 0) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      removeIfInterrupted(path);
      createdPath = path;
      return {fd, true};
    }
    if (errno != EEXIST) break;
  }
  return {};
}

void removeIfInterrupted(const std::string& path) {
  gCleanup.hasTemporary = 0;
  if (path.empty() || path.size() >= sizeof gCleanup.temporaryPath) return;
  installCleanupOnSignals();
  path.copy(gCleanup.temporaryPath, path.size());
  gCleanup.temporaryPath[path.size()] = '\0';
  gCleanup.hasTemporary = 1;
}

Console& systemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace platform
