// The benchmark's same-work reference: the file operations of an extraction
// or a rebuild and nothing else, so that the programs can be held against the
// least this machine needs for their work.
//
//   same_work extract ARCHIVE METHOD   writes BASE.rep and BASE-s-i.dds beside ARCHIVE
//   same_work rebuild INDEX METHOD     writes BASE(new).spr from BASE.rep and the image files
//   same_work compare ARCHIVE          reads the data of every image and of BASE-s-i.dds
//                                      through two 1 MiB buffers and compares them, as a
//                                      second extraction over an unchanged first must
//
// METHOD is "cfr" (copy_file_range) or "rw:N" (pread and pwrite through a
// buffer of N bytes). The same files are created and the same byte ranges
// copied to the same offsets as the programs do; the headers written are
// zeros of the right length, and no field is checked.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness/bytes.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

std::uint32_t readU32(int fd, off_t offset) {
  char bytes[4] = {};
  if (::pread(fd, bytes, 4, offset) != 4) fail("read");
  return harness::u32At({bytes, 4}, 0);
}

void writeAt(int fd, const char* data, std::size_t size, off_t offset) {
  if (::pwrite(fd, data, size, offset) != static_cast<ssize_t>(size)) fail("write");
}

class Copier {
 public:
  explicit Copier(const std::string& method) {
    if (method == "cfr") return;
    if (method.rfind("rw:", 0) != 0) fail("method " + method);
    buffer_.resize(std::strtoull(method.c_str() + 3, nullptr, 10));
  }

  void copy(int from, off_t fromOffset, int to, off_t toOffset, std::uint64_t size) {
    while (size > 0) {
      const ssize_t n = buffer_.empty() ? cfr(from, fromOffset, to, toOffset, size)
                                        : readWrite(from, fromOffset, to, toOffset, size);
      if (n <= 0) fail("copy");
      fromOffset += n;
      toOffset += n;
      size -= static_cast<std::uint64_t>(n);
    }
  }

 private:
  static ssize_t cfr(int from, off_t fromOffset, int to, off_t toOffset, std::uint64_t size) {
    return ::copy_file_range(from, &fromOffset, to, &toOffset, size, 0);
  }
  ssize_t readWrite(int from, off_t fromOffset, int to, off_t toOffset, std::uint64_t size) {
    const std::size_t want = size < buffer_.size() ? size : buffer_.size();
    const ssize_t got = ::pread(from, buffer_.data(), want, fromOffset);
    if (got > 0) writeAt(to, buffer_.data(), static_cast<std::size_t>(got), toOffset);
    return got;
  }

  std::vector<char> buffer_;
};

std::string stemOf(const std::string& path) {
  return path.substr(0, path.size() - 4);
}

std::string imageName(const std::string& stem, std::uint32_t section, std::uint32_t image) {
  return stem + "-" + std::to_string(section) + "-" + std::to_string(image) + ".dds";
}

