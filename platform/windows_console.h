// The pause on a Windows console, open to the checks that drive it with
// input events of their own.
#pragma once

#include <windows.h>

namespace platform::windows {

// A key-down event that yields a character, or of any key but Shift, Ctrl,
// Alt, the lock keys, the Windows keys and the menu key alone. Key releases,
// mouse and focus events are not.
bool isKeyPress(const INPUT_RECORD& record);

// Takes every event waiting on the console input: whether one of them was a
// key press, or the console can no longer be read.
enum class ConsoleLook { kNothing, kKeyPress, kGone };
ConsoleLook takeKeyPress(HANDLE input);

// Looks at the console input every 50 ms until a key press has come, then
// discards what else is waiting, so that keys typed ahead end one pause only.
// A console that can no longer be read ends the wait.
void waitForKeyOn(HANDLE input);

}  // namespace platform::windows
