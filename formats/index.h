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

// Reads an index front to back, every record within the file as in the
// archive walk.
class IndexReader {
 public:
  explicit IndexReader(const io::File& index) : index_(index), limit_(index.size()) {}

  // Each reads the next record, as the archive walk does.
  util::Status readSectionCount(std::uint32_t& count, Step& step);
  util::Status readImageCount(std::uint32_t& count, Step& step);
  util::Status readImage(ImageHeader& header, Step& step);

  // Where the reading stopped, once a read gave no record or the last one.
  WalkStop stop() const { return place_.stop(limit_.fileSize()); }

 private:
  const io::File& index_;
  RecordLimit limit_;
  WalkPlace place_;
  std::uint64_t position_ = 4;
};

}  // namespace formats
