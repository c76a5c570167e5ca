#include "converter/extraction.h"

#include <string>

#include "formats/archive.h"
#include "formats/file.h"
#include "formats/index.h"
#include "formats/names.h"

namespace converter {
namespace {

using formats::ImageHeader;
using report::Report;

// One run's files, walk and tally.
struct Extraction {
  Report& report;
  const RunNames& names;
  const formats::dds::HeaderTemplates& templates;
  const formats::File& archive;
  formats::ArchiveWalk walk;
  formats::IndexWriter index;
  std::uint32_t total = 0;
  std::uint32_t unwrittenFiles = 0;
};

void reportUnwritten(Extraction& run, const std::string& fileName) {
  report::printLine(run.report, "Couldnt write " + fileName);
  ++run.unwrittenFiles;
}

void saveImage(Extraction& run, std::uint32_t section, std::uint32_t image,
               const ImageHeader& header, const std::string& typeName) {
  const RunNames& names = run.names;
  run.report.showBeforeCopying(header.dataSize);
  formats::File imageFile = formats::File::openOutput(
      formats::imageFileName(names.directoryPrefix, names.baseName, section, image));
  const bool written = formats::dds::writeImageFile(imageFile, run.templates, typeName, header,
                                                    run.archive, run.walk.dataOffset());
  if (!imageFile.close() || !written) {
    reportUnwritten(run, formats::imageFileName("", names.baseName, section, image));
  }
}

// Extracts one image; false when the walk stopped instead.
bool extractImage(Extraction& run, std::uint32_t section, std::uint32_t image) {
  run.report.keepUp();
  ImageHeader header;
  if (!run.walk.readImage(header)) return false;
  run.index.writeHeader(header);
  const std::string typeName = formats::typeName(header.typeCode);
  const bool known = formats::isKnownTypeName(typeName);
  if (!known) {
    report::printUnknownImageError(run.report, section, image);
    report::printLine(run.report, "--This Image will not be saved--");
    report::printLine(run.report, "Press any key to continue with the rest of the images");
    run.index.flush();  // the index is whole so far while the run waits
    report::waitForKey(run.report);
  }
  report::printImageRow(run.report, image, header, typeName);
  if (known) {
    saveImage(run, section, image, header, typeName);
  } else {
    report::blankLine(run.report);
  }
  return true;
}

// Extracts one section; false when the walk stopped inside it.
bool extractSection(Extraction& run, std::uint32_t section) {
  std::uint32_t imageCount = 0;
  if (!run.walk.readImageCount(imageCount)) return false;
  run.index.writeImageCount(imageCount);
  run.total += imageCount;
  report::blankLine(run.report);
  report::printLine(run.report, "Number of image(s) in section " + report::numberText(section) +
                                    ": " + report::numberText(imageCount));
  if (run.walk.stopped()) return false;
  report::printTableHeader(run.report);
  bool walking = true;
  for (std::uint64_t image = 1; image <= imageCount && walking; ++image) {
    walking = extractImage(run, section, static_cast<std::uint32_t>(image));
  }
  return walking;
}

struct Tally {
  std::uint32_t total;
  std::uint32_t unwrittenFiles;
};

// Walks `archive`, writing the index and the image files; the files are
// closed when it returns.
Tally extractArchive(Report& report, const RunNames& names,
                     const formats::dds::HeaderTemplates& templates, const formats::File& archive) {
  const std::string stem = names.directoryPrefix + names.baseName;
  formats::File indexFile = formats::File::openOutput(stem + ".rep");
  Extraction run{report,
                 names,
                 templates,
                 archive,
                 formats::ArchiveWalk(archive),
                 formats::IndexWriter(indexFile)};
  const std::string indexName = names.baseName + ".rep";
  if (!indexFile.isWritable()) reportUnwritten(run, indexName);

  std::uint32_t sectionCount = 0;
  run.walk.readSectionCount(sectionCount);
  run.index.writeSectionCount(sectionCount);
  report::printLine(
      report, "Number of section(s) in " + names.name + ": " + report::numberText(sectionCount));
  for (std::uint64_t section = 1; section <= sectionCount; ++section) {
    if (!extractSection(run, static_cast<std::uint32_t>(section))) break;
  }
  if (run.walk.stopped()) report::printWalkStopped(report, run.walk.fileSize());
  run.index.flush();
  // An index that opened but failed later (a full disk, or a write lost on
  // closing) is told once, here.
  if (indexFile.isWritable() && (run.index.failed() || !indexFile.close())) {
    reportUnwritten(run, indexName);
  }
  return {run.total, run.unwrittenFiles};
}

}  // namespace

void runExtraction(Report& report, const RunNames& names,
                   const formats::dds::HeaderTemplates& templates) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  const std::string archiveName = names.baseName + ".spr";
  const formats::File archive = formats::File::openExisting(names.directoryPrefix + archiveName);
  if (!archive.isOpen()) {
    report::printMissingFileAbort(report, archiveName, "Zerbolt");
    report::finishRun(report);
    return;
  }
  const Tally tally = extractArchive(report, names, templates, archive);
  report::blankLine(report);
  report::printLine(report, report::numberText(tally.total) + " image(s) in " + names.name);
  report::blankLine(report);
  if (tally.unwrittenFiles == 0) {
    report::printLine(report, "Done!");
  } else {
    report::printLine(report, "Done, but " + report::numberText(tally.unwrittenFiles) +
                                  " file(s) could not be written!");
  }
  report::finishRun(report);
}

}  // namespace converter
