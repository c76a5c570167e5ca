#include "io/file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace io {

using util::Status;

Status File::openOutput(const std::string& path, File& file) {
  platform::OpenedFile opened;
  Status status = platform::openOutputFile(path, opened);
  if (status.ok()) file = adopt(opened, path);
  return std::move(status).about(path);
}

Status File::openInput(const std::string& path, std::string_view shownName, File& file) {
  platform::OpenedFile opened;
  Status status = platform::openInputFile(path, opened);
  if (status.ok()) file = adopt(opened, shownName);
  return std::move(status).about(shownName);
}

File::File(File&& other) noexcept {
  *this = std::move(other);
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    (void)close();
    handle_ = std::exchange(other.handle_, platform::kNoFile);
    writable_ = std::exchange(other.writable_, false);
    size_ = std::exchange(other.size_, 0);
    openedSize_ = std::exchange(other.openedSize_, 0);
    name_ = std::move(other.name_);
    window_ = std::move(other.window_);
    windowCapacity_ = std::exchange(other.windowCapacity_, 0);
    windowStart_ = other.windowStart_;
    windowFilled_ = std::exchange(other.windowFilled_, 0);
    nextWindowSize_ = std::exchange(other.nextWindowSize_, kFirstWindow);
  }
  return *this;
}

File::~File() {
  (void)close();
}

std::uint64_t File::size() const {
  return size_;
}

Status File::read(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (!isOpen()) return named(Status::unreadable(std::strerror(EBADF)));
  // Only what lay inside the file when its length was taken is asked of the
  // system; the rest reads as zeros.
  const auto inside =
      static_cast<std::size_t>(offset < size_ ? std::min<std::uint64_t>(size, size_ - offset) : 0);
  Status status = size <= kLargestWindow / 2 ? readThroughWindow(offset, buffer, inside)
                                             : readWhole(offset, buffer, inside);
  std::memset(buffer + inside, 0, size - inside);
  return status;
}

Status File::readWhole(std::uint64_t offset, char* buffer, std::size_t size) const {
  std::size_t got = 0;
  Status status = platform::readAt(handle_, offset, buffer, size, got);
  if (status.ok() && got < size) status = Status::unreadable(std::string(util::cause::kGotShorter));
  return named(std::move(status));
}

Status File::readThroughWindow(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (size == 0) return {};
  const std::uint64_t windowEnd = windowStart_ + windowFilled_;
  const bool inWindow = offset >= windowStart_ && offset + size <= windowEnd;
  if (!inWindow) {
    // Reads that land within a window's length past the window (records with
    // small images between them) ask for more next time; a longer jump (over
    // the data of a large image) starts small again.
    const bool runsOn =
        windowFilled_ > 0 && offset >= windowStart_ && offset <= windowEnd + windowFilled_;
    nextWindowSize_ = runsOn ? std::min(nextWindowSize_ * 2, kLargestWindow) : kFirstWindow;
    const std::size_t windowSize = std::max(nextWindowSize_, size);
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(windowSize, size_ - offset));
    if (windowCapacity_ < windowSize) {
      window_.reset(new char[windowSize]);
      windowCapacity_ = windowSize;
    }
    windowStart_ = offset;
    windowFilled_ = 0;
    if (Status status = readWhole(offset, window_.get(), wanted); !status.ok()) return status;
    windowFilled_ = wanted;
  }
  std::memcpy(buffer, window_.get() + (offset - windowStart_), size);
  return {};
}

Status File::write(std::uint64_t offset, const char* data, std::size_t size) {
  if (!writable_) return named(Status::unwritable(std::strerror(EBADF)));
  if (offset < windowStart_ + windowFilled_ && offset + size > windowStart_) windowFilled_ = 0;
  Status written = platform::writeAt(handle_, offset, data, size);
  if (written.ok()) {
    size_ = std::max(size_, offset + size);
  } else {
    // A failed write may still have put some bytes there: the length is asked again.
    std::uint64_t now = size_;
    if (platform::fileSize(handle_, now).ok()) size_ = now;
  }
  return named(std::move(written));
}

std::uint64_t File::copyFrom(const File& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                             std::uint64_t size) {
  if (!writable_ || !from.isOpen()) return 0;
  const std::uint64_t copied =
      platform::copyBetweenFiles(from.handle_, fromOffset, handle_, toOffset, size);
  if (copied > 0) {
    size_ = std::max(size_, toOffset + copied);
    windowFilled_ = 0;
  }
  return copied;
}

File File::adopt(const platform::OpenedFile& opened, std::string_view shownName) {
  File file;
  file.handle_ = opened.handle;
  file.writable_ = opened.writable;
  file.size_ = opened.size;
  file.openedSize_ = opened.size;
  file.name_ = shownName;
  return file;
}

Status File::writeZeros(std::uint64_t begin, std::uint64_t end) {
  constexpr std::uint64_t kChunk = 1 << 20;
  const std::uint64_t overwriteEnd = std::min(end, std::max(begin, openedSize_));
  // As many as are written out at once; one for the end of a hole.
  const std::vector<char> zeros(
      static_cast<std::size_t>(std::clamp<std::uint64_t>(overwriteEnd - begin, 1, kChunk)));
  for (std::uint64_t at = begin; at < overwriteEnd;) {
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), overwriteEnd - at));
    if (Status written = write(at, zeros.data(), n); !written.ok()) return written;
    at += n;
  }
  if (end == overwriteEnd) return {};
  // Windows asks for holes before one is left.
  if (writable_) platform::allowHoles(handle_);
  return write(end - 1, zeros.data(), 1);
}

Status File::stamp(platform::FileStamp& stamp) const {
  return named(platform::stampOf(handle_, stamp));
}

Status File::close() {
  Status closed = isOpen() ? platform::closeFile(handle_) : Status();
  handle_ = platform::kNoFile;
  writable_ = false;
  size_ = 0;
  windowFilled_ = 0;
  return named(std::move(closed));
}

}  // namespace io
