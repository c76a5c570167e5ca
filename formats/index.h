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

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/archive.h"
#include "formats/walk.h"
#include "io/file.h"

namespace formats {

// Writes an index front to back as the archive is walked. Counts and headers
// gather in a buffer that goes to the file when it fills, on flush() and at
// the latest when the writer ends. The first failed write is kept for
// finish() to give; the walk goes on meanwhile, as the images are written
// all the same. With no file, everything is dropped.
class IndexWriter {
 public:
  explicit IndexWriter(io::File* index) : index_(index) {}
  IndexWriter(const IndexWriter&) = delete;
  IndexWriter& operator=(const IndexWriter&) = delete;
  ~IndexWriter() { flush(); }

  void writeSectionCount(std::uint32_t count);
  void writeImageCount(std::uint32_t count);
  void writeHeader(const ImageHeader& header);
  void flush();
  // Flushes, and gives the first failed write, if any.
  util::Status finish();

 private:
  static constexpr std::size_t kFlushAt = 64 << 10;

  void append(const char* bytes, std::size_t size);
  void keepFirstFailure(util::Status status);

  io::File* index_;
  std::string pending_;
  std::uint64_t position_ = 4;  // where pending_ goes
  util::Status failure_;
};

// The index's records: the section count first, no data after a header.
class IndexReader : public RecordReader {
 public:
  explicit IndexReader(const io::File& index) : RecordReader(index, {0, false}) {}
};

}  // namespace formats
