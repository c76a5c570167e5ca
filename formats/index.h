// The archive index (".rep"): the archive's structure and every image header,
// without formatVersion and without image data. It is what the rebuild walks.
//
//   offset 0   sectionCount
//   offset 4   sectionCount sections, back to back, each:
//                imageCount
//                imageCount image headers of 24 bytes (as in the archive)
//
// An archive of S sections and N images gives 4 + 4 * S + 24 * N bytes.
#pragma once

#include <cstdint>

#include "formats/archive.h"
#include "formats/file.h"

namespace formats {

// Writes an index front to back as the archive is walked.
class IndexWriter {
 public:
  explicit IndexWriter(File& index) : index_(index) {}

  void writeSectionCount(std::uint32_t count);
  void writeImageCount(std::uint32_t count);
  void writeHeader(const ImageHeader& header);

  // True once any write has failed.
  bool failed() const { return failed_; }

 private:
  File& index_;
  std::uint64_t position_ = 4;
  bool failed_ = false;
};

// Reads an index front to back; bytes past its end read as zeros, within the
// same limit as the archive walk.
class IndexReader {
 public:
  explicit IndexReader(const File& index) : index_(index), limit_(index.size()) {}

  // Each reads the next record; false when the reading has stopped instead.
  bool readSectionCount(std::uint32_t& count);
  bool readImageCount(std::uint32_t& count);
  bool readHeader(ImageHeader& header);

  bool stopped() const { return limit_.stopped(); }
  std::uint64_t fileSize() const { return limit_.fileSize(); }

 private:
  const File& index_;
  PastEndLimit limit_;
  std::uint64_t position_ = 4;
};

}  // namespace formats
