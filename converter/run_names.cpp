#include "converter/run_names.h"

#include <utility>

#include "formats/names.h"

namespace converter {

RunNames runNames(std::string_view argument) {
  formats::DroppedPath path = formats::splitDroppedPath(argument);
  std::string baseName = path.name.substr(0, formats::lastCharactersStart(path.name, 4));
  return {std::move(path.directoryPrefix), std::move(path.name), std::move(baseName)};
}

std::string imagePath(const RunNames& names, std::uint32_t section, std::uint32_t image) {
  return formats::imageFileName(names.directoryPrefix, names.baseName, section, image);
}

std::string imageName(const RunNames& names, std::uint32_t section, std::uint32_t image) {
  return formats::imageFileName("", names.baseName, section, image);
}

}  // namespace converter
