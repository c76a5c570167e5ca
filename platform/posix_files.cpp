// Files on POSIX systems: regular files only, never created or written
// through a link, read and written at absolute offsets.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix_signals.h"

namespace platform {
namespace {

using util::Status;

// The system's words for the failure errno tells of.
Status failed(Status::Code code, int error = errno) {
  return Status::failure(code, std::strerror(error));
}

NameHolds holdsOf(const struct stat& status) {
  if (S_ISREG(status.st_mode)) {
    return (status.st_mode & S_IWUSR) == 0 ? NameHolds::kReadOnlyFile : NameHolds::kFile;
  }
  if (S_ISDIR(status.st_mode)) return NameHolds::kFolder;
  if (S_ISLNK(status.st_mode)) return NameHolds::kLink;
  return NameHolds::kOther;
}

bool isMissing(int error) {
  return error == ENOENT || error == ENOTDIR;
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
// was looked at: a regular file, or refused for what it is.
Status keepIfRegular(int fd, bool writable, Status::Code code, OpenedFile& opened) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const Status failure = failed(code);
    ::close(fd);
    return failure;
  }
  const NameHolds holds = holdsOf(status);
  if (holds != NameHolds::kFile && holds != NameHolds::kReadOnlyFile) {
    ::close(fd);
    return refusalOf(holds, code);
  }
  opened = {fd, writable, static_cast<std::uint64_t>(status.st_size)};
  return {};
}

// Anything but a regular file under the name is refused before it is
// opened: opening a serial port raises its control lines (resetting a board
// on it), opening a tape rewinds it. A name that is not there yet passes.
Status refuseOtherThanAFile(const std::string& path, bool throughLinks, Status::Code code) {
  struct stat status {};
  const int looked = throughLinks ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
  if (looked != 0) return {};  // the open tells
  return refusalOf(holdsOf(status), code);
}

}  // namespace

Status openOutputFile(const std::string& path, OpenedFile& opened) {
  Status refused = refuseOtherThanAFile(path, false, Status::Code::kUnwritable);
  if (!refused.ok()) return refused;
  int fd = openWith(path, O_RDWR | O_CREAT | O_NOFOLLOW);
  if (fd >= 0) return keepIfRegular(fd, true, Status::Code::kUnwritable, opened);
  const int writeError = errno;
  if (writeError == ELOOP) return refusalOf(NameHolds::kLink, Status::Code::kUnwritable);
  fd = openWith(path, O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return failed(Status::Code::kUnwritable, writeError);
  return keepIfRegular(fd, false, Status::Code::kUnwritable, opened);
}

Status openInputFile(const std::string& path, OpenedFile& opened) {
  Status refused = refuseOtherThanAFile(path, true, Status::Code::kUnreadable);
  if (!refused.ok()) return refused;
  const int fd = openWith(path, O_RDONLY);
  if (fd < 0) return failed(isMissing(errno) ? Status::Code::kMissing : Status::Code::kUnreadable);
  return keepIfRegular(fd, false, Status::Code::kUnreadable, opened);
}

Status readAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size,
              std::size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n =
        ::pread(static_cast<int>(file), buffer + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failed(Status::Code::kUnreadable);
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return {};
}

Status writeAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(static_cast<int>(file), data + done, size - done,
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    // A write that puts nothing and tells no error: the disk is full.
    if (n <= 0) return failed(Status::Code::kUnwritable, n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  return {};
}

Status fileSize(FileHandle file, std::uint64_t& size) {
  struct stat status {};
  if (::fstat(static_cast<int>(file), &status) != 0) return failed(Status::Code::kUnreadable);
  size = static_cast<std::uint64_t>(status.st_size);
  return {};
}

Status closeFile(FileHandle file) {
  // A file system that writes back late (NFS, a quota) tells of a lost
  // write only here. EINTR leaves the descriptor closed on Linux: no retry.
  if (::close(static_cast<int>(file)) == 0 || errno == EINTR) return {};
  return failed(Status::Code::kUnwritable);
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

namespace {

FileStamp stampFrom(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::uint64_t>(status.st_size),
          static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

}  // namespace

Status stampOf(FileHandle file, FileStamp& stamp) {
  struct stat status {};
  if (::fstat(static_cast<int>(file), &status) != 0) return failed(Status::Code::kUnreadable);
  stamp = stampFrom(status);
  return {};
}

Status lookAtName(const std::string& path, NameHolds& holds, FileStamp* stamp) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (!isMissing(errno)) return failed(Status::Code::kUnwritable);
    holds = NameHolds::kNothing;
    return {};
  }
  holds = holdsOf(status);
  if (stamp != nullptr) *stamp = stampFrom(status);
  return {};
}

Status replaceFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return {};
  return failed(Status::Code::kUnwritable);
}

namespace {

// rename() without replacing: a file system that cannot refuse to replace
// (RENAME_NOREPLACE) is looked at first.
Status moveToNewName(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return failed(Status::Code::kUnwritable);
#endif
  NameHolds holds = NameHolds::kNothing;
  if (Status looked = lookAtName(to, holds); !looked.ok()) return looked;
  if (holds != NameHolds::kNothing) return failed(Status::Code::kUnwritable, EEXIST);
  return replaceFile(from, to);
}

}  // namespace

Status replaceFileKeeping(const std::string& from, const std::string& to,
                          const std::string& keptAs) {
  const posix::SignalsHeld held(posix::kEndingSignals);
  if (Status moved = moveToNewName(to, keptAs); !moved.ok()) return moved;
  Status replaced = replaceFile(from, to);
  if (!replaced.ok()) (void)::rename(keptAs.c_str(), to.c_str());
  return replaced;
}

Status makeFolder(const std::string& path, bool& made) {
  made = ::mkdir(path.c_str(), 0777) == 0;
  if (made || errno == EEXIST) return {};
  return failed(Status::Code::kUnwritable);
}

std::size_t nameStart(std::string_view path) {
  return path.rfind('/') + 1;
}

Status removeFolder(const std::string& path) {
  if (::rmdir(path.c_str()) == 0) return {};
  return failed(Status::Code::kUnwritable);
}

Status removeFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return {};
  return failed(Status::Code::kUnwritable);
}

namespace {

// createNewFile(); the error of the failed open, or 0.
int createNew(const std::string& path, OpenedFile& opened) {
  const posix::SignalsHeld held(posix::kEndingSignals);
  const int fd = openWith(path, O_RDWR | O_CREAT | O_EXCL);
  if (fd < 0) return errno;
  removeIfInterrupted(path);
  opened = {fd, true, 0};
  return 0;
}

}  // namespace

Status createNewFile(const std::string& path, OpenedFile& opened) {
  const int error = createNew(path, opened);
  return error == 0 ? Status() : failed(Status::Code::kUnwritable, error);
}

Status createUniqueFile(const std::string& besidePath, std::string_view nameStart,
                        std::string& createdPath, OpenedFile& opened) {
  const std::string folder = besidePath.substr(0, platform::nameStart(besidePath));
  int error = 0;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + temporaryName(nameStart, ::getpid(), attempt);
    error = createNew(path, opened);
    if (error == 0) {
      createdPath = path;
      return {};
    }
    if (error != EEXIST) break;
  }
  return failed(Status::Code::kUnwritable, error);
}

}  // namespace platform
