#include "converter/run_names.h"

#include <utility>

#include "formats/names.h"
#include "platform/platform.h"

namespace converter {
namespace {

RunFile runFile(const RunNames& names, std::string name) {
  return {names.directoryPrefix + name, std::move(name)};
}

std::string imageFileName(std::string_view baseName, std::uint32_t section, std::uint32_t image) {
  return std::string(baseName) + "-" + std::to_string(section) + "-" + std::to_string(image) +
         ".dds";
}

}  // namespace

RunNames runNames(std::string_view argument) {
  formats::DroppedPath path = formats::splitDroppedPath(argument);
  std::string baseName = path.name.substr(0, formats::lastCharactersStart(path.name, 4));
  return {std::move(path.directoryPrefix), std::move(path.name), std::move(baseName)};
}

RunFile archiveFile(const RunNames& names) {
  return runFile(names, names.baseName + std::string(kArchiveEnding));
}

RunFile indexFile(const RunNames& names) {
  return runFile(names, names.baseName + std::string(kIndexEnding));
}

RunFile newArchiveFile(const RunNames& names) {
  return runFile(names, names.baseName + "(new)" + std::string(kArchiveEnding));
}

RunFile imageFile(const RunNames& names, std::uint32_t section, std::uint32_t image) {
  return runFile(names, imageFileName(names.baseName, section, image));
}

RunFile keptFolder(const RunNames& names, std::uint32_t n) {
  return runFile(names, names.baseName + "(kept " + std::to_string(n) + ")");
}

std::string keptPicturePath(std::string_view folderPath, const RunNames& names,
                            std::uint32_t section, std::uint32_t image) {
  // The base name may still hold a folder the system sees (a forward slash,
  // or a drive on Windows), which the kept folder already stands in.
  const std::string_view base =
      std::string_view(names.baseName).substr(platform::nameStart(names.baseName));
  return std::string(folderPath) + "/" + imageFileName(base, section, image);
}

}  // namespace converter
