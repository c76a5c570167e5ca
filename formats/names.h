// How the dropped path is taken apart, and the names built from it.
//
// Only the backslash separates directories, on every system: a forward slash
// is an ordinary byte of the name, so "mods/units.spr" has no directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace formats {

struct DroppedPath {
  std::string directoryPrefix;  // up to and including the last backslash
  std::string name;             // what follows the last backslash
};

DroppedPath splitDroppedPath(std::string_view argument);

// One character of a name in UTF-8: a well-formed sequence (RFC 3629), or
// the three bytes of a lone surrogate, which Windows names may hold (as the
// names of NTFS carried to UTF-8 as WTF-8). A byte that begins neither (C0,
// C1, F5 to FF, a continuation byte, an overlong or cut sequence) is a
// character of its own, whose code point is U+FFFD. `text` is not empty.
inline constexpr std::uint32_t kReplacementCharacter = 0xFFFD;
struct Utf8Character {
  std::uint32_t codePoint;
  std::size_t length;  // in bytes
};
Utf8Character firstCharacter(std::string_view text);

// Where the last `count` characters of `name` begin, as a byte position (0
// when it has fewer), characters as firstCharacter() tells them apart: names
// that are not UTF-8 are cut byte by byte.
std::size_t lastCharactersStart(std::string_view name, std::size_t count);

// The image file of image `image` of section `section`:
// prefix + base name + "-" + section + "-" + image + ".dds".
std::string imageFileName(std::string_view directoryPrefix, std::string_view baseName,
                          std::uint32_t section, std::uint32_t image);

}  // namespace formats
