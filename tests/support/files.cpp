#include "support/files.h"

#include "support/windows.h"

namespace testing_support {

namespace {

// Under Wine, a folder on drive C: the programs can reach.
std::filesystem::path scratchRoot() {
  if (!windowsProgramsDir()) return std::filesystem::temp_directory_path();
  std::filesystem::create_directories(wineScratchRoot());
  return wineScratchRoot();
}

}  // namespace

TempDir::TempDir() : ScratchFolder(scratchRoot(), "spritetest") {}

std::map<std::string, std::string> listFiles(const std::filesystem::path& directory,
                                             std::uintmax_t maxBytes) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().lexically_relative(directory).string();
    files[name] = entry.file_size() > maxBytes ? "<" + std::to_string(entry.file_size()) + " bytes>"
                                               : readFile(entry.path().string());
  }
  return files;
}

}  // namespace testing_support
