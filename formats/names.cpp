#include "formats/names.h"

#include <vector>

namespace formats {

DroppedPath splitDroppedPath(std::string_view argument) {
  const std::size_t lastSeparator = argument.rfind('\\');
  if (lastSeparator == std::string_view::npos) return {"", std::string(argument)};
  return {std::string(argument.substr(0, lastSeparator + 1)),
          std::string(argument.substr(lastSeparator + 1))};
}

Utf8Character firstCharacter(std::string_view text) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;  // no overlong forms; ED A0 to ED BF, surrogates, stay
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  }
  constexpr Utf8Character kNone = {kReplacementCharacter, 1};
  if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return kNone;
  std::uint32_t codePoint = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return kNone;
    codePoint = codePoint << 6 | (byte(k) & 0x3Fu);
  }
  return {codePoint, length};
}

std::size_t lastCharactersStart(std::string_view name, std::size_t count) {
  if (count == 0) return name.size();
  // Sequences are told apart from the front only; the starts of the last
  // `count` of them are kept in a ring as the walk goes.
  std::vector<std::size_t> starts(count);
  std::size_t seen = 0;
  for (std::size_t at = 0; at < name.size(); at += firstCharacter(name.substr(at)).length) {
    starts[seen++ % count] = at;
  }
  return seen < count ? 0 : starts[seen % count];
}

std::string imageFileName(std::string_view directoryPrefix, std::string_view baseName,
                          std::uint32_t section, std::uint32_t image) {
  return std::string(directoryPrefix) + std::string(baseName) + "-" + std::to_string(section) +
         "-" + std::to_string(image) + ".dds";
}

}  // namespace formats
