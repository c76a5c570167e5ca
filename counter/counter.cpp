#include "counter/counter.h"

#include <optional>
#include <string>

#include "formats/file.h"
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

// Walks the archive and returns the number of images listed, modulo 2^32
// (after a stop, the count that stopped it is not among them); nothing when
// a read of the archive failed.
std::optional<std::uint32_t> countArchive(Report& report, const formats::File& archive,
                                          const std::string& name) {
  formats::ArchiveWalk walk(archive);
  std::uint32_t sectionCount = 0;
  const formats::Step step = walk.readSectionCount(sectionCount);
  if (!formats::gaveRecord(step)) return std::nullopt;
  report::printLine(report,
                    "Number of section(s) in " + name + ": " + report::numberText(sectionCount));
  std::uint32_t total = 0;
  for (std::uint64_t section = 1; step == formats::Step::kGoOn && section <= sectionCount;
       ++section) {
    if (!countSection(report, walk, static_cast<std::uint32_t>(section), total)) break;
  }
  if (walk.failed()) return std::nullopt;
  if (walk.stopped()) report::printWalkStopped(report, walk.fileSize());
  return total;
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

void runCounter(Report& report, std::string_view argument) {
  if (argument.empty()) {
    report::printLine(report, "Layer 8 Error: Drag a .spr file onto Quandrel.exe");
    report::finishRun(report);
    return;
  }
  const formats::DroppedPath path = formats::splitDroppedPath(argument);
  report::printPiece(report, "Quandrel - ");
  report::printLine(report, path.name);
  const formats::File archive = formats::File::openInput(std::string(argument));
  if (!archive.isOpen()) {
    report::printMissingFileAbort(report, path.name, "Quandrel");
    report::finishRun(report);
    return;
  }
  const std::optional<std::uint32_t> total = countArchive(report, archive, path.name);
  if (!total) {
    report::printFileFailureAbort(report, "read", path.name, "Quandrel");
    report::finishRun(report);
    return;
  }
  report::blankLine(report);
  report::printLine(report, report::signedNumberText(*total) + " image(s) in " + path.name);
  report::blankLine(report);
  report::printLine(report, "Done!");
  report::finishRun(report);
}

}  // namespace counter
