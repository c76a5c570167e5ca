#include "converter/rebuild.h"

#include <optional>
#include <string>
#include <utility>

#include "formats/archive.h"
#include "formats/dds.h"
#include "formats/file.h"
#include "formats/index.h"
#include "formats/names.h"

namespace converter {
namespace {

using formats::ImageHeader;
using report::Report;

enum class Outcome {
  kDone,
  kMissingIndex,
  kMissingFile,
  kUnconvertible,
  kCutFile,
  kTooLarge,
  kWriteFailed,
  kIndexStopped
};

// How a run ended, and at which image when that matters.
struct Ending {
  Outcome outcome = Outcome::kDone;
  std::uint32_t section = 0;
  std::uint32_t image = 0;
};

struct Rebuild {
  Report& report;
  const RunNames& names;
  formats::IndexReader& index;
  formats::File& archive;
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

bool writeImage(Rebuild& run, const ImageHeader& header, const formats::File& imageFile,
                std::uint64_t dataOffset) {
  std::string bytes(formats::kImageHeaderSize, '\0');
  formats::encodeImageHeader(bytes.data(), header);
  return formats::writeHeaderAndRange(run.archive, run.position, std::move(bytes), imageFile,
                                      dataOffset, header.dataSize, 0);
}

Outcome rebuildImage(Rebuild& run, std::uint32_t section, std::uint32_t image) {
  run.report.keepUp();
  ImageHeader before;
  if (!run.index.readHeader(before)) return Outcome::kIndexStopped;
  const std::string fileName =
      formats::imageFileName(run.names.directoryPrefix, run.names.baseName, section, image);
  const formats::File imageFile = formats::File::openExisting(fileName);
  if (!imageFile.isOpen()) return Outcome::kMissingFile;
  const formats::dds::ImageFileFields fields = formats::dds::readImageFileFields(imageFile);
  // Its DX10 header cut, a file's format cannot be told: it is a cut file.
  if (fields.fourCC == formats::dds::kFourCCDx10 && imageFile.size() < fields.dataOffset()) {
    return Outcome::kCutFile;
  }
  const std::optional<std::uint32_t> typeCode = formats::dds::classifyImageFile(fields);
  if (!typeCode) return Outcome::kUnconvertible;
  const std::optional<std::uint32_t> dataSize = formats::dds::imageDataSize(fields, *typeCode);
  if (!dataSize) return Outcome::kTooLarge;
  // A file cut short (a crashed editor, a full disk) would come back padded
  // with zeros: a damaged texture.
  if (imageFile.size() < fields.dataOffset() + *dataSize) return Outcome::kCutFile;

  const ImageHeader after{*typeCode,    before.RFWidth, before.RFHeight,
                          fields.width, fields.height,  *dataSize};
  reportChanges(run, section, image, before, after);
  run.report.showBeforeCopying(after.dataSize);
  const bool written = writeImage(run, after, imageFile, fields.dataOffset());
  run.position += formats::kImageHeaderSize + after.dataSize;
  return written ? Outcome::kDone : Outcome::kWriteFailed;
}

Ending rebuildSection(Rebuild& run, std::uint32_t section) {
  std::uint32_t imageCount = 0;
  if (!run.index.readImageCount(imageCount)) return {Outcome::kIndexStopped};
  const bool written = formats::writeU32(run.archive, run.position, imageCount);
  run.position += 4;
  report::printLine(run.report, "Section " + report::numberText(section) + " : " +
                                    report::numberText(imageCount) + " Images");
  if (!written) return {Outcome::kWriteFailed};
  for (std::uint64_t image = 1; image <= imageCount; ++image) {
    const auto number = static_cast<std::uint32_t>(image);
    const Outcome outcome = rebuildImage(run, section, number);
    if (outcome != Outcome::kDone) return {outcome, section, number};
  }
  return {};
}

// Walks the index and writes the new archive, which is put in place only when
// every image went in.
Ending rebuildArchive(Report& report, const RunNames& names, std::uint64_t& indexSize) {
  const std::string stem = names.directoryPrefix + names.baseName;
  const formats::File indexFile = formats::File::openExisting(stem + ".rep");
  if (!indexFile.isOpen()) return {Outcome::kMissingIndex};
  formats::PendingFile newArchive(stem + "(new).spr");
  if (!newArchive.isOpen()) return {Outcome::kWriteFailed};
  formats::IndexReader index(indexFile);
  indexSize = index.fileSize();
  formats::File& archive = newArchive.file();

  std::uint32_t sectionCount = 0;
  index.readSectionCount(sectionCount);
  const bool written = formats::writeFloat32(archive, 0, formats::kFormatVersion) &&
                       formats::writeU32(archive, formats::kSectionCountOffset, sectionCount);
  report::printLine(report, "Number of section(s) to be put in " + names.baseName +
                                "(new).spr: " + report::numberText(sectionCount));
  if (!written) return {Outcome::kWriteFailed};

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

void printEnding(Report& report, const RunNames& names, const Ending& ending,
                 std::uint64_t indexSize) {
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
    case Outcome::kUnconvertible:
      printUnconvertible(
          report, imageName(names, ending.section, ending.image),
          "Unknown Filetype. Please Use DXT1, DXT3, DXT5, 5.6.5 RGB, or 8.8.8.8 ARGB");
      break;
    case Outcome::kCutFile:
      printUnconvertible(report, imageName(names, ending.section, ending.image),
                         "The file ends before its image data do. Please save it again");
      break;
    case Outcome::kTooLarge:
      printUnconvertible(report, imageName(names, ending.section, ending.image),
                         "The image is too large for an archive. Please save it smaller");
      break;
    case Outcome::kWriteFailed:
      report::blankLine(report);
      report::printLine(report, "Couldnt write " + names.baseName + "(new).spr");
      report::blankLine(report);
      printAbort(report);
      break;
    case Outcome::kIndexStopped:
      report::printWalkStopped(report, indexSize);
      report::blankLine(report);
      printAbort(report);
      break;
  }
}

}  // namespace

void runRebuild(Report& report, const RunNames& names) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  std::uint64_t indexSize = 0;
  const Ending ending = rebuildArchive(report, names, indexSize);
  printEnding(report, names, ending, indexSize);
  report::finishRun(report);
}

}  // namespace converter
