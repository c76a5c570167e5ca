// Files on Windows: opened by name in the form Windows takes at any length,
// never created or written through a link, read and written at absolute
// offsets.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/windows_interrupt.h"
#include "platform/windows_paths.h"
#include "platform/windows_text.h"

namespace platform {

using util::Status;
using windows::filePath;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileHandle toHandle(HANDLE handle) {
  return reinterpret_cast<FileHandle>(handle);
}
HANDLE fromHandle(FileHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The system's words for the failure GetLastError() tells of.
Status failed(Status::Code code, DWORD error = ::GetLastError()) {
  return Status::failure(code, windows::systemMessage(error));
}

bool isMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_DIRECTORY;
}

// A name in the device namespace is refused before it is opened, as
// opening a serial port raises its control lines (resetting a board on it)
// and opening a tape rewinds it; what was opened is checked again, as only
// disk files count (not CON, NUL, COM1 or a pipe). A file to read that
// nothing has the name of is missing.
Status openWith(const std::string& path, DWORD access, DWORD disposition, DWORD flags,
                Status::Code code, HANDLE& handle) {
  handle = INVALID_HANDLE_VALUE;
  const std::wstring name = filePath(path);
  if (windows::namesDevice(name)) return refusalOf(NameHolds::kOther, code);
  const HANDLE opened =
      ::CreateFileW(name.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    const bool missing = code == Status::Code::kUnreadable && isMissing(error);
    return failed(missing ? Status::Code::kMissing : code, error);
  }
  if (::GetFileType(opened) != FILE_TYPE_DISK) {
    ::CloseHandle(opened);
    return refusalOf(NameHolds::kOther, code);
  }
  handle = opened;
  return {};
}

// A symbolic link or a junction is a name that stands for another. Other
// reparse points (files kept in the cloud, deduplicated files) are files in
// their own right.
enum class Reparse { kNone, kLink, kOther };
Reparse reparseOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info) ||
      !(info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return Reparse::kNone;
  }
  return IsReparseTagNameSurrogate(info.ReparseTag) ? Reparse::kLink : Reparse::kOther;
}

// Opens the name itself, not what a link there leads to; a link is refused.
Status openNotThroughLink(const std::string& path, DWORD access, DWORD disposition,
                          Status::Code code, HANDLE& handle) {
  HANDLE opened = INVALID_HANDLE_VALUE;
  Status status = openWith(path, access, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, code, opened);
  if (!status.ok()) return status;
  switch (reparseOf(opened)) {
    case Reparse::kNone:
      handle = opened;
      return {};
    case Reparse::kLink:
      ::CloseHandle(opened);
      return refusalOf(NameHolds::kLink, code);
    case Reparse::kOther:
      break;
  }
  // Opened again as usual, so that it behaves as the file it is: from the
  // handle, not the name, which could meanwhile be another file's. One that
  // cannot be (a cloud file that cannot be fetched) fails as any open does.
  handle = ::ReOpenFile(opened, access, kShareAll, 0);
  const DWORD error = ::GetLastError();
  ::CloseHandle(opened);
  return handle == INVALID_HANDLE_VALUE ? failed(code, error) : Status();
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

constexpr std::size_t kLargestIo = 1u << 30;

Status opened(HANDLE handle, bool writable, Status::Code code, OpenedFile& file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle, &size)) {
    const Status failure = failed(code);
    ::CloseHandle(handle);
    return failure;
  }
  file = {toHandle(handle), writable, static_cast<std::uint64_t>(size.QuadPart)};
  return {};
}

}  // namespace

