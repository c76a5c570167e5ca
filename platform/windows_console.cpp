// The console on Windows: the report written to it, and the pause that waits
// on its input for a key.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/windows_console.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/windows_text.h"

namespace platform {

namespace windows {

constexpr DWORD kLookIntervalMs = 50;

// Shift, Ctrl, Alt, the lock keys, the Windows keys and the menu key pressed
// alone end no pause: the Windows key opens the Start menu, and Win+Shift+S
// takes a picture of the report.
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
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
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

constexpr std::size_t kLargestFileWrite = 1u << 30;

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
      const DWORD want = static_cast<DWORD>(std::min(bytes.size(), kLargestFileWrite));
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
