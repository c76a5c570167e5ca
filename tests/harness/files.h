// Whole files and scratch folders.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace harness {

// The file's bytes; none when it cannot be read.
std::string readFile(const std::string& path);
// Makes or empties the file and writes `bytes` to it.
void writeFile(const std::string& path, std::string_view bytes);

// A fresh folder named `prefix` and six random characters under `root`,
// removed with everything in it when the object goes; std::runtime_error
// when none can be made.
class ScratchFolder {
 public:
  ScratchFolder(const std::filesystem::path& root, const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace harness
