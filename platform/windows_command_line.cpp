// The command line on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>

#include "platform/platform.h"
#include "platform/windows_text.h"

namespace platform {

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

}  // namespace platform
