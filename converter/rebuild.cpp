#include "converter/rebuild.h"

#include <string>
#include <utility>

#include "formats/archive.h"
#include "io/copy.h"
#include "formats/dds.h"
#include "io/file.h"
#include "formats/index.h"
#include "formats/names.h"
#include "io/pending_file.h"

namespace converter {
namespace {

using formats::ImageHeader;
using report::Report;

enum class Outcome {
  kDone,
  kMissingIndex,
  kMissingFile,
  kRefused,  // an image file the archive cannot hold
  kWriteFailed,
  kIndexStopped,
  kIndexUnreadable,
  kImageUnreadable
};

// How a run ended, and at which image when that matters.
struct Ending {
  Outcome outcome = Outcome::kDone;
  std::uint32_t section = 0;
  std::uint32_t image = 0;
  formats::dds::Refusal refusal = formats::dds::Refusal::kUnknownFormat;
  formats::WalkStop stop = {};
};

struct Rebuild {
  Report& report;
  const RunNames& names;
  formats::IndexReader& index;
  io::File& archive;
  std::uint64_t position = formats::kFirstSectionOffset;
};

// The image file's name without its directory, as the report shows it.
std::string imageName(const RunNames& names, std::uint32_t section, std::uint32_t image) {
  return formats::imageFileName("", names.baseName, section, image);
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

bool writeImage(Rebuild& run, const ImageHeader& header, const io::File& imageFile,
                std::uint64_t dataOffset) {
  char bytes[formats::kImageHeaderSize];
  formats::encodeImageHeader(bytes, header);
  return io::writeHeaderAndRange(run.archive, run.position,
                                      std::string_view(bytes, sizeof bytes), imageFile, dataOffset,
                                      header.dataSize);
}

// Why the index gave no record, or no more.
Ending indexEnding(const formats::IndexReader& index, formats::Step step) {
  if (step == formats::Step::kFailed) return {Outcome::kIndexUnreadable};
  return {.outcome = Outcome::kIndexStopped, .stop = index.stop()};
}

Ending rebuildImage(Rebuild& run, std::uint32_t section, std::uint32_t image) {
  run.report.keepUp();
  ImageHeader before;
  const formats::Step step = run.index.readHeader(before);
  if (step != formats::Step::kGoOn) return indexEnding(run.index, step);
  const std::string fileName =
      formats::imageFileName(run.names.directoryPrefix, run.names.baseName, section, image);
  const io::File imageFile = io::File::openInput(fileName);
  if (!imageFile.isOpen()) return {Outcome::kMissingFile, section, image};
  const formats::dds::Inspection inspected = formats::dds::inspectImageFile(imageFile);
  if (imageFile.readFailed()) return {Outcome::kImageUnreadable, section, image};
  if (!inspected.image) return {Outcome::kRefused, section, image, inspected.refusal};
  const formats::dds::StoredImage& stored = *inspected.image;
  const ImageHeader after{stored.typeCode, before.RFWidth, before.RFHeight,
                          stored.width,    stored.height,  stored.dataSize};
  reportChanges(run, section, image, before, after);
  run.report.showBeforeCopying(after.dataSize);
  const bool written = writeImage(run, after, imageFile, stored.dataOffset);
  run.position += formats::kImageHeaderSize + after.dataSize;
  if (imageFile.readFailed()) return {Outcome::kImageUnreadable, section, image};
  if (!written) return {Outcome::kWriteFailed};
  return {};
}

Ending rebuildSection(Rebuild& run, std::uint32_t section) {
  std::uint32_t imageCount = 0;
  const formats::Step step = run.index.readImageCount(imageCount);
  if (!formats::gaveRecord(step)) return indexEnding(run.index, step);
  const bool written = formats::writeU32(run.archive, run.position, imageCount);
  run.position += 4;
  report::printLine(run.report, "Section " + report::numberText(section) + " : " +
                                    report::numberText(imageCount) + " Images");
  if (!written) return {Outcome::kWriteFailed};
  if (step == formats::Step::kLast) return indexEnding(run.index, step);
  for (std::uint64_t image = 1; image <= imageCount; ++image) {
    const Ending ending = rebuildImage(run, section, static_cast<std::uint32_t>(image));
    if (ending.outcome != Outcome::kDone) return ending;
  }
  return {};
}

// Walks the index and writes the new archive, which is put in place only when
// every image went in.
Ending rebuildArchive(Report& report, const RunNames& names) {
  const std::string stem = names.directoryPrefix + names.baseName;
  const io::File indexFile = io::File::openInput(stem + ".rep");
  if (!indexFile.isOpen()) return {Outcome::kMissingIndex};
  io::PendingFile newArchive(stem + "(new).spr", "Zerbolt");
  if (!newArchive.isOpen()) return {Outcome::kWriteFailed};
  formats::IndexReader index(indexFile);
  io::File& archive = newArchive.file();

  std::uint32_t sectionCount = 0;
  const formats::Step step = index.readSectionCount(sectionCount);
  if (!formats::gaveRecord(step)) return indexEnding(index, step);
  const bool written = formats::writeFloat32(archive, 0, formats::kFormatVersion) &&
                       formats::writeU32(archive, formats::kSectionCountOffset, sectionCount);
  report::printLine(report, "Number of section(s) to be put in " + names.baseName +
                                "(new).spr: " + report::numberText(sectionCount));
  if (!written) return {Outcome::kWriteFailed};
  if (step == formats::Step::kLast) return indexEnding(index, step);

  Rebuild run{report, names, index, archive};
  for (std::uint64_t section = 1; section <= sectionCount; ++section) {
    const Ending ending = rebuildSection(run, static_cast<std::uint32_t>(section));
    if (ending.outcome != Outcome::kDone) return ending;
  }
  if (!newArchive.commit()) return {Outcome::kWriteFailed};
  return {};
}

void printAbort(Report& report) {
  report::printLine(report, "Zerbolt Aborted!");
}

void printUnconvertible(Report& report, const std::string& fileName, std::string_view reason) {
  report::blankLine(report);
  report::printLine(report, "Couldnt convert image " + fileName);
  report::printLine(report, "Reason: " + std::string(reason));
  report::blankLine(report);
  printAbort(report);
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

void printEnding(Report& report, const RunNames& names, const Ending& ending) {
  switch (ending.outcome) {
    case Outcome::kDone:
      report::blankLine(report);
      report::printLine(report, "Done!");
      break;
    case Outcome::kMissingIndex:
      report::printMissingFileAbort(report, names.baseName + ".rep", "Zerbolt");
      break;
    case Outcome::kMissingFile:
      report::printMissingFileAbort(report, imageName(names, ending.section, ending.image),
                                    "Zerbolt");
      break;
    case Outcome::kRefused:
      printUnconvertible(report, imageName(names, ending.section, ending.image),
                         refusalReason(ending.refusal));
      break;
    case Outcome::kWriteFailed:
      report::printFileFailureAbort(report, "write", names.baseName + "(new).spr", "Zerbolt");
      break;
    case Outcome::kIndexUnreadable:
      report::printFileFailureAbort(report, "read", names.baseName + ".rep", "Zerbolt");
      break;
    case Outcome::kImageUnreadable:
      report::printFileFailureAbort(report, "read", imageName(names, ending.section, ending.image),
                                    "Zerbolt");
      break;
    case Outcome::kIndexStopped:
      report::printWalkStopped(report, ending.stop);
      report::blankLine(report);
      printAbort(report);
      break;
  }
}

}  // namespace

int runRebuild(Report& report, const RunNames& names) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  const Ending ending = rebuildArchive(report, names);
  printEnding(report, names, ending);
  return report::finishRun(report, ending.outcome == Outcome::kDone);
}

}  // namespace converter
