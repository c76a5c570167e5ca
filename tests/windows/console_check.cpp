// Checks the pause on a real Windows console (or Wine's), by writing input
// events into the console's input buffer and letting the pause read them.
// Prints "N passed, N failed" and exits non-zero on any failure.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/windows_console.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

INPUT_RECORD key(bool down, WORD virtualKey, wchar_t character) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  return record;
}

INPUT_RECORD mouse() {
  INPUT_RECORD record{};
  record.EventType = MOUSE_EVENT;
  record.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
  return record;
}

INPUT_RECORD focus() {
  INPUT_RECORD record{};
  record.EventType = FOCUS_EVENT;
  record.Event.FocusEvent.bSetFocus = TRUE;
  return record;
}

void checkWhatCountsAsAPress() {
  using platform::windows::isKeyPress;
  const struct {
    INPUT_RECORD record;
    bool press;
    const char* what;
  } cases[] = {
      {key(true, 'A', L'a'), true, "a letter"},
      {key(true, VK_RETURN, L'\r'), true, "Enter"},
      {key(true, VK_UP, 0), true, "an arrow key"},
      {key(true, VK_F1, 0), true, "F1"},
      {key(true, VK_ESCAPE, 0x1B), true, "Escape"},
      {key(false, 'A', L'a'), false, "a key release"},
      {key(true, VK_SHIFT, 0), false, "Shift alone"},
      {key(true, VK_CONTROL, 0), false, "Ctrl alone"},
      {key(true, VK_MENU, 0), false, "Alt alone"},
      {key(true, VK_CAPITAL, 0), false, "Caps Lock"},
      {key(true, VK_NUMLOCK, 0), false, "Num Lock"},
      {key(true, VK_LWIN, 0), false, "the Windows key"},
      {key(true, VK_RWIN, 0), false, "the right Windows key"},
      {key(true, VK_APPS, 0), false, "the menu key"},
      {mouse(), false, "a mouse click"},
      {focus(), false, "a focus change"},
  };
  for (const auto& c : cases) check(isKeyPress(c.record) == c.press, c.what);
}

HANDLE consoleInput() {
  HANDLE input =
      ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (input != INVALID_HANDLE_VALUE) return input;
  ::AllocConsole();
  return ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

void type(HANDLE input, const std::vector<INPUT_RECORD>& events) {
  DWORD written = 0;
  ::WriteConsoleInputW(input, events.data(), static_cast<DWORD>(events.size()), &written);
}

std::string describe(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT) return "event type " + std::to_string(record.EventType);
  const auto& k = record.Event.KeyEvent;
  return std::string(k.bKeyDown ? "down" : "up") + " vk " + std::to_string(k.wVirtualKeyCode) +
         " char " + std::to_string(k.uChar.UnicodeChar);
}

// Takes every waiting event and names each, so a failure shows what was left.
std::string eventsLeft(HANDLE input) {
  std::string left;
  DWORD waiting = 0;
  while (::GetNumberOfConsoleInputEvents(input, &waiting) && waiting > 0) {
    INPUT_RECORD record{};
    DWORD got = 0;
    if (!::ReadConsoleInputW(input, &record, 1, &got) || got == 0) break;
    left += " [" + describe(record) + "]";
  }
  return left;
}

void checkThePauseOnAConsole() {
  const HANDLE input = consoleInput();
  check(input != INVALID_HANDLE_VALUE, "a console input to work on");
  if (input == INVALID_HANDLE_VALUE) return;
  ::FlushConsoleInputBuffer(input);

  type(input, {key(true, VK_SHIFT, 0), key(false, 'A', L'a'), mouse(), focus()});
  check(platform::windows::takeKeyPress(input) == platform::windows::ConsoleLook::kNothing,
        "no press among releases, mouse and focus");
  const std::string notTaken = eventsLeft(input);
  check(notTaken.empty(), "events that are no press are taken all the same:" + notTaken);

  // Keys typed ahead: the first ends the pause, the others are discarded.
  type(input, {key(true, VK_CONTROL, 0), key(true, 'B', L'b'), key(false, 'B', L'b'),
               key(true, 'C', L'c'), key(true, 'D', L'd')});
  const DWORD start = ::GetTickCount();
  platform::windows::waitForKeyOn(input);
  check(::GetTickCount() - start < 1000, "a waiting key press ends the pause at once");
  const std::string typedAhead = eventsLeft(input);
  check(typedAhead.empty(), "keys typed ahead end one pause only:" + typedAhead);
  ::CloseHandle(input);
}

}  // namespace

int main() {
  checkWhatCountsAsAPress();
  checkThePauseOnAConsole();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
