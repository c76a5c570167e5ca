// How the dropped path is taken apart, and the names built from it.
//
// Only the backslash separates directories, on every system: a forward slash
// is an ordinary byte of the name, so "mods/units.spr" has no directory.
#pragma once

#include <string>
#include <string_view>

namespace formats {

struct DroppedPath {
  std::string directoryPrefix;  // up to and including the last backslash
  std::string name;             // what follows the last backslash
};

DroppedPath splitDroppedPath(std::string_view argument);

}  // namespace formats
