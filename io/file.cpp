#include "io/file.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace io {

File File::openOutput(const std::string& path) {
  return adopt(platform::openOutputFile(path));
}

File File::openInput(const std::string& path) {
  return adopt(platform::openInputFile(path));
}

File::File(File&& other) noexcept {
  *this = std::move(other);
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, platform::kNoFile);
    writable_ = std::exchange(other.writable_, false);
    size_ = std::exchange(other.size_, 0);
    openedSize_ = std::exchange(other.openedSize_, 0);
    readFailed_ = std::exchange(other.readFailed_, false);
    window_ = std::move(other.window_);
    windowStart_ = other.windowStart_;
    windowFilled_ = std::exchange(other.windowFilled_, 0);
    nextWindowSize_ = std::exchange(other.nextWindowSize_, kFirstWindow);
  }
  return *this;
}

File::~File() {
  close();
}

std::uint64_t File::size() const {
  return size_;
}

std::size_t File::read(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (!isOpen()) return 0;
  std::size_t got = 0;
  if (!readFailed_) {
    got = size <= kLargestWindow / 2 ? readThroughWindow(offset, buffer, size)
                                     : readFromSystem(offset, buffer, size);
  }
  std::memset(buffer + got, 0, size - got);
  return got;
}

std::size_t File::readFromSystem(std::uint64_t offset, char* buffer, std::size_t size) const {
  const std::optional<std::size_t> got = platform::readAt(handle_, offset, buffer, size);
  if (!got) readFailed_ = true;
  return got.value_or(0);
}

std::size_t File::readThroughWindow(std::uint64_t offset, char* buffer, std::size_t size) const {
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
    const std::uint64_t wanted =
        offset < size_ ? std::min<std::uint64_t>(windowSize, size_ - offset) : 0;
    if (window_.size() < windowSize) window_.resize(windowSize);
    windowStart_ = offset;
    windowFilled_ = readFromSystem(offset, window_.data(), static_cast<std::size_t>(wanted));
  }
  const std::uint64_t available = windowStart_ + windowFilled_ - offset;
  const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(size, available));
  std::memcpy(buffer, window_.data() + (offset - windowStart_), got);
  return got;
}

bool File::write(std::uint64_t offset, const char* data, std::size_t size) {
  if (!writable_) return false;
  if (offset < windowStart_ + windowFilled_ && offset + size > windowStart_) windowFilled_ = 0;
  const bool written = platform::writeAt(handle_, offset, data, size);
  // A failed write may still have put some bytes there: the length is asked again.
  size_ = written ? std::max(size_, offset + size) : platform::fileSize(handle_).value_or(size_);
  return written;
}

std::uint64_t File::copyFrom(const File& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                             std::uint64_t size) {
  if (!writable_ || !from.isOpen() || from.readFailed_) return 0;
  const std::uint64_t copied =
      platform::copyBetweenFiles(from.handle_, fromOffset, handle_, toOffset, size);
  if (copied > 0) {
    size_ = std::max(size_, toOffset + copied);
    windowFilled_ = 0;
  }
  return copied;
}

File File::adopt(platform::OpenedFile opened) {
  File file;
  file.handle_ = opened.handle;
  file.writable_ = opened.writable && opened.size.has_value();
  file.size_ = opened.size.value_or(0);
  file.openedSize_ = file.size_;
  file.readFailed_ = !opened.size.has_value();
  return file;
}

bool File::writeZeros(std::uint64_t begin, std::uint64_t end) {
  constexpr std::uint64_t kChunk = 1 << 20;
  const std::uint64_t overwriteEnd = std::min(end, std::max(begin, openedSize_));
  // As many as are written out at once; one for the end of a hole.
  const std::vector<char> zeros(
      static_cast<std::size_t>(std::clamp<std::uint64_t>(overwriteEnd - begin, 1, kChunk)));
  for (std::uint64_t at = begin; at < overwriteEnd;) {
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), overwriteEnd - at));
    if (!write(at, zeros.data(), n)) return false;
    at += n;
  }
  if (end == overwriteEnd) return true;
  // Windows asks for holes before one is left.
  if (writable_) platform::allowHoles(handle_);
  return write(end - 1, zeros.data(), 1);
}

bool File::close() {
  const bool closed = !isOpen() || platform::closeFile(handle_);
  handle_ = platform::kNoFile;
  writable_ = false;
  size_ = 0;
  windowFilled_ = 0;
  return closed;
}

}  // namespace io
