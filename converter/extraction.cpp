#include "converter/extraction.h"

#include <optional>
#include <string>
#include <variant>

#include "formats/archive.h"
#include "formats/index.h"
#include "formats/names.h"
#include "formats/walk.h"
#include "io/file.h"
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

std::string archiveName(const RunNames& names) {
  return names.baseName + ".spr";
}

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

enum class Saved { kDone, kUnwritten, kArchiveUnread, kOlderUnread };

// Writes the new image file whole and puts it in place: over an older file
// that stores the same image, or with the older one kept when it does not.
Saved writeImage(Extraction& run, const std::string& path, PendingFile::Where where,
                 const ImageHeader& header, const std::string& typeName, bool keepOlder,
                 std::uint32_t section, std::uint32_t image) {
  PendingFile pending(path, "Zerbolt", where);
  if (!pending.isOpen()) return Saved::kUnwritten;
  const io::Copied copied = formats::dds::writeImageFile(
      pending.file(), run.templates, typeName, header, run.archive, run.walk.dataOffset());
  if (copied == io::Copied::kReadFailed) return Saved::kArchiveUnread;
  if (copied == io::Copied::kWriteFailed) return Saved::kUnwritten;
  if (!keepOlder) return pending.commit() ? Saved::kDone : Saved::kUnwritten;
  const std::string folder = keptFolder(run);
  if (folder.empty()) return Saved::kUnwritten;
  if (!pending.commit(keptPath(folder, run.names, section, image))) {
    // A folder made for nothing is not left behind.
    if (run.kept.pictures == 0 && platform::removeFolder(folder)) run.kept.path.clear();
    return Saved::kUnwritten;
  }
  report::printLine(run.report, "Kept the older " + imageName(run.names, section, image) + " in " +
                                    run.kept.shownName);
  ++run.kept.pictures;
  return Saved::kDone;
}

// What an older file under an image file's name holds.
enum class Older {
  kTheFile,     // the very bytes the extraction would write: nothing to do
  kThePicture,  // what the rebuild stores from it is the image (another header, a tail)
  kAnother,     // an edited picture, or one the rebuild would refuse
};

// Looks at the older file under `path`; a failed read of it, or of the
// archive, ends the run: an older file that cannot be read cannot be told
// from an edited one. It is closed again before anything moves it (Windows
// moves no file over an open one).
std::variant<Older, Saved> lookAtOlder(const Extraction& run, const std::string& path,
                                       const ImageHeader& header, const std::string& typeName) {
  const io::File older = io::File::openInput(path);
  if (!older.isOpen()) return Saved::kOlderUnread;
  switch (formats::dds::storesImage(older, header, run.archive, run.walk.dataOffset())) {
    case io::Compared::kFirstUnread:
      return Saved::kOlderUnread;
    case io::Compared::kSecondUnread:
      return Saved::kArchiveUnread;
    case io::Compared::kDifferent:
      return Older::kAnother;
    case io::Compared::kSame:
      break;
  }
  const std::string expected = formats::dds::imageFileHeader(run.templates, typeName, header);
  std::string head(expected.size(), '\0');
  older.read(0, head.data(), head.size());
  if (older.readFailed()) return Saved::kOlderUnread;
  const bool whole = older.size() == expected.size() + header.dataSize && head == expected;
  return whole ? Older::kTheFile : Older::kThePicture;
}

// Saves one image of known type; an older file of its name that stores
// another picture (an edited one) is kept, one that is read-only is never
// replaced, and anything but a file under the name is left alone.
Saved saveImage(Extraction& run, std::uint32_t section, std::uint32_t image,
                const ImageHeader& header, const std::string& typeName) {
  run.report.showBeforeCopying(header.dataSize);
  const std::string path = imagePath(run.names, section, image);
  const NameHolds holds = platform::lookAtName(path);
  if (holds == NameHolds::kOther) return Saved::kUnwritten;
  if (holds == NameHolds::kNothing) {
    return writeImage(run, path, PendingFile::Where::kInPlace, header, typeName, false, section,
                      image);
  }
  const std::variant<Older, Saved> looked = lookAtOlder(run, path, header, typeName);
  if (const Saved* unread = std::get_if<Saved>(&looked)) return *unread;
  const Older older = std::get<Older>(looked);
  if (older == Older::kTheFile) return Saved::kDone;
  if (holds == NameHolds::kReadOnlyFile) {
    return older == Older::kThePicture ? Saved::kDone : Saved::kUnwritten;
  }
  return writeImage(run, path, PendingFile::Where::kBeside, header, typeName,
                    older == Older::kAnother, section, image);
}

// Extracts one image; false when a read failed.
bool extractImage(Extraction& run, std::uint32_t section, std::uint32_t image,
                  const ImageHeader& header) {
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
  switch (saveImage(run, section, image, header, typeName)) {
    case Saved::kDone:
      return true;
    case Saved::kUnwritten:
      reportUnwritten(run, imageName(run.names, section, image));
      return true;
    case Saved::kArchiveUnread:
      run.unreadFile = archiveName(run.names);
      return false;
    case Saved::kOlderUnread:
      run.unreadFile = imageName(run.names, section, image);
      return false;
  }
  return false;
}

// What the extraction does with each record of the walk.
struct ExtractionSteps {
  Extraction& run;

  bool sectionCount(std::uint32_t count) {
    run.index.writeSectionCount(count);
    report::printSectionCount(run.report, run.names.name, count);
    return true;
  }

  bool imageCount(std::uint32_t section, std::uint32_t count, bool goesOn) {
    run.index.writeImageCount(count);
    report::printSectionStart(run.report, section, count, goesOn);
    return true;
  }

  void beforeImage() { run.report.keepUp(); }

  bool image(std::uint32_t section, std::uint32_t image, const ImageHeader& header) {
    return extractImage(run, section, image, header);
  }
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
report::Ending extractArchive(Report& report, const RunNames& names,
                              const formats::dds::HeaderTemplates& templates,
                              const io::File& archive) {
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
  ExtractionSteps steps{run};
  const formats::WalkEnd end = formats::walk(run.walk, steps);
  if (end == formats::WalkEnd::kReadFailed) run.unreadFile = archiveName(names);
  if (!run.unreadFile.empty()) {
    return report::Ending::abort(report::Ending::Kind::kUnreadable, run.unreadFile);
  }
  report::Ending ending;
  if (end == formats::WalkEnd::kStopped) {
    ending.stop = run.walk.stop();
  } else if (indexFile) {
    run.index.flush();
    // An index that opened but failed later (a full disk, or a write lost on
    // closing) is told once, here.
    if (run.index.failed() || !indexFile->commit()) reportUnwritten(run, indexName);
  }
  ending.total = report::numberText(run.total) + " image(s) in " + names.name;
  if (run.kept.pictures > 0) {
    ending.kept = "Kept " + report::numberText(run.kept.pictures) + " older picture(s) in " +
                  run.kept.shownName;
  }
  ending.unwrittenFiles = run.unwrittenFiles;
  return ending;
}

}  // namespace

int runExtraction(Report& report, const RunNames& names,
                  const formats::dds::HeaderTemplates& templates) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  const io::File archive = io::File::openInput(names.directoryPrefix + archiveName(names));
  if (!archive.isOpen()) {
    return report::finishRun(
        report, "Zerbolt",
        report::Ending::abort(report::Ending::Kind::kMissing, archiveName(names)));
  }
  return report::finishRun(report, "Zerbolt", extractArchive(report, names, templates, archive));
}

}  // namespace converter
