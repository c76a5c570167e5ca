// Preloaded into a program under test, so that a test sees what happens
// between steps that leave no trace of their own:
// - with MARK_OPENS set, opening a name that ends in "-1-1.dds" writes
//   "<open 1-1>" to standard output and then takes 100 ms, as a slow disk
//   or a virus scanner would; one that ends in "-1-2.dds" writes "<open 1-2>";
// - with FAIL_CLOSE_OF set, closing a file whose name ends in its value
//   fails with EIO after the file is closed, as a network file system
//   reports a write it could not make.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

bool endsWith(const char* text, const char* suffix) {
  const std::size_t length = std::strlen(text);
  const std::size_t suffixLength = std::strlen(suffix);
  return length >= suffixLength && std::strcmp(text + length - suffixLength, suffix) == 0;
}

void markOpen(const char* path) {
  if (std::getenv("MARK_OPENS") == nullptr) return;
  if (endsWith(path, "-1-1.dds")) {
    (void)::write(STDOUT_FILENO, "<open 1-1>", 10);
    const timespec slow{0, 100 * 1000 * 1000};
    ::nanosleep(&slow, nullptr);
  } else if (endsWith(path, "-1-2.dds")) {
    (void)::write(STDOUT_FILENO, "<open 1-2>", 10);
  }
}

bool closeMustFail(int fd) {
  const char* suffix = std::getenv("FAIL_CLOSE_OF");
  if (suffix == nullptr) return false;
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char name[4096];
  const ssize_t length = ::readlink(link, name, sizeof name - 1);
  if (length <= 0) return false;
  name[length] = '\0';
  return endsWith(name, suffix);
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

mode_t modeOf(int flags, va_list& rest) {
  return (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
}

}  // namespace

// The programs are built with 64-bit file offsets, under which glibc's
// open() is open64().
extern "C" int open64(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = modeOf(flags, rest);
  va_end(rest);
  markOpen(path);
  static const auto real = next<int (*)(const char*, int, ...)>("open64");
  return real(path, flags, mode);
}

extern "C" int close(int fd) {
  const bool fail = closeMustFail(fd);
  static const auto real = next<int (*)(int)>("close");
  const int result = real(fd);
  if (result == 0 && fail) {
    errno = EIO;
    return -1;
  }
  return result;
}
