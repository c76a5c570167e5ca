// UTF-8, both ways, in one place: names arrive and leave as UTF-8 on every
// system, and Windows carries them to UTF-16 and back through here.
//
// A lone surrogate (U+D800 to U+DFFF, which an NTFS name may hold) is one
// character of its own three bytes in both directions (as WTF-8 writes it),
// so that a name taken apart and put together again names the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace utf8 {

inline constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

struct Character {
  std::uint32_t codePoint;
  std::size_t length;  // in bytes
};

// The first character of `text`, which is not empty: a well-formed sequence
// (RFC 3629) or a lone surrogate's three bytes. A byte that begins neither
// (C0, C1, F5 to FF, a continuation byte, an overlong or cut sequence) is a
// character of its own, whose code point is U+FFFD.
Character firstCharacter(std::string_view text);

// Appends the one to four bytes of `codePoint` (at most U+10FFFF).
void append(std::string& out, std::uint32_t codePoint);

}  // namespace utf8
