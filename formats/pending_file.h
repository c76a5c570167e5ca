// A new file put in place whole, or not at all.
#pragma once

#include <string>
#include <string_view>

#include "formats/file.h"

namespace formats {

// A new file that appears under its name whole or not at all: it is written
// under a temporary name beside it and put in place by commit(); a file
// never committed is removed, and whatever stood under the name stays.
class PendingFile {
 public:
  // The file is written under a temporary name that starts with
  // `temporaryNameStart`, in the folder of `finalPath`.
  PendingFile(std::string finalPath, std::string_view temporaryNameStart);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  bool isOpen() const { return file_.isOpen(); }
  File& file() { return file_; }

  // Closes the file and puts it in place; false (and the file removed) when
  // that fails.
  bool commit();

 private:
  void discard();

  std::string finalPath_;
  std::string temporaryPath_;
  File file_;
};

}  // namespace formats
