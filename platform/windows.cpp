// The platform on Windows. Text inside the program is UTF-8; it becomes
// UTF-16 only here, at the calls into Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/windows_console.h"
#include "platform/windows_paths.h"

namespace platform {
namespace {

std::wstring wide(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                        size);
  return converted;
}

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                        size, nullptr, nullptr);
  return converted;
}

}  // namespace

namespace windows {

std::wstring extendedLengthPath(std::wstring_view path) {
  if (path.empty() || path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) {
    return std::wstring(path);
  }
  const std::wstring given(path);
  std::wstring full(::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length =
      ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return given;
  full.resize(length);
  if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;  // CON, NUL...
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace windows

namespace {

// Every name handed to a file call of Windows, in the form it takes at any
// length.
std::wstring filePath(const std::string& path) {
  return windows::extendedLengthPath(wide(path));
}

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

HANDLE openWith(const std::string& path, DWORD access, DWORD disposition,
                DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return keepIfDiskFile(::CreateFileW(filePath(path).c_str(), access, kShareAll, nullptr,
                                      disposition, flags, nullptr));
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
  ::CloseHandle(handle);
  if (found == Found::kLink) return INVALID_HANDLE_VALUE;
  // Opened again as usual, so that it behaves as the file it is.
  found = Found::kFile;
  return openWith(path, access, OPEN_EXISTING);
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

// Read and write by `disposition`, else read only; a disk file or nothing.
OpenedFile openDiskFile(const std::string& path, DWORD disposition) {
  HANDLE handle = openWith(path, GENERIC_READ | GENERIC_WRITE, disposition);
  if (handle != INVALID_HANDLE_VALUE) return opened(handle, true);
  return opened(openWith(path, GENERIC_READ, OPEN_EXISTING), false);
}

// As openDiskFile with OPEN_ALWAYS, but never through a link; `found` tells
// whether a link stood under the name.
OpenedFile openOrCreateNotThroughLink(const std::string& path, Found& found) {
  HANDLE handle = openNotThroughLink(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, found);
  if (found == Found::kFile) return opened(handle, true);
  if (found == Found::kLink) return {};
  return opened(openNotThroughLink(path, GENERIC_READ, OPEN_EXISTING, found), false);
}

}  // namespace

OpenedFile openOutputFile(const std::string& path) {
  Found found = Found::kNothing;
  return openOrCreateNotThroughLink(path, found);
}

OpenedFile openFile(const std::string& path) {
  Found found = Found::kNothing;
  const OpenedFile file = openOrCreateNotThroughLink(path, found);
  // A link is read through when it leads to a file; OPEN_EXISTING creates none.
  if (found == Found::kLink) return openDiskFile(path, OPEN_EXISTING);
  return file;
}

OpenedFile openExisting(const std::string& path) {
  return openDiskFile(path, OPEN_EXISTING);
}

std::size_t readAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position = at(offset + done);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kLargestIo));
    if (!::ReadFile(fromHandle(file), buffer + done, want, &got, &position) || got == 0) break;
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

std::uint64_t fileSize(FileHandle file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(fromHandle(file), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

void closeFile(FileHandle file) {
  ::CloseHandle(fromHandle(file));
}

// Windows has no call that copies a range between two files; the caller's
// reads and writes do it.
std::uint64_t copyWithin(FileHandle, std::uint64_t, FileHandle, std::uint64_t, std::uint64_t) {
  return 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(filePath(from).c_str(), filePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::string& path) {
  return ::DeleteFileW(filePath(path).c_str()) != 0;
}

namespace {

// The file to remove if the console is closed or Ctrl-C pressed. The handler
// runs on a thread of its own, hence the lock.
CRITICAL_SECTION* cleanupLock() {
  static CRITICAL_SECTION lock;
  static const bool made = (::InitializeCriticalSection(&lock), true);
  (void)made;
  return &lock;
}
std::wstring gTemporaryPath;

BOOL WINAPI removeTemporaryOnInterrupt(DWORD) {
  ::EnterCriticalSection(cleanupLock());
  if (!gTemporaryPath.empty()) ::DeleteFileW(gTemporaryPath.c_str());
  ::LeaveCriticalSection(cleanupLock());
  return FALSE;  // and end the process as usual
}

}  // namespace

void removeIfInterrupted(const std::string& path) {
  static const bool installed = ::SetConsoleCtrlHandler(removeTemporaryOnInterrupt, TRUE) != 0;
  (void)installed;
  ::EnterCriticalSection(cleanupLock());
  gTemporaryPath = path.empty() ? std::wstring() : filePath(path);
  ::LeaveCriticalSection(cleanupLock());
}

OpenedFile createUniqueFile(const std::string& stem, std::string& createdPath) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        stem + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
    // The interrupt handler waits for the lock, so it sees the file and its
    // name together or neither.
    ::EnterCriticalSection(cleanupLock());
    const HANDLE handle = openWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    const DWORD error = ::GetLastError();
    if (handle != INVALID_HANDLE_VALUE) removeIfInterrupted(path);
    ::LeaveCriticalSection(cleanupLock());
    if (handle != INVALID_HANDLE_VALUE) {
      createdPath = path;
      return {toHandle(handle), true};
    }
    if (error != ERROR_FILE_EXISTS) break;
  }
  return {};
}

// The command line as Windows holds it, in UTF-16, so that a dropped path
// keeps every letter whatever the console's code page.
std::string firstArgument(int, char**) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return {};
  std::string first = count > 1 ? utf8(arguments[1]) : std::string();
  ::LocalFree(arguments);
  return first;
}

namespace windows {

constexpr DWORD kLookIntervalMs = 50;

// Shift, Ctrl, Alt and the lock keys pressed alone end no pause.
bool isModifierOrLock(WORD key) {
  switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

bool isKeyPress(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT) return false;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  if (!key.bKeyDown) return false;
  return key.uChar.UnicodeChar != 0 || !isModifierOrLock(key.wVirtualKeyCode);
}

bool takeKeyPress(HANDLE input) {
  DWORD waiting = 0;
  if (!::GetNumberOfConsoleInputEvents(input, &waiting) || waiting == 0) return false;
  INPUT_RECORD records[64];
  bool pressed = false;
  while (waiting > 0) {
    DWORD got = 0;
    const DWORD want = std::min<DWORD>(waiting, 64);
    if (!::ReadConsoleInputW(input, records, want, &got) || got == 0) break;
    for (DWORD k = 0; k < got; ++k) pressed = pressed || isKeyPress(records[k]);
    waiting -= got;
  }
  return pressed;
}

void waitForKeyOn(HANDLE input) {
  while (!takeKeyPress(input)) ::Sleep(kLookIntervalMs);
  ::FlushConsoleInputBuffer(input);  // what else was typed ends no other pause
}

}  // namespace windows

namespace {

class WindowsConsole final : public Console {
 public:
  WindowsConsole()
      : output_(::GetStdHandle(STD_OUTPUT_HANDLE)), input_(::GetStdHandle(STD_INPUT_HANDLE)) {
    DWORD mode = 0;
    outputIsConsole_ = ::GetConsoleMode(output_, &mode) != 0;
  }

  // To a console the text goes as UTF-16, so that names show in any code
  // page; anywhere else as the bytes themselves, each line ending in CR LF.
  void write(std::string_view bytes) override {
    if (outputIsConsole_) {
      const std::wstring text = wide(bytes);
      DWORD written = 0;
      ::WriteConsoleW(output_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      return;
    }
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD want = static_cast<DWORD>(std::min(bytes.size(), kLargestIo));
      if (!::WriteFile(output_, bytes.data(), want, &written, nullptr) || written == 0) return;
      bytes.remove_prefix(written);
    }
  }

  bool isInteractive() const override { return outputIsConsole_; }

  // Without a console (input from a file, a pipe or NUL) no key can come.
  void waitForKey() override {
    DWORD mode = 0;
    if (::GetConsoleMode(input_, &mode)) windows::waitForKeyOn(input_);
  }

 private:
  HANDLE output_;
  HANDLE input_;
  bool outputIsConsole_ = false;
};

}  // namespace

Console& systemConsole() {
  static WindowsConsole console;
  return console;
}

}  // namespace platform
