#include "formats/names.h"

namespace formats {

DroppedPath splitDroppedPath(std::string_view argument) {
  const std::size_t lastSeparator = argument.rfind('\\');
  if (lastSeparator == std::string_view::npos) return {"", std::string(argument)};
  return {std::string(argument.substr(0, lastSeparator + 1)),
          std::string(argument.substr(lastSeparator + 1))};
}

}  // namespace formats
