// Preloaded into a program under test, so that a test sees what happens
// between steps that leave no trace of their own:
// - with MARK_OPENS set, opening a name that ends in "-1-1.dds" writes
//   "<open 1-1>" to standard output and then takes 100 ms, as a slow disk
//   or a virus scanner would; one that ends in "-1-2.dds" writes "<open 1-2>";
// - with FAIL_CLOSE_OF set, closing a file whose name ends in its value
//   fails with EIO after the file is closed, as a network file system
//   reports a write it could not make;
// - with FAIL_CALL and FAIL_AT set, the FAIL_AT-th call of one kind fails
//   with EIO, as a failing disk, a full one or a share that drops fails it:
//   read (pread), copy (copy_file_range), write (pwrite), open, size (fstat,
//   stat, lstat), rename (rename, renameat2), folder (mkdir) or close (after
//   closing). The name of the file it
//   was made on is written to the file FAIL_MARK, so that a test knows the
//   failure happened, and where.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
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

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void markFailure(const char* name) {
  const char* mark = std::getenv("FAIL_MARK");
  if (mark == nullptr) return;
  static const auto realOpen = next<int (*)(const char*, int, ...)>("open64");
  const int fd = realOpen(mark, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  (void)::write(fd, name, std::strlen(name));
  static const auto realClose = next<int (*)(int)>("close");
  realClose(fd);
}

const char* nameOf(int fd, char (&name)[4096]) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = ::readlink(link, name, sizeof name - 1);
  name[length > 0 ? length : 0] = '\0';
  return name;
}

// True when this call of `kind` is the one to fail; it is then marked as
// made on `name`.
bool failsNow(const char* kind, const char* name) {
  const char* failing = std::getenv("FAIL_CALL");
  const char* at = std::getenv("FAIL_AT");
  if (failing == nullptr || at == nullptr || std::strcmp(failing, kind) != 0) return false;
  static long calls = 0;
  if (++calls != std::atol(at)) return false;
  markFailure(name);
  return true;
}

bool closeMustFail(int fd) {
  const char* suffix = std::getenv("FAIL_CLOSE_OF");
  char name[4096];
  return suffix != nullptr && endsWith(nameOf(fd, name), suffix);
}

bool failsNow(const char* kind, int fd) {
  char name[4096];
  return failsNow(kind, nameOf(fd, name));
}

template <typename Result>
Result failed() {
  errno = EIO;
  return static_cast<Result>(-1);
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
  if (failsNow("open", path)) return failed<int>();
  static const auto real = next<int (*)(const char*, int, ...)>("open64");
  return real(path, flags, mode);
}

extern "C" int close(int fd) {
  const bool fail = closeMustFail(fd) || failsNow("close", fd);
  static const auto real = next<int (*)(int)>("close");
  const int result = real(fd);
  if (result == 0 && fail) return failed<int>();
  return result;
}

// A call of `kind` that fails when its turn comes, else is made; `on` is the
// file it is made on, a descriptor or a name.
#define FAILING(kind, on, Result, name, parameters, arguments)  \
  extern "C" Result name parameters {                           \
    if (failsNow(kind, on)) return failed<Result>();            \
    static const auto real = next<Result(*) parameters>(#name); \
    return real arguments;                                      \
  }

extern "C" ssize_t pread64(int fd, void* to, size_t n, off_t at) {
  char name[4096];
  nameOf(fd, name);
  if (failsNow("read", name)) return failed<ssize_t>();
  if (failsNow("shrink", name)) {
    struct stat status {};
    if (::stat(name, &status) == 0) (void)::truncate(name, status.st_size / 2);
  }
  static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
  return real(fd, to, n, at);
}

FAILING("write", fd, ssize_t, pwrite64, (int fd, const void* from, size_t n, off_t at),
        (fd, from, n, at))
FAILING("copy", in, ssize_t, copy_file_range,
        (int in, off_t* inAt, int out, off_t* outAt, size_t n, unsigned flags),
        (in, inAt, out, outAt, n, flags))
FAILING("size", fd, int, fstat64, (int fd, struct stat64* status), (fd, status))
FAILING("size", path, int, stat64, (const char* path, struct stat64* status), (path, status))
// With FAIL_CALL "touch", the first byte after a DDS header of the file
// whose name is looked at is changed first, as an editor saving the picture
// at that moment would change it.
extern "C" int lstat64(const char* path, struct stat64* status) {
  static const auto real = next<int (*)(const char*, struct stat64*)>("lstat64");
  if (real(path, status) == 0 && S_ISREG(status->st_mode) && status->st_size > 128 &&
      failsNow("touch", path)) {
    static const auto realOpen = next<int (*)(const char*, int, ...)>("open64");
    const int fd = realOpen(path, O_RDWR | O_CLOEXEC);
    char byte = 0;
    if (fd >= 0 && ::pread(fd, &byte, 1, 128) == 1) {
      byte = static_cast<char>(byte ^ 0x55);
      (void)::pwrite(fd, &byte, 1, 128);
    }
    if (fd >= 0) ::close(fd);
  }
  if (failsNow("size", path)) return failed<int>();
  return real(path, status);
}
FAILING("rename", to, int, rename, (const char* from, const char* to), (from, to))
FAILING("rename", to, int, renameat2,
        (int fromFolder, const char* from, int toFolder, const char* to, unsigned flags),
        (fromFolder, from, toFolder, to, flags))
FAILING("folder", path, int, mkdir, (const char* path, mode_t mode), (path, mode))
