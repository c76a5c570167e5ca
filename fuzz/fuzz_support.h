// What the fuzz targets share: a console that keeps what it is told, a
// scratch directory, a plain reference walk to check the programs against,
// and a way to fail loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/archive.h"
#include "platform/platform.h"
#include "report/report.h"

namespace fuzzing {

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
class Scratch {
 public:
  Scratch();
  void clear();
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> names() const;

 private:
  std::string path_;
};

Scratch& scratch();

// Empties the scratch directory and writes `bytes` there as `name`; its path.
std::string freshScratchFile(const std::string& name, std::string_view bytes);

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
// The file's length, or -1 when there is none.
std::int64_t fileLength(const std::string& path);

// Stops the fuzzer with the broken invariant and what the program printed.
[[noreturn]] void fail(const std::string& what, const std::string& report);
inline void check(bool ok, const std::string& what, const std::string& report) {
  if (!ok) fail(what, report);
}

struct WalkedImage {
  std::uint32_t section;
  std::uint32_t image;
  formats::ImageHeader header;
  std::uint64_t dataOffset;
};

// The walk of an archive (counts from offset 4, data after each header) or of
// an index (counts from 0, no data), written out plainly: zeros past the end,
// and a stop at the 17th record past it.
struct ReferenceWalk {
  std::uint32_t sectionCount = 0;
  std::uint64_t sectionsWalked = 0;
  std::vector<std::uint32_t> imageCounts;
  std::vector<WalkedImage> images;
  bool stopped = false;
};

ReferenceWalk walkArchiveBytes(std::string_view bytes);
ReferenceWalk walkIndexBytes(std::string_view bytes);

// How many lines of the report are image table rows.
std::size_t countTableRows(std::string_view report);
std::size_t countOccurrences(std::string_view text, std::string_view piece);

}  // namespace fuzzing
