#include "converter/run_names.h"

#include <utility>

#include "formats/names.h"

namespace converter {

RunNames runNames(std::string_view argument) {
  formats::DroppedPath path = formats::splitDroppedPath(argument);
  std::string baseName = path.name.substr(0, formats::lastCharactersStart(path.name, 4));
  return {std::move(path.directoryPrefix), std::move(path.name), std::move(baseName)};
}

}  // namespace converter
