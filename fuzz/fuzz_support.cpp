#include "fuzz_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fuzzing {

namespace {

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string signedText(std::uint32_t value) {
  return value < 0x80000000u ? std::to_string(value)
                             : "-" + std::to_string(0x100000000ull - std::uint64_t{value});
}

bool isRowEnding(std::string_view line) {
  for (std::string_view name : {"DXT1", "DXT3", "DXT5", "8.8.8.8 ARGB", "5.6.5 RGB"}) {
    if (line.ends_with(name)) return true;
  }
  const std::size_t unknown = line.rfind("Unknown (");
  return unknown != std::string_view::npos && line.ends_with(")");
}

}  // namespace

// Without one the fuzzer stops at once, telling why.
Scratch::Scratch() : ScratchFolder(std::filesystem::temp_directory_path(), "fuzz") {}

void Scratch::clear() {
  for (const auto& entry : std::filesystem::directory_iterator(path())) {
    std::filesystem::remove_all(entry.path());
  }
}

std::vector<std::string> Scratch::names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path())) {
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

bool isKnownCode(std::uint32_t typeCode) {
  return typeCode == 0x31545844 || typeCode == 0x33545844 || typeCode == 0x35545844 ||
         typeCode == 21 || typeCode == 23;
}

std::string referenceTypeName(std::uint32_t typeCode) {
  switch (typeCode) {
    case 0x31545844:
      return "DXT1";
    case 0x33545844:
      return "DXT3";
    case 0x35545844:
      return "DXT5";
    case 21:
      return "8.8.8.8 ARGB";
    case 23:
      return "5.6.5 RGB";
    default:
      return "Unknown (" + std::to_string(typeCode) + ")";
  }
}

std::string referenceImageName(std::uint32_t section, std::uint32_t image) {
  return "units-" + std::to_string(section) + "-" + std::to_string(image) + ".dds";
}

std::string referenceRow(const WalkedImage& image, bool counter) {
  const formats::ImageHeader& h = image.header;
  const auto column = [counter](std::uint32_t value) {
    return counter ? signedText(value) : std::to_string(value);
  };
  return padded(std::to_string(image.image), 4) +
         padded(column(counter ? h.RFHeight : h.RFWidth), 9) +
         padded(column(counter ? h.RFWidth : h.RFHeight), 10) +
         padded(column(counter ? h.height : h.width), 7) +
         padded(column(counter ? h.width : h.height), 8) + padded(std::to_string(h.dataSize), 10) +
         referenceTypeName(h.typeCode) + "\r\n";
}

std::string referenceIndex(const ReferenceWalk& walk) {
  std::string index = harness::le32(walk.sectionCount);
  std::size_t next = 0;
  for (std::size_t s = 0; s < walk.imageCounts.size(); ++s) {
    index += harness::le32(walk.imageCounts[s]);
    for (; next < walk.images.size() && walk.images[next].section == s + 1; ++next) {
      const formats::ImageHeader& h = walk.images[next].header;
      for (std::uint32_t field :
           {h.typeCode, h.RFWidth, h.RFHeight, h.width, h.height, h.dataSize}) {
        index += harness::le32(field);
      }
    }
  }
  return index;
}

bool rowsInOrder(std::string_view report, const ReferenceWalk& walk, bool counter) {
  std::size_t at = 0;
  for (const WalkedImage& image : walk.images) {
    const std::string row = referenceRow(image, counter);
    // A row starts a line.
    at = report.find("\n" + row, at == 0 ? 0 : at - 1);
    if (at == std::string_view::npos) return false;
    at += row.size() + 1;
  }
  return true;
}

std::string readRange(const std::string& path, std::uint64_t offset, std::size_t size) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(size, '\0');
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  return bytes;
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
