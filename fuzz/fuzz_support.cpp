#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzzing {
namespace {

std::uint32_t u32At(std::string_view bytes, std::uint64_t offset) {
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k) {
    const std::uint64_t at = offset + static_cast<std::uint64_t>(k);
    const unsigned byte = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0;
    value = (value << 8) | byte;
  }
  return value;
}

ReferenceWalk walkBytes(std::string_view bytes, std::uint64_t countOffset, bool dataFollow) {
  ReferenceWalk walk;
  int pastEnd = 0;
  const auto admit = [&](std::uint64_t offset) {
    if (offset >= bytes.size() && ++pastEnd > 16) walk.stopped = true;
    return !walk.stopped;
  };
  if (!admit(countOffset)) return walk;
  walk.sectionCount = u32At(bytes, countOffset);
  std::uint64_t position = countOffset + 4;
  for (std::uint64_t s = 1; s <= walk.sectionCount; ++s) {
    if (!admit(position)) return walk;
    const std::uint32_t count = u32At(bytes, position);
    position += 4;
    ++walk.sectionsWalked;
    walk.imageCounts.push_back(count);
    for (std::uint64_t i = 1; i <= count; ++i) {
      if (!admit(position)) return walk;
      formats::ImageHeader h{u32At(bytes, position),      u32At(bytes, position + 4),
                             u32At(bytes, position + 8),  u32At(bytes, position + 12),
                             u32At(bytes, position + 16), u32At(bytes, position + 20)};
      position += 24;
      walk.images.push_back(
          {static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(i), h, position});
      if (dataFollow) position += h.dataSize;
    }
  }
  return walk;
}

bool isRowEnding(std::string_view line) {
  for (std::string_view name : {"DXT1", "DXT3", "DXT5", "8.8.8.8 ARGB", "5.6.5 RGB"}) {
    if (line.ends_with(name)) return true;
  }
  const std::size_t unknown = line.rfind("Unknown (");
  return unknown != std::string_view::npos && line.ends_with(")");
}

}  // namespace

Scratch::Scratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) fail("no scratch directory", "");
  path_ = pattern;
}

void Scratch::clear() {
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    std::filesystem::remove_all(entry.path());
  }
}

std::vector<std::string> Scratch::names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

Scratch& scratch() {
  static Scratch directory;
  return directory;
}

std::string freshScratchFile(const std::string& name, std::string_view bytes) {
  scratch().clear();
  const std::string path = scratch().file(name);
  writeFile(path, bytes);
  return path;
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::int64_t fileLength(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<std::int64_t>(size);
}

void fail(const std::string& what, const std::string& report) {
  std::fprintf(stderr, "invariant broken: %s\n--- report ---\n%s\n--------------\n", what.c_str(),
               report.substr(0, 4000).c_str());
  std::abort();
}

ReferenceWalk walkArchiveBytes(std::string_view bytes) {
  return walkBytes(bytes, 4, true);
}
ReferenceWalk walkIndexBytes(std::string_view bytes) {
  return walkBytes(bytes, 0, false);
}

std::size_t countTableRows(std::string_view report) {
  std::size_t rows = 0;
  while (!report.empty()) {
    const std::size_t end = report.find("\r\n");
    const std::string_view line = report.substr(0, end);
    if (isRowEnding(line) && !line.starts_with("Number of")) ++rows;
    if (end == std::string_view::npos) break;
    report.remove_prefix(end + 2);
  }
  return rows;
}

std::size_t countOccurrences(std::string_view text, std::string_view piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string_view::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

}  // namespace fuzzing
