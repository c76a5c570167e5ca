#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/windows_paths.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace platform::windows {

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

std::wstring filePath(const std::string& path) {
  return extendedLengthPath(toWide(path));
}

bool namesDevice(std::wstring_view path) {
  if (!path.starts_with(L"\\\\?\\") && !path.starts_with(L"\\\\.\\")) return false;
  const std::wstring_view rest = path.substr(4);
  const auto isLetter = [](wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
  };
  if (rest.size() > 3 && isLetter(rest[0]) && rest.substr(1, 2) == L":\\") return false;
  if (rest.starts_with(L"UNC\\")) return false;
  const std::size_t volumeEnd = rest.find(L"}\\");
  return !(rest.starts_with(L"Volume{") && volumeEnd != std::wstring_view::npos &&
           volumeEnd + 2 < rest.size());
}

std::string folderOf(const std::string& path) {
  const std::string full = toUtf8(filePath(path));
  const bool made = full.starts_with("\\\\?\\");  // else Windows could not make it full
  return full.substr(0, full.find_last_of(made ? "\\" : "\\/") + 1);
}

}  // namespace platform::windows
