#include "converter/extraction.h"

#include <optional>
#include <string>

#include "formats/archive.h"
#include "io/file.h"
#include "formats/index.h"
#include "formats/names.h"
#include "io/pending_file.h"
#include "platform/platform.h"

namespace converter {
namespace {

using formats::ImageHeader;
using io::PendingFile;
using platform::NameHolds;
using report::Report;

// The folder a run moves edited pictures into before it writes over their
// names: made on the first one, beside the archive.
struct KeptFolder {
  std::string path;  // empty until made
  std::string shownName;
  std::uint32_t pictures = 0;
};

// One run's files, walk and tally.
struct Extraction {
  Report& report;
  const RunNames& names;
  const formats::dds::HeaderTemplates& templates;
  const io::File& archive;
  formats::ArchiveWalk walk;
  formats::IndexWriter index;
  KeptFolder kept;
  std::uint32_t total = 0;
  std::uint32_t unwrittenFiles = 0;
  std::string unreadFile;  // the file a read failed in, shown without its folder
};

void reportUnwritten(Extraction& run, const std::string& fileName) {
  report::printLine(run.report, "Couldnt write " + fileName);
  ++run.unwrittenFiles;
}

// The first name P + B + "(kept N)" that nothing has, made a folder; empty
// when none can be made.
const std::string& keptFolder(Extraction& run) {
  KeptFolder& kept = run.kept;
  for (std::uint32_t n = 1; kept.path.empty() && n < 100000; ++n) {
    const std::string name = run.names.baseName + "(kept " + std::to_string(n) + ")";
    const platform::FolderMade made = platform::makeFolder(run.names.directoryPrefix + name);
    if (made == platform::FolderMade::kFailed) break;
    if (made == platform::FolderMade::kMade) {
      kept.path = run.names.directoryPrefix + name;
      kept.shownName = name;
    }
  }
  return kept.path;
}

// Where an older image file goes in the kept folder: under the name it had,
// without whatever folder (or drive) the base name holds.
std::string keptPath(const std::string& folder, const RunNames& names, std::uint32_t section,
                     std::uint32_t image) {
  const std::string& base = names.baseName;
  return folder + "/" +
         formats::imageFileName("", base.substr(platform::nameStart(base)), section, image);
}

enum class Saved { kDone, kUnwritten, kReadFailed };

// Writes the new image file whole and puts it in place: over an older file
// that stores the same image, or with the older one kept when it does not.
Saved writeImage(Extraction& run, const std::string& path, PendingFile::Where where,
                 const ImageHeader& header, const std::string& typeName, bool keepOlder,
                 std::uint32_t section, std::uint32_t image) {
  PendingFile pending(path, "Zerbolt", where);
  const bool written =
      pending.isOpen() && formats::dds::writeImageFile(pending.file(), run.templates, typeName,
                                                       header, run.archive, run.walk.dataOffset());
  if (run.walk.failed()) return Saved::kReadFailed;
  if (!written) return Saved::kUnwritten;
  if (!keepOlder) return pending.commit() ? Saved::kDone : Saved::kUnwritten;
  const std::string folder = keptFolder(run);
  if (folder.empty()) return Saved::kUnwritten;
  if (!pending.commit(keptPath(folder, run.names, section, image))) {
    // A folder made for nothing is not left behind.
    if (run.kept.pictures == 0 && platform::removeFolder(folder)) run.kept.path.clear();
    return Saved::kUnwritten;
  }
  const std::string shown = formats::imageFileName("", run.names.baseName, section, image);
  report::printLine(run.report, "Kept the older " + shown + " in " + run.kept.shownName);
  ++run.kept.pictures;
  return Saved::kDone;
}

// What an older file under an image file's name holds.
enum class Older {
  kTheFile,     // the very bytes the extraction would write: nothing to do
  kThePicture,  // what the rebuild stores from it is the image (another header, a tail)
  kAnother,     // an edited picture, or one the rebuild would refuse
};

// Looks at the older file under `path`; nothing when it cannot be read, as
// it then cannot be told from an edited one. It is closed again before
// anything moves it (Windows moves no file over an open one).
std::optional<Older> lookAtOlder(const Extraction& run, const std::string& path,
                                 const ImageHeader& header, const std::string& typeName) {
  const io::File older = io::File::openInput(path);
  const bool same = older.isOpen() &&
                    formats::dds::storesImage(older, header, run.archive, run.walk.dataOffset());
  if (!older.isOpen() || older.readFailed()) return std::nullopt;
  if (!same) return Older::kAnother;
  const std::string expected = formats::dds::imageFileHeader(run.templates, typeName, header);
  std::string head(expected.size(), '\0');
  older.read(0, head.data(), head.size());
  if (older.readFailed()) return std::nullopt;
  const bool whole = older.size() == expected.size() + header.dataSize && head == expected;
  return whole ? Older::kTheFile : Older::kThePicture;
}

// Saves one image of known type; an older file of its name that stores
// another picture (an edited one) is kept, one that is read-only is never
// replaced, and anything but a file under the name is left alone.
Saved saveImage(Extraction& run, std::uint32_t section, std::uint32_t image,
                const ImageHeader& header, const std::string& typeName) {
  run.report.showBeforeCopying(header.dataSize);
  const std::string path =
      formats::imageFileName(run.names.directoryPrefix, run.names.baseName, section, image);
  const NameHolds holds = platform::lookAtName(path);
  if (holds == NameHolds::kOther) return Saved::kUnwritten;
  if (holds == NameHolds::kNothing) {
    return writeImage(run, path, PendingFile::Where::kInPlace, header, typeName, false, section,
                      image);
  }
  const std::optional<Older> older = lookAtOlder(run, path, header, typeName);
  if (!older || run.walk.failed()) return Saved::kReadFailed;
  if (*older == Older::kTheFile) return Saved::kDone;
  if (holds == NameHolds::kReadOnlyFile) {
    return *older == Older::kThePicture ? Saved::kDone : Saved::kUnwritten;
  }
  return writeImage(run, path, PendingFile::Where::kBeside, header, typeName,
                    *older == Older::kAnother, section, image);
}

// Extracts one image; false when the walk stopped or a read failed instead.
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
  const std::string fileName = formats::imageFileName("", run.names.baseName, section, image);
  switch (saveImage(run, section, image, header, typeName)) {
    case Saved::kDone:
      return true;
    case Saved::kUnwritten:
      reportUnwritten(run, fileName);
      return true;
    case Saved::kReadFailed:
      run.unreadFile = run.walk.failed() ? run.names.baseName + ".spr" : fileName;
      return false;
  }
  return false;
}

// Extracts one section; false when the walk stopped or a read failed inside it.
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
  std::uint32_t keptPictures;
  std::string keptFolder;
  bool stopped;
  std::string unreadFile;  // empty unless a read failed
};