// Read and write, created when missing, else read only; never through a link.
Status openOutputFile(const std::string& path, OpenedFile& file) {
  constexpr auto kCode = Status::Code::kUnwritable;
  HANDLE handle = INVALID_HANDLE_VALUE;
  Status status =
      openNotThroughLink(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, kCode, handle);
  if (status.ok()) return opened(handle, true, kCode, file);
  if (::GetFileAttributesW(filePath(path).c_str()) == INVALID_FILE_ATTRIBUTES) return status;
  if (!openNotThroughLink(path, GENERIC_READ, OPEN_EXISTING, kCode, handle).ok()) return status;
  return opened(handle, false, kCode, file);
}

// For reading; through a link; a disk file, or refused for what stands there.
Status openInputFile(const std::string& path, OpenedFile& file) {
  constexpr auto kCode = Status::Code::kUnreadable;
  const DWORD attributes = ::GetFileAttributesW(filePath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return refusalOf(NameHolds::kFolder, kCode);
  }
  HANDLE handle = INVALID_HANDLE_VALUE;
  Status status = openWith(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, kCode, handle);
  if (!status.ok()) return status;
  return opened(handle, false, kCode, file);
}

// A read with an offset at or past the end fails with ERROR_HANDLE_EOF: that
// is the end; any other failure is an error.
Status readAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size,
              std::size_t& got) {
  got = 0;
  while (got < size) {
    OVERLAPPED position = at(offset + got);
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - got, kLargestIo));
    if (!::ReadFile(fromHandle(file), buffer + got, want, &n, &position)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      return failed(Status::Code::kUnreadable, error);
    }
    if (n == 0) break;
    got += n;
  }
  return {};
}

Status writeAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position = at(offset + done);
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kLargestIo));
    if (!::WriteFile(fromHandle(file), data + done, want, &put, &position)) {
      return failed(Status::Code::kUnwritable);
    }
    // A write that puts nothing and tells no error: the disk is full.
    if (put == 0) return failed(Status::Code::kUnwritable, ERROR_DISK_FULL);
    done += put;
  }
  return {};
}

Status fileSize(FileHandle file, std::uint64_t& size) {
  LARGE_INTEGER length{};
  if (!::GetFileSizeEx(fromHandle(file), &length)) return failed(Status::Code::kUnreadable);
  size = static_cast<std::uint64_t>(length.QuadPart);
  return {};
}

Status closeFile(FileHandle file) {
  if (::CloseHandle(fromHandle(file))) return {};
  return failed(Status::Code::kUnwritable);
}

