// The rebuild of arbitrary index bytes with arbitrary image-file bytes. The
// input is a 2-byte little-endian index length, the index, and the bytes of
// the image file put under every image name the index walk reaches. The run
// ends with "Done!" and a new archive that walks cleanly with exactly the
// counts it declares, or with an abort and no new archive; inputs stay as
// they were and no temporary file is left.
#include <algorithm>

#include "converter/startup.h"
#include "fuzz_support.h"

namespace {

using namespace fuzzing;

constexpr std::size_t kMostImageFiles = 64;

// Walks the new archive strictly: every count as the index has it, every
// header of a known type with the index's RFWidth and RFHeight, the data
// inside the file, and the last image ending exactly at its end.
void checkNewArchive(const std::string& path, const ReferenceWalk& index, const std::string& text) {
  const auto length = static_cast<std::uint64_t>(fileLength(path));
  const auto u32In = [&path](std::uint64_t offset) { return u32At(readRange(path, offset, 4), 0); };
  check(u32In(4) == index.sectionCount, "sectionCount", text);
  std::uint64_t position = 8;
  std::size_t image = 0;
  for (std::uint32_t count : index.imageCounts) {
    check(position + 4 <= length && u32In(position) == count, "imageCount", text);
    position += 4;
    for (std::uint32_t i = 0; i < count; ++i, ++image) {
      check(position + 24 <= length, "header inside the archive", text);
      const std::string header = readRange(path, position, 24);
      check(isKnownCode(u32At(header, 0)), "known type", text);
      check(u32At(header, 4) == index.images[image].header.RFWidth &&
                u32At(header, 8) == index.images[image].header.RFHeight,
            "RFWidth and RFHeight from the index", text);
      position += 24 + std::uint64_t{u32At(header, 20)};
      check(position <= length, "data inside the archive", text);
    }
  }
  check(position == length, "the archive ends with its last image", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t indexLength = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
  const std::string_view index = input.substr(2, indexLength);
  const std::string_view imageFile = input.substr(2 + indexLength);

  Scratch& dir = scratch();
  dir.clear();
  writeFile(dir.file("units.rep"), index);
  const ReferenceWalk walk = walkIndexBytes(index);
  const std::size_t imageFiles = std::min(walk.images.size(), kMostImageFiles);
  for (std::size_t k = 0; k < imageFiles; ++k) {
    const WalkedImage& image = walk.images[k];
    writeFile(dir.file(referenceImageName(image.section, image.image)), imageFile);
  }

  int status = -1;
  const CapturingConsole console = capture([&](report::Report& report) {
    status = converter::runConverter(report, dir.file("units.rep"));
  });
  const std::string& text = console.text;
  const bool done = text.ends_with(" \r\nDone!\r\n");
  check(done || text.ends_with("Zerbolt Aborted!\r\n"), "closing lines or an abort", text);
  check(status == (done ? 0 : 1), "the exit status tells an abort", text);
  const std::string newArchive = dir.file("units(new).spr");
  check(done == (fileLength(newArchive) >= 0), "a new archive exactly when done", text);
  if (done) checkNewArchive(newArchive, walk, text);
  for (const std::string& name : dir.names()) {
    check(name.find(".tmp") == std::string::npos, "no temporary file left", text);
  }
  check(readFile(dir.file("units.rep")) == index, "the index is unchanged", text);
  return 0;
}
