// The one walk over the sections and images of an archive or an index, which
// are both counts and headers, and the one reader of those records. A run
// gives only what it does with each record; where the walk ends (at the end,
// at a stop, at a failed read, or where the run ends it) is decided here
// alone.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/archive.h"
#include "io/file.h"
#include "util/status.h"

namespace formats {

// Counts are not bounded by the format, so a damaged file, or a file that is
// no archive at all, can declare billions of sections or images that are not
// there. Every record must lie in the file, so two limits stop a walk:
//  - a record (a count, an index header, or an archive image: its header
//    and its data) that does not end by the end of the file stops the walk
//    before anything of it is used: the file was cut before it or inside
//    it, and what is missing would come out as zeros;
//  - a count whose records cannot all fit in the bytes after it, even at
//    their smallest (4 bytes a section, 24 an image: a header with no data),
//    stops the walk right after it is read.
// Neither changes the walk of a whole archive.
class RecordLimit {
 public:
  explicit RecordLimit(std::uint64_t fileSize) : fileSize_(fileSize) {}

  // True when the `size` bytes at `offset` all lie in the file.
  bool holds(std::uint64_t offset, std::uint64_t size) const {
    return offset <= fileSize_ && size <= fileSize_ - offset;
  }
  // True when `count` records of at least `recordSize` bytes, the first at
  // `firstOffset`, can all lie in the file.
  bool hasRoomFor(std::uint32_t count, std::uint64_t firstOffset, std::uint64_t recordSize) const {
    const std::uint64_t room = fileSize_ > firstOffset ? fileSize_ - firstOffset : 0;
    return count <= room / recordSize;
  }
  std::uint64_t fileSize() const { return fileSize_; }

 private:
  std::uint64_t fileSize_;
};

// Where a walk stopped, for the line that tells it.
struct WalkStop {
  enum class Where { kBeforeCounts, kBeforeImage, kInsideImage };
  std::uint64_t fileSize = 0;
  Where where = Where::kBeforeCounts;
  // The image the file ends before or inside, numbered as in the report.
  std::uint32_t section = 0;
  std::uint32_t image = 0;
};

// The numbers of the record a walk reads, and where it stopped.
class WalkPlace {
 public:
  void nextSection() { ++section_, image_ = 0; }
  void nextImage() { ++image_; }
  void stopHere(WalkStop::Where where) { where_ = where; }
  WalkStop stop(std::uint64_t fileSize) const {
    if (where_ == WalkStop::Where::kBeforeCounts) return WalkStop{fileSize};
    return WalkStop{fileSize, where_, section_, image_};
  }

 private:
  std::uint32_t section_ = 0;
  std::uint32_t image_ = 0;
  WalkStop::Where where_ = WalkStop::Where::kBeforeCounts;
};

// What the read of the next record of a walk gave, when it did not fail.
enum class Step {
  kGoOn,     // the record, and the walk goes on
  kLast,     // a count the rest of the file cannot hold: shown, then the stop
  kStopped,  // no record: the walk has stopped
};

// Where a file's records lie. The archive and the index differ only in where
// the section count stands (after formatVersion, or first) and whether an
// image's data follow its header.
struct RecordLayout {
  std::uint64_t sectionCountOffset;
  bool dataFollowHeaders;
};

// Reads counts and image headers front to back, every record within the
// file. Positions are 64-bit and never wrap, so files of 4 GiB and more walk
// correctly.
class RecordReader {
 public:
  RecordReader(const io::File& file, RecordLayout layout);

  // Each reads the next record; a failure is a failed read of the file.
  util::Status readSectionCount(std::uint32_t& count, Step& step);
  util::Status readImageCount(std::uint32_t& count, Step& step);
  // Reads an image header and steps over its data, if any.
  util::Status readImage(ImageHeader& header, Step& step);

  // Where the data of the image read last begin.
  std::uint64_t dataOffset() const { return dataOffset_; }
  // Where the walk stopped, once a read gave no record or the last one.
  WalkStop stop() const { return place_.stop(limit_.fileSize()); }

 private:
  const io::File& file_;
  RecordLayout layout_;
  RecordLimit limit_;
  WalkPlace place_;
  std::uint64_t position_;
  std::uint64_t dataOffset_ = 0;
};

// The archive's records (see archive.h).
class ArchiveWalk : public RecordReader {
 public:
  explicit ArchiveWalk(const io::File& archive)
      : RecordReader(archive, {kSectionCountOffset, true}) {}
};

// `Run` gives:
//   util::Status sectionCount(std::uint32_t count);
//   util::Status imageCount(std::uint32_t section, std::uint32_t count, bool goesOn);
//   void beforeImage();  // between records, as the work goes
//   util::Status image(std::uint32_t section, std::uint32_t image, const ImageHeader&);
// each a failure to end the walk with it. A count the file cannot hold is
// handed to the run before the walk stops after it (goesOn false for an
// image count).
//
// A failure is a failed read of the file walked, or the run's. Without one,
// `stop` tells where the walk stopped, and nothing when it went to the end.
namespace walk_steps {

// The walk itself; `step` is the last read's.
template <class Run>
util::Status walkRecords(RecordReader& reader, Run& run, Step& step) {
  std::uint32_t sectionCount = 0;
  util::Status status = reader.readSectionCount(sectionCount, step);
  if (!status.ok() || step == Step::kStopped) return status;
  status = run.sectionCount(sectionCount);
  if (!status.ok() || step == Step::kLast) return status;
  for (std::uint64_t s = 1; s <= sectionCount; ++s) {
    const auto section = static_cast<std::uint32_t>(s);
    std::uint32_t imageCount = 0;
    status = reader.readImageCount(imageCount, step);
    if (!status.ok() || step == Step::kStopped) return status;
    status = run.imageCount(section, imageCount, step == Step::kGoOn);
    if (!status.ok() || step == Step::kLast) return status;
    for (std::uint64_t i = 1; i <= imageCount; ++i) {
      run.beforeImage();
      ImageHeader header;
      status = reader.readImage(header, step);
      if (!status.ok() || step != Step::kGoOn) return status;
      status = run.image(section, static_cast<std::uint32_t>(i), header);
      if (!status.ok()) return status;
    }
  }
  return status;
}

}  // namespace walk_steps

template <class Run>
util::Status walk(RecordReader& reader, Run& run, std::optional<WalkStop>& stop) {
  Step step = Step::kGoOn;
  util::Status status = walk_steps::walkRecords(reader, run, step);
  stop.reset();
  if (status.ok() && step != Step::kGoOn) stop = reader.stop();
  return status;
}

}  // namespace formats
