#include "converter/extraction.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "formats/archive.h"
#include "formats/index.h"
#include "formats/names.h"
#include "formats/walk.h"
#include "io/file.h"
#include "io/pending_file.h"
#include "platform/platform.h"
#include "util/status.h"

namespace converter {
namespace {

using formats::ImageHeader;
using io::PendingFile;
using platform::NameHolds;
using report::Report;
using util::Status;

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
  io::Comparison comparison;  // of older pictures with the archive's images
  KeptFolder kept;
  std::uint32_t total = 0;
  std::uint32_t unwrittenFiles = 0;
};

std::string archiveName(const RunNames& names) {
  return names.baseName + ".spr";
}

// A file that could not be written is told in the table, with its reason,
// and the run goes on.
void reportUnwritten(Extraction& run, const Status& failure) {
  report::printFailure(run.report, failure);
  ++run.unwrittenFiles;
}

// The first name P + B + "(kept N)" that nothing has, made a folder.
Status keptFolder(Extraction& run, std::string& path) {
  KeptFolder& kept = run.kept;
  for (std::uint32_t n = 1; kept.path.empty() && n < 100000; ++n) {
    const std::string name = run.names.baseName + "(kept " + std::to_string(n) + ")";
    bool made = false;
    if (Status status = platform::makeFolder(run.names.directoryPrefix + name, made);
        !status.ok()) {
      return status;
    }
    if (made) {
      kept.path = run.names.directoryPrefix + name;
      kept.shownName = name;
    }
  }
  path = kept.path;
  // Every name taken: the system's words for that.
  return path.empty() ? Status::unwritable(std::strerror(EEXIST)) : Status();
}

// Where an older image file goes in the kept folder: under the name it had,
// without whatever folder (or drive) the base name holds.
std::string keptPath(const std::string& folder, const RunNames& names, std::uint32_t section,
                     std::uint32_t image) {
  const std::string& base = names.baseName;
  return folder + "/" +
         formats::imageFileName("", base.substr(platform::nameStart(base)), section, image);
}

// What stands under the name of a file the run would write; a failure when
// it cannot be looked at, or is no file.
Status lookAtOutput(const std::string& path, const std::string& shownName, NameHolds& holds) {
  Status status = platform::lookAtName(path, holds);
  if (status.ok()) status = platform::refusalOf(holds, Status::Code::kUnwritable);
  return std::move(status).about(shownName);
}

// The image file of one image: where it goes, and its name in the report.
struct ImageFile {
  std::uint32_t section;
  std::uint32_t image;
  std::string path;
  std::string name;
  platform::FileStamp older = {};  // the older file under the name, as it was compared
};

// Puts the written picture in place with the older one kept in the kept
// folder.
Status commitKeepingOlder(Extraction& run, PendingFile& pending, const ImageFile& file) {
  std::string folder;
  if (Status made = keptFolder(run, folder); !made.ok()) return std::move(made).about(file.name);
  if (Status committed = pending.commit(keptPath(folder, run.names, file.section, file.image));
      !committed.ok()) {
    // A folder made for nothing is not left behind.
    if (run.kept.pictures == 0 && platform::removeFolder(folder).ok()) run.kept.path.clear();
    return committed;
  }
  report::printLine(run.report, "Kept the older " + file.name + " in " + run.kept.shownName);
  ++run.kept.pictures;
  return {};
}

// Writes the new image file whole and puts it in place: over an older file
// that stores the same image, or with the older one kept when it does not.
// A failure to read the archive ends the run; one to write is the picture's.
Status writeImage(Extraction& run, const ImageFile& file, PendingFile::Where where,
                  const ImageHeader& header, const std::string& typeName, bool keepOlder) {
  PendingFile pending(file.path, file.name, "Zerbolt", where);
  Status status = pending.create();
  if (status.ok()) {
    status = formats::dds::writeImageFile(pending.file(), run.templates, typeName, header,
                                          run.archive, run.walk.dataOffset());
  }
  if (!status.ok()) return status;
  if (!keepOlder) {
    // An edit saved since the comparison is kept, never replaced.
    bool changed = false;
    const bool over = where == PendingFile::Where::kBeside;
    Status committed = pending.commit("", over ? &file.older : nullptr, &changed);
    if (!changed) return committed;
  }
  return commitKeepingOlder(run, pending, file);
}

// What an older file under an image file's name holds.
enum class Older {
  kTheFile,     // the very bytes the extraction would write: nothing to do
  kThePicture,  // what the rebuild stores from it is the image (another header, a tail)
  kAnother,     // an edited picture, or one the rebuild would refuse
};

// Looks at the older file under the image file's name; a failed read of
// it, or of the archive, ends the run: an older file that cannot be read
// cannot be told from an edited one. It is closed again before anything
// moves it (Windows moves no file over an open one).
Status lookAtOlder(Extraction& run, ImageFile& image, const ImageHeader& header,
                   const std::string& typeName, Older& older) {
  io::File file;
  Status status = io::File::openInput(image.path, image.name, file);
  if (status.ok()) status = file.stamp(image.older);
  bool stores = false;
  if (status.ok()) {
    status = formats::dds::storesImage(file, header, run.archive, run.walk.dataOffset(),
                                       run.comparison, stores);
  }
  if (!status.ok()) return status;
  older = Older::kAnother;
  if (!stores) return {};
  const std::string expected = formats::dds::imageFileHeader(run.templates, typeName, header);
  std::string head(expected.size(), '\0');
  if (Status read = file.read(0, head.data(), head.size()); !read.ok()) return read;
  const bool whole = file.size() == expected.size() + header.dataSize && head == expected;
  older = whole ? Older::kTheFile : Older::kThePicture;
  return {};
}

// Saves one image of known type; an older file of its name that stores
// another picture (an edited one) is kept, one that is read-only is never
// replaced, and anything but a file under the name is left alone.
Status saveImage(Extraction& run, std::uint32_t section, std::uint32_t image,
                 const ImageHeader& header, const std::string& typeName) {
  run.report.showBeforeCopying(header.dataSize);
  std::string path = imagePath(run.names, section, image);
  std::string name = path.substr(run.names.directoryPrefix.size());
  ImageFile file{section, image, std::move(path), std::move(name)};
  NameHolds holds = NameHolds::kNothing;
  if (Status looked = lookAtOutput(file.path, file.name, holds); !looked.ok()) return looked;
  if (holds == NameHolds::kNothing) {
    return writeImage(run, file, PendingFile::Where::kInPlace, header, typeName, false);
  }
  Older older = Older::kAnother;
  if (Status looked = lookAtOlder(run, file, header, typeName, older); !looked.ok()) return looked;
  if (older == Older::kTheFile) return {};
  if (holds == NameHolds::kReadOnlyFile) {
    if (older == Older::kThePicture) return {};
    return Status::unwritable(std::string(util::cause::kReadOnly)).about(file.name);
  }
  return writeImage(run, file, PendingFile::Where::kBeside, header, typeName,
                    older == Older::kAnother);
}

// Extracts one image; a failure (a failed read) ends the run.
Status extractImage(Extraction& run, std::uint32_t section, std::uint32_t image,
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
    return {};
  }
  Status saved = saveImage(run, section, image, header, typeName);
  if (saved.code() != Status::Code::kUnwritable) return saved;
  reportUnwritten(run, saved);
  return {};
}

