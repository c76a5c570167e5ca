// Extraction of arbitrary archive bytes: the report closes with a row per
// header as the header gives it, the index holds the walk's bytes unless it
// stopped, every
// image of known type has its file of 128 + dataSize bytes with its fields
// and its data, and nothing else is written.
#include <algorithm>
#include <set>

#include "converter/startup.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzzing;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = freshScratchFile("units.spr", bytes);
  int status = -1;
  const CapturingConsole console =
      capture([&](report::Report& report) { status = converter::runConverter(report, path); });
  const std::string& text = console.text;
  const ReferenceWalk walk = walkArchiveBytes(bytes);

  Scratch& dir = scratch();
  check(text.ends_with(" \r\nDone!\r\n"), "closing lines", text);
  check(status == (walk.stopped ? 1 : 0), "the exit status tells the stop", text);
  check(countTableRows(text) == walk.images.size(), "one row per header walked", text);
  check(rowsInOrder(text, walk, false), "each row as its header gives it", text);
  // An index comes into place only when the walk went to its end.
  std::set<std::string> expected = {"units.spr"};
  if (!walk.stopped) {
    check(readFile(dir.file("units.rep")) == referenceIndex(walk), "the index holds the walk",
          text);
    expected.insert("units.rep");
  }
  for (const WalkedImage& image : walk.images) {
    if (!isKnownCode(image.header.typeCode)) continue;
    const std::string name = referenceImageName(image.section, image.image);
    const std::string file = dir.file(name);
    const std::uint32_t dataSize = image.header.dataSize;
    expected.insert(name);
    check(fileLength(file) == 128 + static_cast<std::int64_t>(dataSize),
          name + " is 128 + dataSize bytes", text);
    const std::string head = readRange(file, 0, 128);
    check(u32At(head, 12) == image.header.height && u32At(head, 16) == image.header.width &&
              u32At(head, 20) == dataSize,
          name + " holds height, width and size", text);
    // The data as the archive holds them, zeros past its end; large ones in part.
    const std::size_t compared = std::min<std::uint32_t>(dataSize, 1 << 16);
    std::string data(compared, '\0');
    if (image.dataOffset < bytes.size()) {
      bytes.substr(image.dataOffset, compared).copy(data.data(), compared);
    }
    check(readRange(file, 128, compared) == data, name + " holds the image's data", text);
  }
  const std::vector<std::string> names = dir.names();
  check(std::set<std::string>(names.begin(), names.end()) == expected, "no other file", text);
  check(readFile(path) == bytes, "the archive is unchanged", text);
  return 0;
}
