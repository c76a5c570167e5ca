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

namespace platform {

using windows::filePath;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileHandle toHandle(HANDLE handle) {
  return reinterpret_cast<FileHandle>(handle);
}
HANDLE fromHandle(FileHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Devices (CON, NUL, COM1, pipes) are no files to walk: only disk files count.
HANDLE keepIfDiskFile(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return handle;
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

// A name in the device namespace is refused before it is opened, as
// opening a serial port raises its control lines (resetting a board on it)
// and opening a tape rewinds it; what was opened is checked again.
HANDLE openWith(const std::string& path, DWORD access, DWORD disposition,
                DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  const std::wstring name = filePath(path);
  if (windows::namesDevice(name)) return INVALID_HANDLE_VALUE;
  return keepIfDiskFile(
      ::CreateFileW(name.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr));
}

enum class Found { kFile, kLink, kOtherReparsePoint, kNothing };

// A symbolic link or a junction is a name that stands for another. Other
// reparse points (files kept in the cloud, deduplicated files) are files in
// their own right.
Found whatIsOpen(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info) ||
      !(info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return Found::kFile;
  }
  return IsReparseTagNameSurrogate(info.ReparseTag) ? Found::kLink : Found::kOtherReparsePoint;
}

// Opens the name itself, not what a link there leads to; a link is closed
// again at once and only reported in `found`.
HANDLE openNotThroughLink(const std::string& path, DWORD access, DWORD disposition, Found& found) {
  const HANDLE handle =
      openWith(path, access, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) {
    found = Found::kNothing;
    return handle;
  }
  found = whatIsOpen(handle);
  if (found == Found::kFile) return handle;
  if (found == Found::kLink) {
    ::CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  // Opened again as usual, so that it behaves as the file it is: from the
  // handle, not the name, which could meanwhile be another file's. One that
  // cannot be (a cloud file that refuses writes) is as any file that cannot
  // be opened so.
  const HANDLE reopened = ::ReOpenFile(handle, access, kShareAll, 0);
  ::CloseHandle(handle);
  found = reopened == INVALID_HANDLE_VALUE ? Found::kNothing : Found::kFile;
  return reopened;
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

constexpr std::size_t kLargestIo = 1u << 30;

OpenedFile opened(HANDLE handle, bool writable) {
  if (handle == INVALID_HANDLE_VALUE) return {};
  return {toHandle(handle), writable, fileSize(toHandle(handle))};
}

}  // namespace

// Read and write, created when missing, else read only; never through a link.
OpenedFile openOutputFile(const std::string& path) {
  Found found = Found::kNothing;
  HANDLE handle = openNotThroughLink(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, found);
  if (found == Found::kFile) return opened(handle, true);
  if (found == Found::kLink) return {};
  return opened(openNotThroughLink(path, GENERIC_READ, OPEN_EXISTING, found), false);
}

// For reading; through a link; a disk file or nothing.
OpenedFile openInputFile(const std::string& path) {
  return opened(openWith(path, GENERIC_READ, OPEN_EXISTING), false);
}

// A read with an offset at or past the end fails with ERROR_HANDLE_EOF: that
// is the end; any other failure is an error.
std::optional<std::size_t> readAt(FileHandle file, std::uint64_t offset, char* buffer,
                                  std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position = at(offset + done);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kLargestIo));
    if (!::ReadFile(fromHandle(file), buffer + done, want, &got, &position)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool writeAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position = at(offset + done);
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kLargestIo));
    if (!::WriteFile(fromHandle(file), data + done, want, &put, &position) || put == 0) {
      return false;
    }
    done += put;
  }
  return true;
}

std::optional<std::uint64_t> fileSize(FileHandle file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(fromHandle(file), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool closeFile(FileHandle file) {
  return ::CloseHandle(fromHandle(file)) != 0;
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

NameHolds lookAtName(const std::string& path) {
  const std::wstring name = filePath(path);
  if (windows::namesDevice(name)) return NameHolds::kOther;
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameHolds::kNothing
                                                                          : NameHolds::kOther;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameHolds::kOther;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    Found found = Found::kNothing;
    const HANDLE handle = openNotThroughLink(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, found);
    if (handle == INVALID_HANDLE_VALUE) return NameHolds::kOther;
    ::CloseHandle(handle);
  }
  return (attributes & FILE_ATTRIBUTE_READONLY) ? NameHolds::kReadOnlyFile : NameHolds::kFile;
}

namespace {

constexpr DWORD kReplacing = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

}  // namespace

bool replaceFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(filePath(from).c_str(), filePath(to).c_str(), kReplacing) != 0;
}

// A file another program holds open may refuse either move: then nothing
// has moved.
bool replaceFileKeeping(const std::string& from, const std::string& to, const std::string& keptAs) {
  const std::wstring target = filePath(to);
  const std::wstring kept = filePath(keptAs);
  const windows::InterruptHeldOff held;
  if (!::MoveFileExW(target.c_str(), kept.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
  if (::MoveFileExW(filePath(from).c_str(), target.c_str(), kReplacing)) return true;
  ::MoveFileExW(kept.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  return false;
}

FolderMade makeFolder(const std::string& path) {
  if (::CreateDirectoryW(filePath(path).c_str(), nullptr)) return FolderMade::kMade;
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? FolderMade::kTaken : FolderMade::kFailed;
}

std::size_t nameStart(std::string_view path) {
  const std::size_t afterFolder = path.find_last_of("\\/") + 1;
  const bool drive = afterFolder == 0 && path.size() >= 2 && path[1] == ':';
  return drive ? 2 : afterFolder;
}

bool removeFolder(const std::string& path) {
  return ::RemoveDirectoryW(filePath(path).c_str()) != 0;
}

bool removeFile(const std::string& path) {
  return ::DeleteFileW(filePath(path).c_str()) != 0;
}

OpenedFile createNewFile(const std::string& path) {
  // Held off from before the file exists, so that no Ctrl-C falls between
  // its creation and its name handed to the cleanup.
  const windows::InterruptHeldOff held;
  const HANDLE handle = openWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) return {};
  removeIfInterrupted(path);
  return {toHandle(handle), true};
}

OpenedFile createUniqueFile(const std::string& besidePath, std::string_view nameStart,
                            std::string& createdPath) {
  const std::string folder = windows::folderOf(besidePath);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + temporaryName(nameStart, ::GetCurrentProcessId(), attempt);
    const OpenedFile created = createNewFile(path);
    if (created.handle != kNoFile) {
      createdPath = path;
      return created;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return {};
}

}  // namespace platform