// What the extraction does with each record of the walk.
struct ExtractionSteps {
  Extraction& run;

  Status sectionCount(std::uint32_t count) {
    run.index.writeSectionCount(count);
    report::printSectionCount(run.report, run.names.name, count);
    return {};
  }

  Status imageCount(std::uint32_t section, std::uint32_t count, bool goesOn) {
    run.index.writeImageCount(count);
    report::printSectionStart(run.report, section, count, goesOn);
    return {};
  }

  void beforeImage() { run.report.keepUp(); }

  Status image(std::uint32_t section, std::uint32_t image, const ImageHeader& header) {
    return extractImage(run, section, image, header);
  }
};

// The index, written under a temporary name unless nothing has its name;
// a failure when it must not or cannot be written (a read-only file or
// anything but a file under its name).
Status openIndex(std::optional<PendingFile>& index, const RunNames& names) {
  const std::string path = names.directoryPrefix + names.baseName + ".rep";
  const std::string shownName = names.baseName + ".rep";
  NameHolds holds = NameHolds::kNothing;
  Status status = lookAtOutput(path, shownName, holds);
  if (!status.ok()) return status;
  if (holds == NameHolds::kReadOnlyFile) {
    return Status::unwritable(std::string(util::cause::kReadOnly)).about(shownName);
  }
  index.emplace(
      path, shownName, "Zerbolt",
      holds == NameHolds::kNothing ? PendingFile::Where::kInPlace : PendingFile::Where::kBeside);
  status = index->create();
  if (!status.ok()) index.reset();
  return status;
}

// Walks `archive`, writing the image files, and the index, which is put in
// place only when the walk went to its end.
report::Ending extractArchive(Report& report, const RunNames& names,
                              const formats::dds::HeaderTemplates& templates,
                              const io::File& archive) {
  std::optional<PendingFile> indexFile;
  const Status indexOpened = openIndex(indexFile, names);
  Extraction run{report,
                 names,
                 templates,
                 archive,
                 formats::ArchiveWalk(archive),
                 formats::IndexWriter(indexFile ? &indexFile->file() : nullptr),
                 {},
                 {},
                 0,
                 0};
  if (!indexOpened.ok()) reportUnwritten(run, indexOpened);
  ExtractionSteps steps{run};
  report::Ending ending;
  ending.failure = formats::walk(run.walk, steps, ending.stop);
  if (!ending.failure.ok()) return ending;
  if (!ending.stop && indexFile) {
    // An index that opened but failed later (a full disk, or a write lost on
    // closing) is told once, here.
    Status written = run.index.finish();
    if (written.ok()) written = indexFile->commit();
    if (!written.ok()) reportUnwritten(run, written);
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
  io::File archive;
  Status opened =
      io::File::openInput(names.directoryPrefix + archiveName(names), archiveName(names), archive);
  if (!opened.ok()) {
    return report::finishRun(report, "Zerbolt", report::Ending::abort(std::move(opened)));
  }
  return report::finishRun(report, "Zerbolt", extractArchive(report, names, templates, archive));
}

}  // namespace converter
