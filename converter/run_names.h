// The names a converter run builds every file name from, taken from the
// dropped path.
#pragma once

#include <string>
#include <string_view>

namespace converter {

struct RunNames {
  std::string directoryPrefix;  // up to and including the last backslash
  std::string name;             // as dropped; shown in the report
  std::string baseName;         // the name less its last four characters
};

RunNames runNames(std::string_view argument);

}  // namespace converter
