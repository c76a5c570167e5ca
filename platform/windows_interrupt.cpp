#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/windows_interrupt.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/windows_paths.h"

namespace platform {
namespace {

// The handler runs on a thread of its own, hence the lock.
CRITICAL_SECTION* cleanupLock() {
  static CRITICAL_SECTION lock;
  static const bool made = (::InitializeCriticalSection(&lock), true);
  (void)made;
  return &lock;
}
std::vector<std::wstring> gTemporaryPaths;

BOOL WINAPI removeTemporaryOnInterrupt(DWORD) {
  ::EnterCriticalSection(cleanupLock());
  for (const std::wstring& path : gTemporaryPaths) ::DeleteFileW(path.c_str());
  ::LeaveCriticalSection(cleanupLock());
  return FALSE;  // and end the process as usual
}

void installInterruptHandler() {
  static const bool installed = ::SetConsoleCtrlHandler(removeTemporaryOnInterrupt, TRUE) != 0;
  (void)installed;
}

}  // namespace

namespace windows {

InterruptHeldOff::InterruptHeldOff() {
  installInterruptHandler();
  ::EnterCriticalSection(cleanupLock());
}

InterruptHeldOff::~InterruptHeldOff() {
  ::LeaveCriticalSection(cleanupLock());
}

}  // namespace windows

void removeIfInterrupted(const std::string& path) {
  const std::wstring name = windows::filePath(path);
  const windows::InterruptHeldOff held;
  gTemporaryPaths.push_back(name);
}

void noLongerRemoveIfInterrupted(const std::string& path) {
  const std::wstring name = windows::filePath(path);
  const windows::InterruptHeldOff held;
  std::erase(gTemporaryPaths, name);
}

}  // namespace platform
