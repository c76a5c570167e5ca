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

#include "formats/names.h"
#include "platform/platform.h"
#include "platform/windows_console.h"
#include "platform/windows_paths.h"

namespace platform {
namespace windows {
namespace {

bool isHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf8(std::string& out, std::uint32_t c) {
  const auto byte = [&out](std::uint32_t b) { out.push_back(static_cast<char>(b)); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xC0 | c >> 6), byte(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    byte(0xE0 | c >> 12), byte(0x80 | (c >> 6 & 0x3F)), byte(0x80 | (c & 0x3F));
  } else {
    byte(0xF0 | c >> 18), byte(0x80 | (c >> 12 & 0x3F)), byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    std::uint32_t c = text[k];
    if (isHighSurrogate(c) && k + 1 < text.size() && isLowSurrogate(text[k + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++k] - 0xDC00u);
    }
    appendUtf8(out, c);
  }
  return out;
}

std::wstring toWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto [c, length] = formats::firstCharacter(text.substr(at));
    at += length;
    if (c < 0x10000) {
      out.push_back(static_cast<wchar_t>(c));
    } else {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

}  // namespace windows

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
  return windows::extendedLengthPath(windows::toWide(path));
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

bool closeFile(FileHandle file) {
  return ::CloseHandle(fromHandle(file)) != 0;
}

// NTFS allocates and zeroes a range left unwritten unless the file is
// marked sparse before.
void markSparse(FileHandle file) {
  DWORD returned = 0;
  ::DeviceIoControl(fromHandle(file), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
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

void installInterruptHandler() {
  static const bool installed = ::SetConsoleCtrlHandler(removeTemporaryOnInterrupt, TRUE) != 0;
  (void)installed;
}

}  // namespace

void removeIfInterrupted(const std::string& path) {
  installInterruptHandler();
  ::EnterCriticalSection(cleanupLock());
  gTemporaryPath = path.empty() ? std::wstring() : filePath(path);
  ::LeaveCriticalSection(cleanupLock());
}

namespace {

// The folder of `path`, from its full path: "C:units(new).spr" lies in the
// current folder of drive C, which need not be the current folder.
std::string folderOf(const std::string& path) {
  const std::string full = windows::toUtf8(filePath(path));
  const bool made = full.starts_with("\\\\?\\");  // else Windows could not make it full
  return full.substr(0, full.find_last_of(made ? "\\" : "\\/") + 1);
}

}  // namespace

OpenedFile createUniqueFile(const std::string& besidePath, std::string& createdPath) {
  // Before the file exists, so that no Ctrl-C can come between the two.
  installInterruptHandler();
  const std::string folder = folderOf(besidePath);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + temporaryName(::GetCurrentProcessId(), attempt);
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
  std::string first = count > 1 ? windows::toUtf8(arguments[1]) : std::string();
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

ConsoleLook takeKeyPress(HANDLE input) {
  DWORD waiting = 0;
  if (!::GetNumberOfConsoleInputEvents(input, &waiting)) return ConsoleLook::kGone;
  INPUT_RECORD records[64];
  bool pressed = false;
  while (waiting > 0) {
    DWORD got = 0;
    const DWORD want = std::min<DWORD>(waiting, 64);
    if (!::ReadConsoleInputW(input, records, want, &got)) return ConsoleLook::kGone;
    if (got == 0) break;
    for (DWORD k = 0; k < got; ++k) pressed = pressed || isKeyPress(records[k]);
    waiting -= got;
  }
  return pressed ? ConsoleLook::kKeyPress : ConsoleLook::kNothing;
}

// Waiting on the handle, rather than asking how many events there are, is
// what every console signals, Wine's terminal console included.
void waitForKeyOn(HANDLE input) {
  for (;;) {
    const DWORD woken = ::WaitForSingleObject(input, kLookIntervalMs);
    if (woken == WAIT_FAILED) return;  // no console left to wait on
    if (woken != WAIT_OBJECT_0) continue;
    const ConsoleLook look = takeKeyPress(input);
    if (look == ConsoleLook::kGone) return;
    if (look == ConsoleLook::kKeyPress) break;
    // A handle that stays signalled with nothing to read would otherwise
    // be looked at again at once, without end.
    ::Sleep(kLookIntervalMs);
  }
  ::FlushConsoleInputBuffer(input);  // what else was typed ends no other pause
}

}  // namespace windows

namespace {

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// Older consoles refuse a large WriteConsole (Windows 7: about 64 KiB in all).
constexpr std::size_t kLargestConsoleWrite = 4096;  // UTF-16 units: 8 KiB

void writeToConsole(HANDLE output, std::wstring_view text) {
  while (!text.empty()) {
    std::size_t piece = std::min(text.size(), kLargestConsoleWrite);
    // A surrogate pair stays in one piece.
    if (piece < text.size() && windows::isHighSurrogate(text[piece - 1])) --piece;
    DWORD written = 0;
    if (!::WriteConsoleW(output, text.data(), static_cast<DWORD>(piece), &written, nullptr) ||
        written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

class WindowsConsole final : public Console {
 public:
  // A handle the process was started without (a missing standard handle)
  // takes no text and gives no key.
  WindowsConsole()
      : output_(::GetStdHandle(STD_OUTPUT_HANDLE)),
        input_(::GetStdHandle(STD_INPUT_HANDLE)),
        outputIsConsole_(isConsole(output_)),
        // A console without a window (a launcher's CREATE_NO_WINDOW) shows
        // nothing, and nobody could answer its pause.
        canPause_(outputIsConsole_ && isConsole(input_) && ::GetConsoleWindow() != nullptr) {}

  // To a console the text goes as UTF-16, so that names show in any code
  // page; anywhere else as the bytes themselves, each line ending in CR LF.
  void write(std::string_view bytes) override {
    if (outputIsConsole_) {
      writeToConsole(output_, windows::toWide(bytes));
      return;
    }
    if (output_ == nullptr || output_ == INVALID_HANDLE_VALUE) return;
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD want = static_cast<DWORD>(std::min(bytes.size(), kLargestIo));
      if (!::WriteFile(output_, bytes.data(), want, &written, nullptr) || written == 0) return;
      bytes.remove_prefix(written);
    }
  }

  bool isInteractive() const override { return outputIsConsole_; }

  // Without a console on both sides (input from a file, a pipe or NUL; the
  // report in a file) nobody can see the pause and answer it.
  void waitForKey() override {
    if (canPause_) windows::waitForKeyOn(input_);
  }

 private:
  HANDLE output_;
  HANDLE input_;
  bool outputIsConsole_;
  bool canPause_;
};

}  // namespace

Console& systemConsole() {
  static WindowsConsole console;
  return console;
}

}  // namespace platform
