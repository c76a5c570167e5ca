#include "support/windows.h"

namespace testing_support {
namespace {

#ifdef SPRITE_TOOLS_WINE_PREFIX
constexpr const char* kWinePrefix = SPRITE_TOOLS_WINE_PREFIX;
#else
constexpr const char* kWinePrefix = "";
#endif

std::filesystem::path driveC() {
  return std::filesystem::path(kWinePrefix) / "drive_c";
}

}  // namespace

std::optional<std::string> windowsProgramsDir() {
#ifdef SPRITE_TOOLS_WINDOWS_DIR
  return std::string(SPRITE_TOOLS_WINDOWS_DIR);
#else
  return std::nullopt;
#endif
}

// Wine turns arguments and file names into Windows text by the locale, so
// the locale must be UTF-8 whatever the machine's is.
std::vector<std::string> wineEnvironment() {
  return {std::string("WINEPREFIX=") + kWinePrefix, "WINEDEBUG=-all", "LANG=C.UTF-8",
          "LC_ALL=C.UTF-8"};
}

std::filesystem::path wineScratchRoot() {
  return driveC() / "Zo\xC3\xAB tests";
}

std::string windowsPath(const std::filesystem::path& path) {
  std::string name = "C:\\" + path.lexically_relative(driveC()).string();
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

}  // namespace testing_support
