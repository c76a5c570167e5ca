#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/windows_interrupt.h"

#include <windows.h>

#include <string>

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
  const windows::InterruptHeldOff held;
  gTemporaryPath = path.empty() ? std::wstring() : windows::filePath(path);
}

}  // namespace platform
