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
  bool placed;
  if (inPlace_) {
    // Once all is written, only a write lost on closing can spoil the file.
    platform::noLongerRemoveIfInterrupted(writtenPath_);
    placed = file_.close();
  } else {
    // A file its owner made read-only was meant to stay: Windows refuses to
    // replace one, and not every system does (rename() replaces it, and so
    // does Wine's MoveFileEx).
    placed =
        file_.close() && platform::lookAtName(finalPath_) != platform::NameHolds::kReadOnlyFile &&
        (keepOlderAs.empty() ? platform::replaceFile(writtenPath_, finalPath_)
                             : platform::replaceFileKeeping(writtenPath_, finalPath_, keepOlderAs));
  }
  if (!placed) {
    discard();
    return false;
  }
  platform::noLongerRemoveIfInterrupted(writtenPath_);
  writtenPath_.clear();
  return true;
}

void PendingFile::discard() {
  file_.close();
  if (writtenPath_.empty()) return;
  platform::removeFile(writtenPath_);
  platform::noLongerRemoveIfInterrupted(writtenPath_);
  writtenPath_.clear();
}

}  // namespace io
