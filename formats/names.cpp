#include "formats/names.h"

namespace formats {

DroppedPath splitDroppedPath(std::string_view argument) {
  const std::size_t lastSeparator = argument.rfind('\\');
  if (lastSeparator == std::string_view::npos) return {"", std::string(argument)};
  return {std::string(argument.substr(0, lastSeparator + 1)),
          std::string(argument.substr(lastSeparator + 1))};
}

std::string imageFileName(std::string_view directoryPrefix, std::string_view baseName,
                          std::uint32_t section, std::uint32_t image) {
  return std::string(directoryPrefix) + std::string(baseName) + "-" + std::to_string(section) +
         "-" + std::to_string(image) + ".dds";
}

}  // namespace formats
