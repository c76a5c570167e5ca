#include "converter/startup.h"

#include "converter/extraction.h"
#include "converter/rebuild.h"
#include "converter/run_names.h"
#include "formats/names.h"

namespace converter {
namespace {

// The 128-byte headers, two hexadecimal digits a byte in file order. They
// differ only in the pixel format block at offsets 80 to 107.
constexpr std::string_view kDxtTemplateText =
    "444453207C0000000710080000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000020000000"
    "04000000445854000000000000000000"
    "00000000000000000000000000100000"
    "00000000000000000000000000000000";

constexpr std::string_view kRgb565TemplateText =
    "444453207C0000000710080000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000020000000"
    "40000000000000001000000000F80000"
    "E00700001F0000000000000000100000"
    "00000000000000000000000000000000";

constexpr std::string_view kArgb8888TemplateText =
    "444453207C0000000710080000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000020000000"
    "4100000000000000200000000000FF00"
    "00FF0000FF000000000000FF00100000"
    "00000000000000000000000000000000";

static_assert(kDxtTemplateText.size() == 256 && kRgb565TemplateText.size() == 256 &&
              kArgb8888TemplateText.size() == 256);

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The last three characters with A to Z made lower case and nothing else.
std::string nameEnding(std::string_view name) {
  std::string ending(name.substr(formats::lastCharactersStart(name, 3)));
  for (char& c : ending) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ending;
}

}  // namespace

std::string decodeHexText(std::string_view text) {
  std::string bytes;
  for (std::size_t at = 0; at < text.size(); at += 2) {
    int value = 0;
    for (char c : text.substr(at, 2)) {
      const int digit = hexDigitValue(c);
      if (digit < 0) break;
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<char>(value));
  }
  return bytes;
}

formats::dds::HeaderTemplates decodeTemplates() {
  return {decodeHexText(kDxtTemplateText), decodeHexText(kRgb565TemplateText),
          decodeHexText(kArgb8888TemplateText)};
}

int runConverter(report::Report& report, std::string_view argument) {
  const formats::dds::HeaderTemplates templates = decodeTemplates();
  const std::string program(kProgramName);
  const std::string archive(kArchiveEnding);
  if (argument.empty()) {
    return report::finishRun(report, program,
                             report::Ending::wrongArgumentTold("Layer 8 Error: Drag a " + archive +
                                                               " file onto " + program + ".exe"));
  }
  const RunNames names = runNames(argument);
  const std::string ending = nameEnding(names.name);
  if (ending == kArchiveEnding.substr(1)) return runExtraction(report, names, templates);
  if (ending == kIndexEnding.substr(1)) return runRebuild(report, names);
  return report::finishRun(report, program,
                           report::Ending::wrongArgumentTold(
                               "Layer 8 Error: Wrong filetype. " + program + " only accepts " +
                               archive + " or " + std::string(kIndexEnding) + " files."));
}

}  // namespace converter
