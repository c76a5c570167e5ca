#include "io/pending_file.h"

#include <utility>

#include "platform/platform.h"

namespace io {

PendingFile::PendingFile(std::string finalPath, std::string_view temporaryNameStart, Where where)
    : finalPath_(std::move(finalPath)), inPlace_(where == Where::kInPlace) {
  if (inPlace_) {
    file_ = File::adopt(platform::createNewFile(finalPath_));
    if (file_.isOpen()) writtenPath_ = finalPath_;
  } else {
    file_ = File::adopt(platform::createUniqueFile(finalPath_, temporaryNameStart, writtenPath_));
  }
}

PendingFile::~PendingFile() {
  discard();
}

bool PendingFile::commit(const std::string& keepOlderAs) {
  if (!file_.isOpen()) return false;
  // Made in place and written whole, only a write lost on closing can spoil
  // the file now.
  if (inPlace_) platform::noLongerRemoveIfInterrupted(writtenPath_);
  if (!file_.close() || (!inPlace_ && !putInPlace(keepOlderAs))) {
    discard();
    return false;
  }
  if (!inPlace_) platform::noLongerRemoveIfInterrupted(writtenPath_);
  writtenPath_.clear();
  return true;
}

// A file its owner made read-only was meant to stay: Windows refuses to
// replace one, and not every system does (rename() replaces it, and so does
// Wine's MoveFileEx).
bool PendingFile::putInPlace(const std::string& keepOlderAs) const {
  if (platform::lookAtName(finalPath_) == platform::NameHolds::kReadOnlyFile) return false;
  return keepOlderAs.empty() ? platform::replaceFile(writtenPath_, finalPath_)
                             : platform::replaceFileKeeping(writtenPath_, finalPath_, keepOlderAs);
}

void PendingFile::discard() {
  file_.close();
  if (writtenPath_.empty()) return;
  platform::removeFile(writtenPath_);
  platform::noLongerRemoveIfInterrupted(writtenPath_);
  writtenPath_.clear();
}

}  // namespace io
