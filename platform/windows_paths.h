// File names as Windows takes them at any length, open to the checks that
// compare them with the forms Windows documents.
#pragma once

#include <string>
#include <string_view>

namespace platform::windows {

// The extended-length form of `path` ("\\?\C:\mods\units.spr"): the full
// path, with forward slashes, "." and ".." resolved as Windows resolves them,
// behind "\\?\", or "\\?\UNC\" for a network path ("\\server\share\...").
// Without it Windows refuses paths longer than 260 characters. A path already
// in that form, or naming a device ("\\.\"), is kept as it is; so is one
// Windows cannot make full.
std::wstring extendedLengthPath(std::wstring_view path);

// UTF-16 as Windows gives it to UTF-8 and back, exactly: a lone surrogate
// (NTFS names may hold one) is carried as its own three-byte sequence
// (WTF-8), where the system's conversion would put U+FFFD and so name
// another file. Bytes that are no such sequence become U+FFFD.
std::string toUtf8(std::wstring_view text);
std::wstring toWide(std::string_view text);

}  // namespace platform::windows
