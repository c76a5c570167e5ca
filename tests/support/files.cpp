#include "support/files.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/windows.h"

namespace testing_support {

TempDir::TempDir() {
  std::filesystem::path root = std::filesystem::temp_directory_path();
  if (windowsProgramsDir()) {
    root = wineScratchRoot();
    std::filesystem::create_directories(root);
  }
  std::string pattern = (root / "spritetest-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
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

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testing_support
