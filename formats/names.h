// How the dropped path is taken apart.
//
// Only the backslash separates directories, on every system: a forward slash
// is an ordinary byte of the name, so "mods/units.spr" has no directory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace formats {

struct DroppedPath {
  std::string directoryPrefix;  // up to and including the last backslash
  std::string name;             // what follows the last backslash
};

DroppedPath splitDroppedPath(std::string_view argument);

// Where the last `count` characters of `name` begin, as a byte position (0
// when it has fewer), characters told apart as UTF-8: names that are not
// UTF-8 are cut byte by byte.
std::size_t lastCharactersStart(std::string_view name, std::size_t count);

}  // namespace formats
