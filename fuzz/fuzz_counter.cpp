// Quandrel over arbitrary archive bytes: the report closes, lists exactly the
// sections and images of the walk, each row as the header gives it, pauses
// once per unknown image and once at the end, and the archive is left as it
// was.
#include "counter/counter.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzzing;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = freshScratchFile("units.spr", bytes);
  int status = -1;
  const CapturingConsole console =
      capture([&](report::Report& report) { status = counter::runCounter(report, path); });
  const std::string& text = console.text;
  const ReferenceWalk walk = walkArchiveBytes(bytes);
  std::size_t unknown = 0;
  for (const WalkedImage& image : walk.images) {
    if (!isKnownCode(image.header.typeCode)) ++unknown;
  }

  check(text.starts_with("Quandrel - " + path + "\r\n"), "banner", text);
  check(text.ends_with(" \r\nDone!\r\n"), "closing lines", text);
  check(countOccurrences(text, "Number of image(s) in section ") == walk.sectionsWalked,
        "one table per section walked", text);
  check(countTableRows(text) == walk.images.size(), "one row per header walked", text);
  check(rowsInOrder(text, walk, true), "each row as its header gives it", text);
  check(console.pauses == static_cast<int>(unknown) + 1, "a pause per unknown image", text);
  check(walk.stopped == (text.find("; stopped here.***") != std::string::npos),
        "the stop is told exactly when the walk stops", text);
  check(status == (walk.stopped ? 1 : 0), "the exit status tells the stop", text);
  check(readFile(path) == bytes, "the archive is unchanged", text);
  return 0;
}
