// The walk of an archive (counts from offset 4, data after each header) or of
// an index (counts from 0, no data), written out plainly and sharing nothing
// with the programs': a stop at a record that does not lie wholly in the
// bytes, and after a count whose records cannot all fit in the bytes after it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "formats/archive.h"

namespace harness {

struct WalkedImage {
  std::uint32_t section;
  std::uint32_t image;
  formats::ImageHeader header;
  std::uint64_t dataOffset;
};

struct ReferenceWalk {
  std::uint32_t sectionCount = 0;
  std::uint64_t sectionsWalked = 0;
  std::vector<std::uint32_t> imageCounts;
  std::vector<WalkedImage> images;
  bool stopped = false;
};

ReferenceWalk walkArchiveBytes(std::string_view bytes);
ReferenceWalk walkIndexBytes(std::string_view bytes);

}  // namespace harness
