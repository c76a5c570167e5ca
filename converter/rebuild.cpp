#include "converter/rebuild.h"

#include <string>

#include "formats/archive.h"
#include "formats/dds.h"
#include "formats/index.h"
#include "formats/names.h"
#include "formats/walk.h"
#include "io/copy.h"
#include "io/file.h"
#include "io/pending_file.h"

namespace converter {
namespace {

using formats::ImageHeader;
using report::Ending;
using report::Report;
using Kind = report::Ending::Kind;

// One run's new archive, and how the run ended when an image or a write
// ended it.
struct Rebuild {
  Report& report;
  const RunNames& names;
  io::File& archive;
  std::uint64_t position = formats::kFirstSectionOffset;
  Ending ending = {};
};

std::string newArchiveName(const RunNames& names) {
  return names.baseName + "(new).spr";
}

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

std::string_view refusalReason(formats::dds::Refusal refusal) {
  switch (refusal) {
    case formats::dds::Refusal::kCutShort:
      return "The file ends before its image data do. Please save it again";
    case formats::dds::Refusal::kTooLarge:
      return "The image is too large for an archive. Please save it smaller";
    case formats::dds::Refusal::kUnknownFormat:
      break;
  }
  return "Unknown Filetype. Please Use DXT1, DXT3, DXT5, 5.6.5 RGB, or 8.8.8.8 ARGB";
}

// Rebuilds one image into the new archive; false, with the ending, when it
// cannot.
bool rebuildImage(Rebuild& run, std::uint32_t section, std::uint32_t image,
                  const ImageHeader& before) {
  const std::string name = imageName(run.names, section, image);
  const io::File imageFile = io::File::openInput(imagePath(run.names, section, image));
  if (!imageFile.isOpen()) {
    run.ending = Ending::abort(Kind::kMissing, name);
    return false;
  }
  const formats::dds::Inspection inspected = formats::dds::inspectImageFile(imageFile);
  if (inspected.readFailed) {
    run.ending = Ending::abort(Kind::kUnreadable, name);
    return false;
  }
  if (!inspected.image) {
    run.ending = Ending::abort(Kind::kRefused, name, std::string(refusalReason(inspected.refusal)));
    return false;
  }
  const formats::dds::StoredImage& stored = *inspected.image;
  const ImageHeader after{stored.typeCode, before.RFWidth, before.RFHeight,
                          stored.width,    stored.height,  stored.dataSize};
  reportChanges(run, section, image, before, after);
  run.report.showBeforeCopying(after.dataSize);
  char header[formats::kImageHeaderSize];
  formats::encodeImageHeader(header, after);
  const io::Copied copied =
      io::writeHeaderAndRange(run.archive, run.position, std::string_view(header, sizeof header),
                              imageFile, stored.dataOffset, after.dataSize);
  run.position += formats::kImageHeaderSize + after.dataSize;
  if (copied == io::Copied::kReadFailed) {
    run.ending = Ending::abort(Kind::kUnreadable, name);
  } else if (copied == io::Copied::kWriteFailed) {
    run.ending = Ending::abort(Kind::kUnwritable, newArchiveName(run.names));
  }
  return copied == io::Copied::kAll;
}

// What the rebuild does with each record of the index.
struct RebuildSteps {
  Rebuild& run;

  bool sectionCount(std::uint32_t count) {
    const bool written = formats::writeFloat32(run.archive, 0, formats::kFormatVersion) &&
                         formats::writeU32(run.archive, formats::kSectionCountOffset, count);
    report::printLine(run.report, "Number of section(s) to be put in " + newArchiveName(run.names) +
                                      ": " + report::numberText(count));
    return written || unwritable();
  }

  bool imageCount(std::uint32_t section, std::uint32_t count, bool) {
    const bool written = formats::writeU32(run.archive, run.position, count);
    run.position += 4;
    report::printLine(run.report, "Section " + report::numberText(section) + " : " +
                                      report::numberText(count) + " Images");
    return written || unwritable();
  }

  void beforeImage() { run.report.keepUp(); }

  bool image(std::uint32_t section, std::uint32_t image, const ImageHeader& header) {
    return rebuildImage(run, section, image, header);
  }

  bool unwritable() {
    run.ending = Ending::abort(Kind::kUnwritable, newArchiveName(run.names));
    return false;
  }
};

// Walks the index and writes the new archive, which is put in place only when
// every image went in.
Ending rebuildArchive(Report& report, const RunNames& names) {
  const std::string stem = names.directoryPrefix + names.baseName;
  const io::File indexFile = io::File::openInput(stem + ".rep");
  if (!indexFile.isOpen()) return Ending::abort(Kind::kMissing, names.baseName + ".rep");
  io::PendingFile newArchive(stem + "(new).spr", "Zerbolt");
  if (!newArchive.isOpen()) return Ending::abort(Kind::kUnwritable, newArchiveName(names));
  formats::IndexReader index(indexFile);
  Rebuild run{report, names, newArchive.file()};
  RebuildSteps steps{run};
  switch (formats::walk(index, steps)) {
    case formats::WalkEnd::kRunEnded:
      return run.ending;
    case formats::WalkEnd::kReadFailed:
      return Ending::abort(Kind::kUnreadable, names.baseName + ".rep");
    case formats::WalkEnd::kStopped:
      run.ending.stop = index.stop();
      run.ending.stopAborts = true;
      return run.ending;
    case formats::WalkEnd::kEnd:
      break;
  }
  if (!newArchive.commit()) return Ending::abort(Kind::kUnwritable, newArchiveName(names));
  return run.ending;
}

}  // namespace

int runRebuild(Report& report, const RunNames& names) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  return report::finishRun(report, "Zerbolt", rebuildArchive(report, names));
}

}  // namespace converter
