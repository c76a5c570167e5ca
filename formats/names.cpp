#include "formats/names.h"

#include <vector>

#include "util/utf8.h"

namespace formats {

DroppedPath splitDroppedPath(std::string_view argument) {
  const std::size_t lastSeparator = argument.rfind('\\');
  if (lastSeparator == std::string_view::npos) return {"", std::string(argument)};
  return {std::string(argument.substr(0, lastSeparator + 1)),
          std::string(argument.substr(lastSeparator + 1))};
}

std::size_t lastCharactersStart(std::string_view name, std::size_t count) {
  if (count == 0) return name.size();
  // Sequences are told apart from the front only; the starts of the last
  // `count` of them are kept in a ring as the walk goes.
  std::vector<std::size_t> starts(count);
  std::size_t seen = 0;
  for (std::size_t at = 0; at < name.size(); at += utf8::firstCharacter(name.substr(at)).length) {
    starts[seen++ % count] = at;
  }
  return seen < count ? 0 : starts[seen % count];
}

}  // namespace formats
