#include "support/files.h"

#include "support/windows.h"

namespace testing_support {

TempDir::TempDir() {
  std::filesystem::path root = std::filesystem::temp_directory_path();
  if (windowsProgramsDir()) {
    root = wineScratchRoot();
    std::filesystem::create_directories(root);
  }
  path_ = harness::makeScratchFolder(root, "spritetest");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

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
