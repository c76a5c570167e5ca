#include "converter/rebuild.h"

#include <string>

#include "formats/archive.h"
#include "formats/dds.h"
#include "formats/index.h"
#include "formats/walk.h"
#include "io/copy.h"
#include "io/file.h"
#include "io/pending_file.h"
#include "util/status.h"

namespace converter {
namespace {

using formats::ImageHeader;
using report::Ending;
using report::Report;
using util::Status;

// One run's new archive.
struct Rebuild {
  Report& report;
  const RunNames& names;
  io::File& archive;
  std::uint64_t position = formats::kFirstSectionOffset;
};

void reportChanges(Rebuild& run, std::uint32_t section, std::uint32_t image,
                   const ImageHeader& before, const ImageHeader& after) {
  Report& out = run.report;
  const std::string oldType = formats::typeName(before.typeCode);
  const std::string newType = formats::typeName(after.typeCode);
  if (oldType != newType) {
    report::blankLine(out);
    report::printLine(out, "Image " + run.names.baseName + "-" + report::numberText(section) + "-" +
                               report::numberText(image) + " format changed.");
    report::printLine(out, oldType + "==>" + newType);
  }
  if (after.height != before.height) report::printLine(out, "Image height changed");
  if (after.width != before.width) report::printLine(out, "Image width changed");
  if (after.dataSize > before.dataSize) {
    report::printLine(out, "Image size increased by " +
                               report::numberText(after.dataSize - before.dataSize) + " bytes");
  } else if (after.dataSize < before.dataSize) {
    report::printLine(out, "Image size decreased by " +
                               report::numberText(before.dataSize - after.dataSize) + " bytes");
  }
}

// Rebuilds one image into the new archive; a failure ends the run.
Status rebuildImage(Rebuild& run, std::uint32_t section, std::uint32_t image,
                    const ImageHeader& before) {
  const RunFile file = converter::imageFile(run.names, section, image);
  io::File imageFile;
  Status status = io::File::openInput(file.path, file.name, imageFile);
  formats::dds::StoredImage stored;
  if (status.ok()) status = formats::dds::inspectImageFile(imageFile, stored);
  if (!status.ok()) return status;
  const ImageHeader after{stored.typeCode, before.RFWidth, before.RFHeight,
                          stored.width,    stored.height,  stored.dataSize};
  reportChanges(run, section, image, before, after);
  run.report.showBeforeCopying(after.dataSize);
  char header[formats::kImageHeaderSize];
  formats::encodeImageHeader(header, after);
  status =
      io::writeHeaderAndRange(run.archive, run.position, std::string_view(header, sizeof header),
                              imageFile, stored.dataOffset, after.dataSize);
  run.position += formats::kImageHeaderSize + after.dataSize;
  return status;
}

// What the rebuild does with each record of the index.
struct RebuildSteps {
  Rebuild& run;

  Status sectionCount(std::uint32_t count) {
    Status written = formats::writeFloat32(run.archive, 0, formats::kFormatVersion);
    if (written.ok()) written = formats::writeU32(run.archive, formats::kSectionCountOffset, count);
    report::printLine(run.report, "Number of section(s) to be put in " +
                                      newArchiveFile(run.names).name + ": " +
                                      report::numberText(count));
    return written;
  }

  Status imageCount(std::uint32_t section, std::uint32_t count, bool) {
    Status written = formats::writeU32(run.archive, run.position, count);
    run.position += 4;
    report::printLine(run.report, "Section " + report::numberText(section) + " : " +
                                      report::numberText(count) + " Images");
    return written;
  }

  void beforeImage() { run.report.keepUp(); }

  Status image(std::uint32_t section, std::uint32_t image, const ImageHeader& header) {
    return rebuildImage(run, section, image, header);
  }
};

// Walks the index and writes the new archive, which is put in place only when
// every image went in.
Ending rebuildArchive(Report& report, const RunNames& names) {
  const RunFile indexName = indexFile(names);
  io::File index;
  Ending ending = Ending::abort(io::File::openInput(indexName.path, indexName.name, index));
  if (!ending.failure.ok()) return ending;
  const RunFile newArchiveName = newArchiveFile(names);
  io::PendingFile newArchive(newArchiveName.path, newArchiveName.name, kTemporaryNameStart);
  ending.failure = newArchive.create();
  if (!ending.failure.ok()) return ending;
  formats::IndexReader reader(index);
  Rebuild run{report, names, newArchive.file()};
  RebuildSteps steps{run};
  ending.failure = formats::walk(reader, steps, ending.stop);
  ending.stopAborts = true;
  if (ending.failure.ok() && !ending.stop) ending.failure = newArchive.commit();
  return ending;
}

}  // namespace

int runRebuild(Report& report, const RunNames& names) {
  report::printPiece(report, std::string(kProgramName) + " - ");
  report::printLine(report, names.name);
  return report::finishRun(report, kProgramName, rebuildArchive(report, names));
}

}  // namespace converter
