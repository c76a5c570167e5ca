// Files on POSIX systems: regular files only, never created or written
// through a link, read and written at absolute offsets.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/platform.h"
#include "platform/posix_signals.h"

namespace platform {
namespace {

// Anything but a regular file under the name is refused before it is
// opened: opening a serial port raises its control lines (resetting a board
// on it), opening a tape rewinds it. A name that is not there yet passes.
bool namesOtherThanAFile(const std::string& path, bool throughLinks) {
  struct stat status {};
  const int looked = throughLinks ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
  return looked == 0 && !S_ISREG(status.st_mode);
}

// O_NONBLOCK keeps the open itself from waiting on a FIFO. Only regular files
// are kept open, and on those it changes nothing, so it stays set. No
// terminal opened becomes the controlling one.
int openWith(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// What was opened is checked again, as the name may have changed since it
// was looked at: a regular file or nothing. A file whose length cannot be
// had is kept, to be told as unreadable.
OpenedFile keepIfRegular(int fd, bool writable) {
  if (fd < 0) return {};
  struct stat status {};
  if (::fstat(fd, &status) != 0) return {fd, writable, std::nullopt};
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    return {};
  }
  return {fd, writable, static_cast<std::uint64_t>(status.st_size)};
}

}  // namespace

OpenedFile openOutputFile(const std::string& path) {
  if (namesOtherThanAFile(path, false)) return {};
  const int fd = openWith(path, O_RDWR | O_CREAT | O_NOFOLLOW);
  if (fd >= 0) return keepIfRegular(fd, true);
  return keepIfRegular(openWith(path, O_RDONLY | O_NOFOLLOW), false);
}

OpenedFile openInputFile(const std::string& path) {
  if (namesOtherThanAFile(path, true)) return {};
  return keepIfRegular(openWith(path, O_RDONLY), false);
}

std::optional<std::size_t> readAt(FileHandle file, std::uint64_t offset, char* buffer,
                                  std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(static_cast<int>(file), buffer + done, size - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
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

std::optional<std::uint64_t> fileSize(FileHandle file) {
  struct stat status {};
  if (::fstat(static_cast<int>(file), &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

bool closeFile(FileHandle file) {
  // A file system that writes back late (NFS, a quota) tells of a lost
  // write only here. EINTR leaves the descriptor closed on Linux: no retry.
  return ::close(static_cast<int>(file)) == 0 || errno == EINTR;
}

void allowHoles(FileHandle) {}  // every POSIX file system leaves holes unwritten

std::uint64_t copyBetweenFiles(FileHandle from, std::uint64_t fromOffset, FileHandle to,
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

NameHolds lookAtName(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    return errno == ENOENT ? NameHolds::kNothing : NameHolds::kOther;
  }
  if (!S_ISREG(status.st_mode)) return NameHolds::kOther;
  return (status.st_mode & S_IWUSR) == 0 ? NameHolds::kReadOnlyFile : NameHolds::kFile;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// rename() without replacing: a file system that cannot refuse to replace
// (RENAME_NOREPLACE) is looked at first.
bool moveToNewName(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  return lookAtName(to) == NameHolds::kNothing && ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

bool replaceFileKeeping(const std::string& from, const std::string& to, const std::string& keptAs) {
  const posix::SignalsHeld held(posix::kEndingSignals);
  if (!moveToNewName(to, keptAs)) return false;
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  (void)::rename(keptAs.c_str(), to.c_str());
  return false;
}

FolderMade makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return FolderMade::kMade;
  return errno == EEXIST ? FolderMade::kTaken : FolderMade::kFailed;
}

std::size_t nameStart(std::string_view path) {
  return path.rfind('/') + 1;
}

bool removeFolder(const std::string& path) {
  return ::rmdir(path.c_str()) == 0;
}

bool removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

OpenedFile createNewFile(const std::string& path) {
  const posix::SignalsHeld held(posix::kEndingSignals);
  const int fd = openWith(path, O_RDWR | O_CREAT | O_EXCL);
  if (fd < 0) return {};
  removeIfInterrupted(path);
  return {fd, true};
}

OpenedFile createUniqueFile(const std::string& besidePath, std::string_view nameStart,
                            std::string& createdPath) {
  const std::string folder = besidePath.substr(0, platform::nameStart(besidePath));
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + temporaryName(nameStart, ::getpid(), attempt);
    const OpenedFile created = createNewFile(path);
    if (created.handle != kNoFile) {
      createdPath = path;
      return created;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

}  // namespace platform
