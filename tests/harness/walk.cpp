#include "harness/walk.h"

#include "harness/bytes.h"

namespace harness {
namespace {

ReferenceWalk walkBytes(std::string_view bytes, std::uint64_t countOffset, bool dataFollow) {
  ReferenceWalk walk;
  // Every record lies wholly in the bytes, or the walk stops before it.
  const auto lies = [&](std::uint64_t offset, std::uint64_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset) walk.stopped = true;
    return !walk.stopped;
  };
  // A count whose smallest records cannot all fit after it stops the walk
  // after it.
  const auto holds = [&](std::uint32_t count, std::uint64_t from, std::uint64_t recordSize) {
    const std::uint64_t room = bytes.size() > from ? bytes.size() - from : 0;
    if (count > room / recordSize) walk.stopped = true;
    return !walk.stopped;
  };
  if (!lies(countOffset, 4)) return walk;
  walk.sectionCount = u32At(bytes, countOffset);
  std::uint64_t position = countOffset + 4;
  if (!holds(walk.sectionCount, position, 4)) return walk;
  for (std::uint64_t s = 1; s <= walk.sectionCount; ++s) {
    if (!lies(position, 4)) return walk;
    const std::uint32_t count = u32At(bytes, position);
    position += 4;
    ++walk.sectionsWalked;
    walk.imageCounts.push_back(count);
    if (!holds(count, position, 24)) return walk;
    for (std::uint64_t i = 1; i <= count; ++i) {
      if (!lies(position, 24)) return walk;
      formats::ImageHeader h{u32At(bytes, position),      u32At(bytes, position + 4),
                             u32At(bytes, position + 8),  u32At(bytes, position + 12),
                             u32At(bytes, position + 16), u32At(bytes, position + 20)};
      if (!lies(position, 24 + (dataFollow ? std::uint64_t{h.dataSize} : 0))) return walk;
      position += 24;
      walk.images.push_back(
          {static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(i), h, position});
      if (dataFollow) position += h.dataSize;
    }
  }
  return walk;
}

}  // namespace

ReferenceWalk walkArchiveBytes(std::string_view bytes) {
  return walkBytes(bytes, 4, true);
}

ReferenceWalk walkIndexBytes(std::string_view bytes) {
  return walkBytes(bytes, 0, false);
}

}  // namespace harness
