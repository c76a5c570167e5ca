// Scratch directories for tests, and the files in them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "harness/files.h"

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir : public harness::ScratchFolder {
 public:
  TempDir();
};

// Every regular file below `directory`, by its path relative to it, with its
// bytes; files over `maxBytes` are listed by size alone ("<N bytes>").
std::map<std::string, std::string> listFiles(const std::filesystem::path& directory,
                                             std::uintmax_t maxBytes = 1 << 20);

using harness::readFile;
using harness::writeFile;

}  // namespace testing_support
