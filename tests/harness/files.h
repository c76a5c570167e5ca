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

// A fresh folder named `prefix` and six random characters under `root`;
// throws std::runtime_error when none can be made.
std::filesystem::path makeScratchFolder(const std::filesystem::path& root,
                                        const std::string& prefix);

}  // namespace harness