// NTFS allocates and zeroes a range left unwritten unless the file is
// marked sparse before.
void allowHoles(FileHandle file) {
  DWORD returned = 0;
  ::DeviceIoControl(fromHandle(file), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
}

// Windows has no call that copies a range between two files; the caller's
// reads and writes do it.
std::uint64_t copyBetweenFiles(FileHandle, std::uint64_t, FileHandle, std::uint64_t,
                               std::uint64_t) {
  return 0;
}

namespace {

Status stampFrom(HANDLE handle, Status::Code code, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return failed(code);
  const auto join = [](DWORD high, DWORD low) { return std::uint64_t{high} << 32 | low; };
  stamp = {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
           join(info.nFileSizeHigh, info.nFileSizeLow),
           static_cast<std::int64_t>(
               join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
  return {};
}

}  // namespace

Status stampOf(FileHandle file, FileStamp& stamp) {
  return stampFrom(fromHandle(file), Status::Code::kUnreadable, stamp);
}

namespace {

Status stampOfName(const std::string& path, FileStamp& stamp) {
  constexpr auto kCode = Status::Code::kUnwritable;
  HANDLE handle = INVALID_HANDLE_VALUE;
  Status status =
      openWith(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, kCode, handle);
  if (!status.ok()) return status;
  status = stampFrom(handle, kCode, stamp);
  ::CloseHandle(handle);
  return status;
}

}  // namespace

Status lookAtName(const std::string& path, NameHolds& holds, FileStamp* stamp) {
  constexpr auto kCode = Status::Code::kUnwritable;
  const std::wstring name = filePath(path);
  holds = NameHolds::kOther;
  if (windows::namesDevice(name)) return {};
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (!isMissing(error)) return failed(kCode, error);
    holds = NameHolds::kNothing;
    return {};
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    const Status status =
        openWith(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, kCode, handle);
    if (!status.ok()) return status;
    const bool link = reparseOf(handle) == Reparse::kLink;
    ::CloseHandle(handle);
    if (link) {
      holds = NameHolds::kLink;
      return {};
    }
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    holds = NameHolds::kFolder;
    return {};
  }
  holds = (attributes & FILE_ATTRIBUTE_READONLY) ? NameHolds::kReadOnlyFile : NameHolds::kFile;
  return stamp == nullptr ? Status() : stampOfName(path, *stamp);
}

namespace {

constexpr DWORD kReplacing = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

}  // namespace

Status replaceFile(const std::string& from, const std::string& to) {
  if (::MoveFileExW(filePath(from).c_str(), filePath(to).c_str(), kReplacing)) return {};
  return failed(Status::Code::kUnwritable);
}

// A file another program holds open may refuse either move: then nothing
// has moved.
Status replaceFileKeeping(const std::string& from, const std::string& to,
                          const std::string& keptAs) {
  const std::wstring target = filePath(to);
  const std::wstring kept = filePath(keptAs);
  const windows::InterruptHeldOff held;
  if (!::MoveFileExW(target.c_str(), kept.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return failed(Status::Code::kUnwritable);
  }
  if (::MoveFileExW(filePath(from).c_str(), target.c_str(), kReplacing)) return {};
  const Status failure = failed(Status::Code::kUnwritable);
  ::MoveFileExW(kept.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  return failure;
}

Status makeFolder(const std::string& path, bool& made) {
  made = ::CreateDirectoryW(filePath(path).c_str(), nullptr) != 0;
  if (made) return {};
  const DWORD error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS ? Status() : failed(Status::Code::kUnwritable, error);
}

std::size_t nameStart(std::string_view path) {
  const std::size_t afterFolder = path.find_last_of("\\/") + 1;
  const bool drive = afterFolder == 0 && path.size() >= 2 && path[1] == ':';
  return drive ? 2 : afterFolder;
}

Status removeFolder(const std::string& path) {
  if (::RemoveDirectoryW(filePath(path).c_str())) return {};
  return failed(Status::Code::kUnwritable);
}

Status removeFile(const std::string& path) {
  if (::DeleteFileW(filePath(path).c_str())) return {};
  return failed(Status::Code::kUnwritable);
}

namespace {

// createNewFile(); the error of the failed open, or 0.
DWORD createNew(const std::string& path, OpenedFile& file) {
  // Held off from before the file exists, so that no Ctrl-C falls between
  // its creation and its name handed to the cleanup.
  const windows::InterruptHeldOff held;
  const std::wstring name = filePath(path);
  if (windows::namesDevice(name)) return ERROR_ACCESS_DENIED;
  const HANDLE handle =
      ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
  removeIfInterrupted(path);
  file = {toHandle(handle), true, 0};
  return ERROR_SUCCESS;
}

}  // namespace

Status createNewFile(const std::string& path, OpenedFile& file) {
  const DWORD error = createNew(path, file);
  return error == ERROR_SUCCESS ? Status() : failed(Status::Code::kUnwritable, error);
}

Status createUniqueFile(const std::string& besidePath, std::string_view nameStart,
                        std::string& createdPath, OpenedFile& file) {
  const std::string folder = windows::folderOf(besidePath);
  DWORD error = ERROR_SUCCESS;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + temporaryName(nameStart, ::GetCurrentProcessId(), attempt);
    error = createNew(path, file);
    if (error == ERROR_SUCCESS) {
      createdPath = path;
      return {};
    }
    if (error != ERROR_FILE_EXISTS) break;
  }
  return failed(Status::Code::kUnwritable, error);
}

}  // namespace platform
