// Extraction of arbitrary archive bytes: the report closes, the index holds
// exactly what was walked, every image of known type has its file of 128 +
// dataSize bytes, and nothing else is written.
#include <algorithm>
#include <set>

#include "converter/startup.h"
#include "formats/names.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzzing;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = freshScratchFile("units.spr", bytes);
  const CapturingConsole console =
      capture([&](report::Report& report) { converter::runConverter(report, path); });
  const std::string& text = console.text;
  const ReferenceWalk walk = walkArchiveBytes(bytes);

  Scratch& dir = scratch();
  check(text.ends_with(" \r\nDone!\r\n"), "closing lines", text);
  check(countTableRows(text) == walk.images.size(), "one row per header walked", text);
  const std::int64_t indexLength = fileLength(dir.file("units.rep"));
  check(indexLength ==
            static_cast<std::int64_t>(4 + 4 * walk.sectionsWalked + 24 * walk.images.size()),
        "index length " + std::to_string(indexLength), text);

  std::set<std::string> expected = {"units.spr", "units.rep"};
  for (const WalkedImage& image : walk.images) {
    if (!formats::isKnownTypeName(formats::typeName(image.header.typeCode))) continue;
    const std::string name = formats::imageFileName("", "units", image.section, image.image);
    expected.insert(name);
    check(fileLength(dir.file(name)) == 128 + static_cast<std::int64_t>(image.header.dataSize),
          name + " is 128 + dataSize bytes", text);
  }
  const std::vector<std::string> names = dir.names();
  check(std::set<std::string>(names.begin(), names.end()) == expected, "no other file", text);
  check(readFile(path) == bytes, "the archive is unchanged", text);
  return 0;
}
