// The Windows programs under test, when a build of the tests is made to run
// them under Wine (WINDOWS_PROGRAMS_DIR): the directory of the .exe files, and
// the Wine prefix whose drive C: the tests work on.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The directory of the .exe files, when the tests run them under Wine.
std::optional<std::string> windowsProgramsDir();

// The environment a program under Wine needs, as NAME=value entries.
std::vector<std::string> wineEnvironment();

// Where scratch directories go under Wine: a folder on drive C: whose name
// has a space and a letter outside ASCII, as users' folders do.
std::filesystem::path wineScratchRoot();

// The Windows name (C:\...) of a path below drive C: of the Wine prefix.
std::string windowsPath(const std::filesystem::path& path);

}  // namespace testing_support
