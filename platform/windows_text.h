// Text between Windows and the rest of the program: UTF-16 at the calls into
// Windows, UTF-8 everywhere else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::windows {

inline bool isHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool isLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16 as Windows gives it to UTF-8 and back, exactly: a lone surrogate
// (NTFS names may hold one) is carried as its own three-byte sequence
// (WTF-8), where the system's conversion would put U+FFFD and so name
// another file. Bytes that are no such sequence become U+FFFD.
std::string toUtf8(std::wstring_view text);
std::wstring toWide(std::string_view text);

// The system's own words, in its language, for the error code `error`
// (GetLastError()), without the line end Windows puts after them.
std::string systemMessage(std::uint32_t error);

}  // namespace platform::windows
