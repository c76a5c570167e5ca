#include "formats/file.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace formats {

File File::open(const std::string& path) {
  return adopt(platform::openFile(path));
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, platform::kNoFile)),
      writable_(std::exchange(other.writable_, false)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, platform::kNoFile);
    writable_ = std::exchange(other.writable_, false);
  }
  return *this;
}

File::~File() {
  close();
}

std::uint64_t File::size() const {
  return isOpen() ? platform::fileSize(handle_) : 0;
}

std::size_t File::read(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (!isOpen()) return 0;
  const std::size_t got = platform::readAt(handle_, offset, buffer, size);
  std::memset(buffer + got, 0, size - got);
  return got;
}

bool File::write(std::uint64_t offset, const char* data, std::size_t size) {
  if (!writable_) return false;
  return platform::writeAt(handle_, offset, data, size);
}

File File::adopt(platform::OpenedFile opened) {
  File file;
  file.handle_ = opened.handle;
  file.writable_ = opened.writable;
  return file;
}

void File::close() {
  if (isOpen()) platform::closeFile(handle_);
  handle_ = platform::kNoFile;
  writable_ = false;
}

PendingFile::PendingFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  file_ = File::adopt(platform::createUniqueFile(finalPath_, temporaryPath_));
}

PendingFile::~PendingFile() {
  discard();
}

bool PendingFile::commit() {
  if (!file_.isOpen()) return false;
  file_.close();
  if (!platform::replaceFile(temporaryPath_, finalPath_)) {
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

namespace {

constexpr std::uint64_t kCopyChunk = 1 << 20;

// Zeros over [begin, end): real ones where the file had bytes, a hole past that.
bool writeZeros(File& to, std::uint64_t begin, std::uint64_t end, std::uint64_t oldSize,
                std::vector<char>& chunk) {
  std::fill(chunk.begin(), chunk.end(), '\0');
  const std::uint64_t overwriteEnd = std::min(end, std::max(begin, oldSize));
  for (std::uint64_t at = begin; at < overwriteEnd;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), overwriteEnd - at));
    if (!to.write(at, chunk.data(), n)) return false;
    at += n;
  }
  if (end > overwriteEnd) return to.write(end - 1, chunk.data(), 1);
  return true;
}

}  // namespace

bool copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset,
               std::uint64_t size, std::uint64_t toOldSize) {
  if (size == 0) return true;
  const std::uint64_t fromSize = from.size();
  const std::uint64_t available = fromOffset < fromSize ? std::min(size, fromSize - fromOffset) : 0;
  std::vector<char> chunk(static_cast<std::size_t>(std::min(size, kCopyChunk)));
  for (std::uint64_t done = 0; done < available;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), available - done));
    from.read(fromOffset + done, chunk.data(), n);
    if (!to.write(toOffset + done, chunk.data(), n)) return false;
    done += n;
  }
  if (available == size) return true;
  return writeZeros(to, toOffset + available, toOffset + size, toOldSize, chunk);
}

}  // namespace formats
