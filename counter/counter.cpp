#include "counter/counter.h"

#include <string>

#include "io/file.h"
#include "formats/names.h"

namespace counter {

using formats::ImageHeader;
using report::Report;

namespace {

void countImage(Report& report, std::uint32_t section, std::uint32_t image,
                const ImageHeader& header) {
  const std::string name = formats::typeName(header.typeCode);
  const bool known = formats::isKnownTypeName(name);
  if (!known) {
    report::printUnknownImageError(report, section, image);
    report::printLine(report, "Press any key to continue counting.");
    report::waitForKey(report);
  }
  printCounterRow(report, image, header, name);
  if (!known) report::blankLine(report);
}

// Lists one section, adding each image listed to `total`; false when the
// walk stopped or failed inside it.
bool countSection(Report& report, formats::ArchiveWalk& walk, std::uint32_t section,
                  std::uint32_t& total) {
  std::uint32_t imageCount = 0;
  const formats::Step step = walk.readImageCount(imageCount);
  if (!formats::gaveRecord(step)) return false;
  report::blankLine(report);
  report::printLine(report, "Number of image(s) in section " + report::numberText(section) + ": " +
                                report::numberText(imageCount));
  if (step == formats::Step::kLast) return false;
  report::printTableHeader(report);
  for (std::uint64_t image = 1; image <= imageCount; ++image) {
    report.keepUp();
    ImageHeader header;
    if (walk.readImage(header) != formats::Step::kGoOn) return false;
    countImage(report, section, static_cast<std::uint32_t>(image), header);
    ++total;
  }
  return true;
}

struct Count {
  std::uint32_t total = 0;  // the images listed, modulo 2^32
  bool stopped = false;
  bool readFailed = false;
};

// Walks the archive; after a stop, the count or image that stopped it is
// not among those listed.
Count countArchive(Report& report, const io::File& archive, const std::string& name) {
  formats::ArchiveWalk walk(archive);
  Count count;
  std::uint32_t sectionCount = 0;
  const formats::Step step = walk.readSectionCount(sectionCount);
  if (formats::gaveRecord(step)) {
    report::printLine(report,
                      "Number of section(s) in " + name + ": " + report::numberText(sectionCount));
  }
  for (std::uint64_t section = 1; step == formats::Step::kGoOn && section <= sectionCount;
       ++section) {
    if (!countSection(report, walk, static_cast<std::uint32_t>(section), count.total)) break;
  }
  count.readFailed = walk.failed();
  count.stopped = walk.stopped();
  if (count.stopped && !count.readFailed) report::printWalkStopped(report, walk.stop());
  return count;
}

}  // namespace

void printCounterRow(Report& report, std::uint32_t imageNumber, const ImageHeader& header,
                     std::string_view typeName) {
  report::printTableRow(
      report,
      {report::numberText(imageNumber), report::signedNumberText(header.RFHeight),
       report::signedNumberText(header.RFWidth), report::signedNumberText(header.height),
       report::signedNumberText(header.width), report::numberText(header.dataSize)},
      typeName);
}

int runCounter(Report& report, std::string_view argument) {
  if (argument.empty()) {
    report::printLine(report, "Layer 8 Error: Drag a .spr file onto Quandrel.exe");
    return report::finishRun(report, false);
  }
  const formats::DroppedPath path = formats::splitDroppedPath(argument);
  report::printPiece(report, "Quandrel - ");
  report::printLine(report, path.name);
  const io::File archive = io::File::openInput(std::string(argument));
  if (!archive.isOpen()) {
    report::printMissingFileAbort(report, path.name, "Quandrel");
    return report::finishRun(report, false);
  }
  const Count count = countArchive(report, archive, path.name);
  if (count.readFailed) {
    report::printFileFailureAbort(report, "read", path.name, "Quandrel");
    return report::finishRun(report, false);
  }
  report::blankLine(report);
  report::printLine(report, report::signedNumberText(count.total) + " image(s) in " + path.name);
  report::blankLine(report);
  report::printLine(report, "Done!");
  return report::finishRun(report, !count.stopped);
}

}  // namespace counter
