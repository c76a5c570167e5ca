#include "io/pending_file.h"

#include <utility>

#include "platform/platform.h"

namespace io {

using util::Status;

PendingFile::PendingFile(std::string finalPath, std::string_view shownName,
                         std::string_view temporaryNameStart, Where where)
    : finalPath_(std::move(finalPath)),
      shownName_(shownName),
      temporaryNameStart_(temporaryNameStart),
      inPlace_(where == Where::kInPlace) {}

PendingFile::~PendingFile() {
  discard();
}

Status PendingFile::create() {
  platform::OpenedFile opened;
  std::string path = finalPath_;
  Status created = inPlace_
                       ? platform::createNewFile(finalPath_, opened)
                       : platform::createUniqueFile(finalPath_, temporaryNameStart_, path, opened);
  if (!created.ok()) return std::move(created).about(shownName_);
  writtenPath_ = std::move(path);
  file_ = File::adopt(opened, shownName_);
  return {};
}

Status PendingFile::commit(const std::string& keepOlderAs, const platform::FileStamp* olderMustBe,
                           bool* olderChanged) {
  if (writtenPath_.empty()) return Status::unwritable("The file was not made").about(shownName_);
  // Made in place and written whole, only a write lost on closing can spoil
  // the file now.
  if (inPlace_) platform::noLongerRemoveIfInterrupted(writtenPath_);
  Status done = file_.close();
  bool changed = false;
  if (done.ok() && !inPlace_) done = putInPlace(keepOlderAs, olderMustBe, &changed);
  if (!done.ok()) {
    discard();
    return done;
  }
  if (changed) {
    *olderChanged = true;
    return {};
  }
  if (!inPlace_) platform::noLongerRemoveIfInterrupted(writtenPath_);
  writtenPath_.clear();
  return {};
}

// A file its owner made read-only was meant to stay: Windows refuses to
// replace one, and not every system does (rename() replaces it, and so does
// Wine's MoveFileEx). A folder is told as one, not as the system's refusal.
Status PendingFile::putInPlace(const std::string& keepOlderAs,
                               const platform::FileStamp* olderMustBe, bool* olderChanged) const {
  platform::NameHolds holds = platform::NameHolds::kNothing;
  platform::FileStamp stamp;
  Status status = platform::lookAtName(finalPath_, holds, &stamp);
  const bool isFile =
      holds == platform::NameHolds::kFile || holds == platform::NameHolds::kReadOnlyFile;
  if (status.ok() && olderMustBe != nullptr && isFile && stamp != *olderMustBe) {
    *olderChanged = true;
  } else if (status.ok() && holds == platform::NameHolds::kReadOnlyFile) {
    status = Status::unwritable(std::string(util::cause::kReadOnly));
  } else if (status.ok() && holds == platform::NameHolds::kFolder) {
    status = platform::refusalOf(holds, Status::Code::kUnwritable);
  } else if (status.ok()) {
    status = keepOlderAs.empty()
                 ? platform::replaceFile(writtenPath_, finalPath_)
                 : platform::replaceFileKeeping(writtenPath_, finalPath_, keepOlderAs);
  }
  return std::move(status).about(shownName_);
}

void PendingFile::discard() {
  (void)file_.close();
  if (writtenPath_.empty()) return;
  (void)platform::removeFile(writtenPath_);
  platform::noLongerRemoveIfInterrupted(writtenPath_);
  writtenPath_.clear();
}

}  // namespace io