void extract(const std::string& archivePath, Copier& copier) {
  const int archive = ::open(archivePath.c_str(), O_RDONLY);
  if (archive < 0) fail(archivePath);
  const std::string stem = stemOf(archivePath);
  std::string index;  // written whole at the end, as the programs buffer theirs
  const char zeros[128] = {};
  off_t at = 4;
  const std::uint32_t sections = readU32(archive, at);
  at += 4;
  index.append(4, '\0');
  for (std::uint32_t s = 1; s <= sections; ++s) {
    const std::uint32_t images = readU32(archive, at);
    at += 4;
    index.append(4, '\0');
    for (std::uint32_t i = 1; i <= images; ++i) {
      char header[24];
      if (::pread(archive, header, 24, at) != 24) fail("read");
      const std::uint32_t size = harness::u32At({header, sizeof header}, 20);
      index.append(header, 24);
      const std::string name = imageName(stem, s, i);
      const int image = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
      if (image < 0) fail(name);
      writeAt(image, zeros, 128, 0);
      copier.copy(archive, at + 24, image, 128, size);
      ::close(image);
      at += 24 + static_cast<off_t>(size);
    }
  }
  const std::string indexName = stem + ".rep";
  const int indexFile = ::open(indexName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
  if (indexFile < 0) fail(indexName);
  writeAt(indexFile, index.data(), index.size(), 0);
  ::close(indexFile);
  ::close(archive);
}

void rebuild(const std::string& indexPath, Copier& copier) {
  const int index = ::open(indexPath.c_str(), O_RDONLY);
  if (index < 0) fail(indexPath);
  const std::string stem = stemOf(indexPath);
  const std::string finalName = stem + "(new).spr";
  const std::string temporary = finalName + ".tmp";
  const int archive = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
  if (archive < 0) fail(temporary);
  const char zeros[24] = {};
  off_t from = 0;
  off_t to = 0;
  const std::uint32_t sections = readU32(index, from);
  from += 4;
  writeAt(archive, zeros, 8, to);
  to += 8;
  for (std::uint32_t s = 1; s <= sections; ++s) {
    const std::uint32_t images = readU32(index, from);
    from += 4;
    writeAt(archive, zeros, 4, to);
    to += 4;
    for (std::uint32_t i = 1; i <= images; ++i) {
      from += 24;
      const std::string name = imageName(stem, s, i);
      const int image = ::open(name.c_str(), O_RDONLY);
      if (image < 0) fail(name);
      char header[128];
      if (::pread(image, header, 128, 0) != 128) fail("read");
      const std::uint32_t size = harness::u32At({header, sizeof header}, 20);
      writeAt(archive, zeros, 24, to);
      copier.copy(image, 128, archive, to + 24, size);
      ::close(image);
      to += 24 + static_cast<off_t>(size);
    }
  }
  ::close(archive);
  if (::rename(temporary.c_str(), finalName.c_str()) != 0) fail("rename");
  ::close(index);
}

// The whole of one range, read in turn from both files.
bool sameRange(int a, off_t aOffset, int b, off_t bOffset, std::uint64_t size,
               std::vector<char>& fromA, std::vector<char>& fromB) {
  while (size > 0) {
    const std::size_t n = size < fromA.size() ? size : fromA.size();
    if (::pread(a, fromA.data(), n, aOffset) != static_cast<ssize_t>(n)) fail("read");
    if (::pread(b, fromB.data(), n, bOffset) != static_cast<ssize_t>(n)) fail("read");
    if (std::memcmp(fromA.data(), fromB.data(), n) != 0) return false;
    aOffset += static_cast<off_t>(n);
    bOffset += static_cast<off_t>(n);
    size -= n;
  }
  return true;
}

void compare(const std::string& archivePath) {
  const int archive = ::open(archivePath.c_str(), O_RDONLY);
  if (archive < 0) fail(archivePath);
  const std::string stem = stemOf(archivePath);
  std::vector<char> fromA(1 << 20), fromB(1 << 20);
  off_t at = 4;
  const std::uint32_t sections = readU32(archive, at);
  at += 4;
  for (std::uint32_t s = 1; s <= sections; ++s) {
    const std::uint32_t images = readU32(archive, at);
    at += 4;
    for (std::uint32_t i = 1; i <= images; ++i) {
      char header[24];
      if (::pread(archive, header, 24, at) != 24) fail("read");
      const std::uint32_t size = harness::u32At({header, sizeof header}, 20);
      const std::string name = imageName(stem, s, i);
      const int image = ::open(name.c_str(), O_RDONLY);
      if (image < 0) fail(name);
      if (!sameRange(image, 128, archive, at + 24, size, fromA, fromB)) fail("differs: " + name);
      ::close(image);
      at += 24 + static_cast<off_t>(size);
    }
  }
  ::close(archive);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "compare") {
    compare(argv[2]);
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: same_work extract|rebuild FILE cfr|rw:N, or same_work compare FILE\n");
    return 2;
  }
  Copier copier(argv[3]);
  const std::string mode = argv[1];
  if (mode == "extract") {
    extract(argv[2], copier);
  } else if (mode == "rebuild") {
    rebuild(argv[2], copier);
  } else {
    fail("mode " + mode);
  }
  return 0;
}
