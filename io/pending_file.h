// A new file put in place whole, or not at all.
#pragma once

#include <string>
#include <string_view>

#include "io/file.h"
#include "util/status.h"

namespace io {

// A new file that appears under its name whole or not at all, and is
// removed if never committed (or if the process is interrupted first).
// Where a file may stand under the name it is written under a temporary
// name beside it and put in place by commit(), and until then whatever
// stood there stays as it was; where nothing does, it is made under its own
// name, which no other file then has, and commit() only closes it. Its
// failures name it `shownName`, whatever name it is written under.
class PendingFile {
 public:
  enum class Where { kBeside, kInPlace };

  // A temporary name starts with `temporaryNameStart`, in the folder of
  // `finalPath`.
  PendingFile(std::string finalPath, std::string_view shownName,
              std::string_view temporaryNameStart, Where where = Where::kBeside);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  // Makes the file; in place, it fails when anything has its name.
  util::Status create();
  File& file() { return file_; }

  // Closes the file and puts it in place, moving what stood under its name
  // to `keepOlderAs` first when that is given (replaceFileKeeping). A
  // failure removes the file and leaves everything else where it was; so
  // does a read-only file or a folder under the name, which stays.
  //
  // With `olderMustBe`, a file under the name is replaced only while it is
  // still that one, looked at right before the replace; when it is not,
  // nothing moves, `olderChanged` is set, and the caller may commit again,
  // keeping it.
  util::Status commit(const std::string& keepOlderAs = "",
                      const platform::FileStamp* olderMustBe = nullptr,
                      bool* olderChanged = nullptr);

 private:
  util::Status putInPlace(const std::string& keepOlderAs, const platform::FileStamp* olderMustBe,
                          bool* olderChanged) const;
  void discard();

  std::string finalPath_;
  std::string shownName_;
  std::string temporaryNameStart_;
  std::string writtenPath_;  // empty once committed or removed
  bool inPlace_;
  File file_;
};

}  // namespace io
