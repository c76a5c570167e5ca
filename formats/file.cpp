#include "formats/file.h"

#include <cstring>
#include <utility>

namespace formats {

File File::open(const std::string& path) {
  const platform::OpenedFile opened = platform::openFile(path);
  File file;
  file.handle_ = opened.handle;
  file.writable_ = opened.writable;
  return file;
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

File::~File() { close(); }

std::uint64_t File::size() const { return isOpen() ? platform::fileSize(handle_) : 0; }

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

void File::close() {
  if (isOpen()) platform::closeFile(handle_);
  handle_ = platform::kNoFile;
  writable_ = false;
}

}  // namespace formats
