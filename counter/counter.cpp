#include "counter/counter.h"

#include <string>

#include "formats/names.h"
#include "formats/walk.h"
#include "io/file.h"

namespace counter {

using formats::ImageHeader;
using report::Report;

namespace {

// What the counter does with each record of the walk.
struct Count {
  Report& report;
  const std::string& name;
  std::uint32_t total = 0;  // the images listed, modulo 2^32

  util::Status sectionCount(std::uint32_t count) {
    report::printSectionCount(report, name, count);
    return {};
  }

  util::Status imageCount(std::uint32_t section, std::uint32_t count, bool goesOn) {
    report::printSectionStart(report, section, count, goesOn);
    return {};
  }

  void beforeImage() { report.keepUp(); }

  util::Status image(std::uint32_t section, std::uint32_t image, const ImageHeader& header) {
    const std::string typeName = formats::typeName(header.typeCode);
    const bool known = formats::isKnownTypeName(typeName);
    if (!known) {
      report::printUnknownImageError(report, section, image);
      report::printLine(report, "Press any key to continue counting.");
      report::waitForKey(report);
    }
    printCounterRow(report, image, header, typeName);
    if (!known) report::blankLine(report);
    ++total;
    return {};
  }
};

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
    return report::finishRun(
        report, kProgramName,
        report::Ending::wrongArgumentTold("Layer 8 Error: Drag a .spr file onto " +
                                          std::string(kProgramName) + ".exe"));
  }
  const formats::DroppedPath path = formats::splitDroppedPath(argument);
  report::printPiece(report, std::string(kProgramName) + " - ");
  report::printLine(report, path.name);
  io::File archive;
  report::Ending ending;
  ending.failure = io::File::openInput(std::string(argument), path.name, archive);
  if (ending.failure.ok()) {
    formats::ArchiveWalk walk(archive);
    Count count{report, path.name};
    ending.failure = formats::walk(walk, count, ending.stop);
    ending.total = report::signedNumberText(count.total) + " image(s) in " + path.name;
  }
  return report::finishRun(report, kProgramName, ending);
}

}  // namespace counter
