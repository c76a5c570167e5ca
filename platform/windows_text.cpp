#include "platform/windows_text.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "util/utf8.h"

namespace platform::windows {

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    std::uint32_t c = text[k];
    if (isHighSurrogate(c) && k + 1 < text.size() && isLowSurrogate(text[k + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++k] - 0xDC00u);
    }
    utf8::append(out, c);
  }
  return out;
}

std::wstring toWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto [c, length] = utf8::firstCharacter(text.substr(at));
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

std::string systemMessage(std::uint32_t error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? toUtf8(std::wstring_view(text, length)) : "";
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message.empty() ? "Windows error " + std::to_string(error) : message;
}

}  // namespace platform::windows
