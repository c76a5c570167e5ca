// What the fuzz targets share: a console that keeps what it is told, a
// scratch directory, what the programs are checked against, and a way to fail
// loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/archive.h"
#include "harness/bytes.h"
#include "harness/files.h"
#include "harness/walk.h"
#include "platform/platform.h"
#include "report/report.h"

namespace fuzzing {

using harness::readFile;
using harness::ReferenceWalk;
using harness::u32At;
using harness::walkArchiveBytes;
using harness::WalkedImage;
using harness::walkIndexBytes;
using harness::writeFile;

class CapturingConsole final : public platform::Console {
 public:
  void write(std::string_view bytes) override { text.append(bytes); }
  void waitForKey() override { ++pauses; }

  std::string text;
  int pauses = 0;
};

// Runs `run(report)` with a report whose console keeps what it is told.
template <class Run>
CapturingConsole capture(Run run) {
  CapturingConsole console;
  {
    report::Report report(console);
    run(report);
  }
  return console;
}

// A directory of this process's own, emptied before every input.
class Scratch : public harness::ScratchFolder {
 public:
  Scratch();
  void clear();
  std::vector<std::string> names() const;
};

Scratch& scratch();

// Empties the scratch directory and writes `bytes` there as `name`; its path.
std::string freshScratchFile(const std::string& name, std::string_view bytes);

// The file's length, or -1 when there is none.
std::int64_t fileLength(const std::string& path);

// Stops the fuzzer with the broken invariant and what the program printed.
[[noreturn]] void fail(const std::string& what, const std::string& report);
inline void check(bool ok, const std::string& what, const std::string& report) {
  if (!ok) fail(what, report);
}

// What the checks hold the programs to, written out here and sharing nothing
// with them: the five known type codes and their names, the table rows, the
// image file names and the index an archive gives.
bool isKnownCode(std::uint32_t typeCode);
std::string referenceTypeName(std::uint32_t typeCode);
std::string referenceImageName(std::uint32_t section, std::uint32_t image);
// A table row with its line end; the counter's shows RFHeight, RFWidth,
// height and width, signed.
std::string referenceRow(const WalkedImage& image, bool counter);
std::string referenceIndex(const ReferenceWalk& walk);
// True when every row of the walk stands in the report, in the walk's order.
bool rowsInOrder(std::string_view report, const ReferenceWalk& walk, bool counter);
// `size` bytes of `path` from `offset`, zeros past its end.
std::string readRange(const std::string& path, std::uint64_t offset, std::size_t size);

// How many lines of the report are image table rows.
std::size_t countTableRows(std::string_view report);
std::size_t countOccurrences(std::string_view text, std::string_view piece);

}  // namespace fuzzing