// The index, written under a temporary name unless nothing has its name;
// not open when it must not be written (a read-only file or anything but a
// file under its name).
void openIndex(std::optional<PendingFile>& index, const std::string& path) {
  const NameHolds holds = platform::lookAtName(path);
  if (holds == NameHolds::kOther || holds == NameHolds::kReadOnlyFile) return;
  index.emplace(
      path, "Zerbolt",
      holds == NameHolds::kNothing ? PendingFile::Where::kInPlace : PendingFile::Where::kBeside);
  if (!index->isOpen()) index.reset();
}

// Walks `archive`, writing the image files, and the index, which is put in
// place only when the walk went to its end.
Tally extractArchive(Report& report, const RunNames& names,
                     const formats::dds::HeaderTemplates& templates, const io::File& archive) {
  std::optional<PendingFile> indexFile;
  openIndex(indexFile, names.directoryPrefix + names.baseName + ".rep");
  io::File unwritable;
  Extraction run{report,
                 names,
                 templates,
                 archive,
                 formats::ArchiveWalk(archive),
                 formats::IndexWriter(indexFile ? indexFile->file() : unwritable),
                 {},
                 0,
                 0,
                 {}};
  const std::string indexName = names.baseName + ".rep";
  if (!indexFile) reportUnwritten(run, indexName);

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
  if (run.walk.failed()) run.unreadFile = names.baseName + ".spr";
  const bool stopped = run.unreadFile.empty() && run.walk.stopped();
  if (stopped) report::printWalkStopped(report, run.walk.stop());
  if (run.unreadFile.empty() && !stopped && indexFile) {
    run.index.flush();
    // An index that opened but failed later (a full disk, or a write lost on
    // closing) is told once, here.
    if (run.index.failed() || !indexFile->commit()) reportUnwritten(run, indexName);
  }
  return {run.total, run.unwrittenFiles, run.kept.pictures, run.kept.shownName,
          stopped,   run.unreadFile};
}

}  // namespace

int runExtraction(Report& report, const RunNames& names,
                  const formats::dds::HeaderTemplates& templates) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  const std::string archiveName = names.baseName + ".spr";
  const io::File archive = io::File::openInput(names.directoryPrefix + archiveName);
  if (!archive.isOpen()) {
    report::printMissingFileAbort(report, archiveName, "Zerbolt");
    return report::finishRun(report, false);
  }
  const Tally tally = extractArchive(report, names, templates, archive);
  if (!tally.unreadFile.empty()) {
    report::printFileFailureAbort(report, "read", tally.unreadFile, "Zerbolt");
    return report::finishRun(report, false);
  }
  report::blankLine(report);
  report::printLine(report, report::numberText(tally.total) + " image(s) in " + names.name);
  report::blankLine(report);
  if (tally.keptPictures > 0) {
    report::printLine(report, "Kept " + report::numberText(tally.keptPictures) +
                                  " older picture(s) in " + tally.keptFolder);
  }
  if (tally.unwrittenFiles == 0) {
    report::printLine(report, "Done!");
  } else {
    report::printLine(report, "Done, but " + report::numberText(tally.unwrittenFiles) +
                                  " file(s) could not be written!");
  }
  return report::finishRun(report, tally.unwrittenFiles == 0 && !tally.stopped);
}

}  // namespace converter
