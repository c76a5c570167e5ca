#include "formats/pending_file.h"

#include <utility>

#include "platform/platform.h"

namespace formats {

PendingFile::PendingFile(std::string finalPath, std::string_view temporaryNameStart)
    : finalPath_(std::move(finalPath)) {
  file_ = File::adopt(platform::createUniqueFile(finalPath_, temporaryNameStart, temporaryPath_));
}

PendingFile::~PendingFile() {
  discard();
}

bool PendingFile::commit() {
  if (!file_.isOpen()) return false;
  if (!file_.close() || !platform::replaceFile(temporaryPath_, finalPath_)) {
    discard();
    return false;
  }
  platform::removeIfInterrupted("");
  temporaryPath_.clear();
  return true;
}

void PendingFile::discard() {
  file_.close();
  if (temporaryPath_.empty()) return;
  platform::removeFile(temporaryPath_);
  platform::removeIfInterrupted("");
  temporaryPath_.clear();
}

}  // namespace formats
