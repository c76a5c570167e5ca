// The names a converter run builds every file name from, taken from the
// dropped path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace converter {

struct RunNames {
  std::string directoryPrefix;  // up to and including the last backslash
  std::string name;             // as dropped; shown in the report
  std::string baseName;         // the name less its last four characters
};

RunNames runNames(std::string_view argument);

// The image file of image `image` of section `section`: its path, and its
// name as the report shows it, without the folder.
std::string imagePath(const RunNames& names, std::uint32_t section, std::uint32_t image);
std::string imageName(const RunNames& names, std::uint32_t section, std::uint32_t image);

}  // namespace converter
