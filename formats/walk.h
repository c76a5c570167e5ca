// The one loop over the sections and images of an archive (ArchiveWalk) or
// an index (IndexReader), which are both counts and headers. A run gives
// only what it does with each record; where the walk ends (at the end, at a
// stop, at a failed read, or where the run ends it) is decided here alone.
#pragma once

#include <cstdint>

#include "formats/archive.h"

namespace formats {

enum class WalkEnd {
  kEnd,         // every count and image read
  kStopped,     // the file ended before its counts or inside a record
  kReadFailed,  // the system failed a read of the file walked
  kRunEnded,    // the run ended it: a callback gave false
};

// `Reader` is ArchiveWalk or IndexReader. `Run` gives:
//   bool sectionCount(std::uint32_t count);
//   bool imageCount(std::uint32_t section, std::uint32_t count, bool goesOn);
//   void beforeImage();  // between records, as the work goes
//   bool image(std::uint32_t section, std::uint32_t image, const ImageHeader&);
// each false to end the walk. A count the file cannot hold is handed to the
// run before the walk stops after it (goesOn false for an image count).
template <class Reader, class Run>
WalkEnd walk(Reader& reader, Run& run) {
  const auto ending = [](Step step) {
    return step == Step::kFailed ? WalkEnd::kReadFailed : WalkEnd::kStopped;
  };
  std::uint32_t sectionCount = 0;
  Step step = reader.readSectionCount(sectionCount);
  if (!gaveRecord(step)) return ending(step);
  if (!run.sectionCount(sectionCount)) return WalkEnd::kRunEnded;
  if (step == Step::kLast) return WalkEnd::kStopped;
  for (std::uint64_t s = 1; s <= sectionCount; ++s) {
    const auto section = static_cast<std::uint32_t>(s);
    std::uint32_t imageCount = 0;
    step = reader.readImageCount(imageCount);
    if (!gaveRecord(step)) return ending(step);
    if (!run.imageCount(section, imageCount, step == Step::kGoOn)) return WalkEnd::kRunEnded;
    if (step == Step::kLast) return WalkEnd::kStopped;
    for (std::uint64_t i = 1; i <= imageCount; ++i) {
      run.beforeImage();
      ImageHeader header;
      step = reader.readImage(header);
      if (step != Step::kGoOn) return ending(step);
      if (!run.image(section, static_cast<std::uint32_t>(i), header)) return WalkEnd::kRunEnded;
    }
  }
  return WalkEnd::kEnd;
}

}  // namespace formats
