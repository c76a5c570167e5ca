// The set-up of the process on Windows, and its command line.
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

// Nothing needs setting up: a closed standard handle stays closed (no file
// takes its place), and Windows has no signal for a broken pipe.
void prepareProcess() {}

namespace {

std::string fromCodePage(const char* text) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return windows::toUtf8(wide);
}

}  // namespace

// The command line as Windows holds it, in UTF-16, so that a dropped path
// keeps every letter whatever the console's code page.
std::string firstArgument(int argc, char** argv) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return argc > 1 ? fromCodePage(argv[1]) : std::string();
  std::string first = count > 1 ? windows::toUtf8(arguments[1]) : std::string();
  ::LocalFree(arguments);
  return first;
}

}  // namespace platform
