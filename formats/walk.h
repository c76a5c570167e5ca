// The one loop over the sections and images of an archive (ArchiveWalk) or
// an index (IndexReader), which are both counts and headers. A run gives
// only what it does with each record; where the walk ends (at the end, at a
// stop, at a failed read, or where the run ends it) is decided here alone.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/archive.h"
#include "util/status.h"

namespace formats {

// `Reader` is ArchiveWalk or IndexReader. `Run` gives:
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
template <class Reader, class Run>
util::Status walkRecords(Reader& reader, Run& run, Step& step) {
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

template <class Reader, class Run>
util::Status walk(Reader& reader, Run& run, std::optional<WalkStop>& stop) {
  Step step = Step::kGoOn;
  util::Status status = walk_steps::walkRecords(reader, run, step);
  stop.reset();
  if (status.ok() && step != Step::kGoOn) stop = reader.stop();
  return status;
}

}  // namespace formats
