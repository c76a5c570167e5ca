#include "converter/extraction.h"

#include <string>

#include "formats/archive.h"
#include "formats/file.h"
#include "formats/index.h"
#include "formats/names.h"
#include "platform/platform.h"

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

// After a failed read of the archive, a file the run was writing (an image
// file cut short, an index that holds less than its counts promise) is not
// left to look whole: no file stands under its name. One the run could not
// write is not its own to remove.
void discardUnfinished(formats::File& file, const std::string& path) {
  if (!file.isWritable()) return;
  file.close();
  platform::removeFile(path);
}

// Writes the image file; false when the archive's data could not be read,
// and then no file is left under its name: one that came out short would
// look whole, as extraction writes over an older file from its start.
bool saveImage(Extraction& run, std::uint32_t section, std::uint32_t image,
               const ImageHeader& header, const std::string& typeName) {
  const RunNames& names = run.names;
  run.report.showBeforeCopying(header.dataSize);
  const std::string path =
      formats::imageFileName(names.directoryPrefix, names.baseName, section, image);
  formats::File imageFile = formats::File::openOutput(path);
  const bool written = formats::dds::writeImageFile(imageFile, run.templates, typeName, header,
                                                    run.archive, run.walk.dataOffset());
  if (run.walk.failed()) {
    discardUnfinished(imageFile, path);
    return false;
  }
  if (!imageFile.close() || !written) {
    reportUnwritten(run, formats::imageFileName("", names.baseName, section, image));
  }
  return true;
}

// Extracts one image; false when the walk stopped or failed instead.
bool extractImage(Extraction& run, std::uint32_t section, std::uint32_t image) {
  run.report.keepUp();
  ImageHeader header;
  if (run.walk.readImage(header) != formats::Step::kGoOn) return false;
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
  ++run.total;
  if (!known) {
    report::blankLine(run.report);
    return true;
  }
  return saveImage(run, section, image, header, typeName);
}

// Extracts one section; false when the walk stopped or failed inside it.
bool extractSection(Extraction& run, std::uint32_t section) {
  std::uint32_t imageCount = 0;
  const formats::Step step = run.walk.readImageCount(imageCount);
  if (!formats::gaveRecord(step)) return false;
  run.index.writeImageCount(imageCount);
  report::blankLine(run.report);
  report::printLine(run.report, "Number of image(s) in section " + report::numberText(section) +
                                    ": " + report::numberText(imageCount));
  if (step == formats::Step::kLast) return false;
  report::printTableHeader(run.report);
  bool walking = true;
  for (std::uint64_t image = 1; image <= imageCount && walking; ++image) {
    walking = extractImage(run, section, static_cast<std::uint32_t>(image));
  }
  return walking;
}

struct Tally {
  std::uint32_t total;  // the images listed
  std::uint32_t unwrittenFiles;
  bool readFailed;
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
  const formats::Step step = run.walk.readSectionCount(sectionCount);
  if (formats::gaveRecord(step)) {
    run.index.writeSectionCount(sectionCount);
    report::printLine(
        report, "Number of section(s) in " + names.name + ": " + report::numberText(sectionCount));
  }
  for (std::uint64_t section = 1; step == formats::Step::kGoOn && section <= sectionCount;
       ++section) {
    if (!extractSection(run, static_cast<std::uint32_t>(section))) break;
  }
  if (run.walk.failed()) {
    discardUnfinished(indexFile, stem + ".rep");
    return {run.total, run.unwrittenFiles, true};
  }
  if (run.walk.stopped()) report::printWalkStopped(report, run.walk.fileSize());
  run.index.flush();
  // An index that opened but failed later (a full disk, or a write lost on
  // closing) is told once, here.
  if (indexFile.isWritable() && (run.index.failed() || !indexFile.close())) {
    reportUnwritten(run, indexName);
  }
  return {run.total, run.unwrittenFiles, false};
}

}  // namespace

void runExtraction(Report& report, const RunNames& names,
                   const formats::dds::HeaderTemplates& templates) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  const std::string archiveName = names.baseName + ".spr";
  const formats::File archive = formats::File::openInput(names.directoryPrefix + archiveName);
  if (!archive.isOpen()) {
    report::printMissingFileAbort(report, archiveName, "Zerbolt");
    report::finishRun(report);
    return;
  }
  const Tally tally = extractArchive(report, names, templates, archive);
  if (tally.readFailed) {
    report::printFileFailureAbort(report, "read", archiveName, "Zerbolt");
    report::finishRun(report);
    return;
  }
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
