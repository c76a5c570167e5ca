#include "converter/extraction.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "formats/archive.h"
#include "formats/index.h"
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

// A file that could not be written is told in the table, with its reason,
// and the run goes on.
void reportUnwritten(Extraction& run, const Status& failure) {
  report::printFailure(run.report, failure);
  ++run.unwrittenFiles;
}

// The first kept folder's name that nothing has, made a folder.
Status makeKeptFolder(Extraction& run, std::string& path) {
  KeptFolder& kept = run.kept;
  for (std::uint32_t n = 1; kept.path.empty() && n < 100000; ++n) {
    RunFile folder = keptFolder(run.names, n);
    bool made = false;
    if (Status status = platform::makeFolder(folder.path, made); !status.ok()) return status;
    if (made) {
      kept.path = std::move(folder.path);
      kept.shownName = std::move(folder.name);
    }
  }
  path = kept.path;
  // Every name taken: the system's words for that.
  return path.empty() ? Status::unwritable(std::strerror(EEXIST)) : Status();
}

// What stands under the name of a file the run would write; a failure when
// it cannot be looked at, or is no file.
Status lookAtOutput(const RunFile& file, NameHolds& holds) {
  Status status = platform::lookAtName(file.path, holds);
  if (status.ok()) status = platform::refusalOf(holds, Status::Code::kUnwritable);
  return std::move(status).about(file.name);
}

// One image's work, decided once: its file and what the file holds.
struct ImageWork {
  std::uint32_t section;
  std::uint32_t image;
  RunFile file;
  formats::dds::ImageFileContent content;
  platform::FileStamp older = {};  // the older file under the name, as it was compared
};

// What the write of an image file does with an older file under its name.
enum class OlderFile {
  kNone,     // nothing has the name: the file is written in place
  kReplace,  // it stores the same picture: replaced, unless edited since
  kKeep,     // another picture: moved to the kept folder
};

// Puts the written picture in place with the older one kept in the kept
// folder.
Status commitKeepingOlder(Extraction& run, PendingFile& pending, const ImageWork& work) {
  std::string folder;
  if (Status made = makeKeptFolder(run, folder); !made.ok())
    return std::move(made).about(work.file.name);
  if (Status committed =
          pending.commit(keptPicturePath(folder, run.names, work.section, work.image));
      !committed.ok()) {
    // A folder made for nothing is not left behind.
    if (run.kept.pictures == 0 && platform::removeFolder(folder).ok()) run.kept.path.clear();
    return committed;
  }
  report::printLine(run.report, "Kept the older " + work.file.name + " in " + run.kept.shownName);
  ++run.kept.pictures;
  return {};
}

// Writes the new image file whole and puts it in place, doing with the older
// file what `older` says. A failure to read the archive ends the run; one to
// write is the picture's.
Status writeImage(Extraction& run, const ImageWork& work, OlderFile older) {
  PendingFile pending(
      work.file.path, work.file.name, kTemporaryNameStart,
      older == OlderFile::kNone ? PendingFile::Where::kInPlace : PendingFile::Where::kBeside);
  Status status = pending.create();
  if (status.ok()) status = formats::dds::writeImageFile(pending.file(), work.content);
  if (!status.ok()) return status;
  if (older != OlderFile::kKeep) {
    // An edit saved since the comparison is kept, never replaced.
    bool changed = false;
    Status committed =
        pending.commit("", older == OlderFile::kReplace ? &work.older : nullptr, &changed);
    if (!changed) return committed;
  }
  return commitKeepingOlder(run, pending, work);
}

// Looks at the older file under the image file's name; a failed read of
// it, or of the archive, ends the run: an older file that cannot be read
// cannot be told from an edited one. It is closed again before anything
// moves it (Windows moves no file over an open one).
Status lookAtOlder(Extraction& run, ImageWork& work, formats::dds::FileHolds& holds) {
  io::File file;
  Status status = io::File::openInput(work.file.path, work.file.name, file);
  if (status.ok()) status = file.stamp(work.older);
  if (status.ok())
    status = formats::dds::compareImageFile(file, work.content, run.comparison, holds);
  return status;
}

// Saves one image of known type; an older file of its name that stores
// another picture (an edited one) is kept, one that is read-only is never
// replaced, and anything but a file under the name is left alone.
Status saveImage(Extraction& run, ImageWork& work) {
  using formats::dds::FileHolds;
  run.report.showBeforeCopying(work.content.image.dataSize);
  NameHolds holds = NameHolds::kNothing;
  if (Status looked = lookAtOutput(work.file, holds); !looked.ok()) return looked;
  if (holds == NameHolds::kNothing) return writeImage(run, work, OlderFile::kNone);
  FileHolds older = FileHolds::kAnother;
  if (Status looked = lookAtOlder(run, work, older); !looked.ok()) return looked;
  if (older == FileHolds::kTheFile) return {};
  if (holds == NameHolds::kReadOnlyFile) {
    if (older == FileHolds::kThePicture) return {};
    return Status::unwritable(std::string(util::cause::kReadOnly)).about(work.file.name);
  }
  return writeImage(run, work,
                    older == FileHolds::kAnother ? OlderFile::kKeep : OlderFile::kReplace);
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
  ImageWork work{section,
                 image,
                 imageFile(run.names, section, image),
                 {formats::dds::imageFileHeader(run.templates, typeName, header), header,
                  run.archive, run.walk.dataOffset()}};
  Status saved = saveImage(run, work);
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
  const RunFile file = indexFile(names);
  NameHolds holds = NameHolds::kNothing;
  Status status = lookAtOutput(file, holds);
  if (!status.ok()) return status;
  if (holds == NameHolds::kReadOnlyFile) {
    return Status::unwritable(std::string(util::cause::kReadOnly)).about(file.name);
  }
  index.emplace(
      file.path, file.name, kTemporaryNameStart,
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
  report::printPiece(report, std::string(kProgramName) + " - ");
  report::printLine(report, names.name);
  const RunFile archiveFile = converter::archiveFile(names);
  io::File archive;
  Status opened = io::File::openInput(archiveFile.path, archiveFile.name, archive);
  if (!opened.ok()) {
    return report::finishRun(report, kProgramName, report::Ending::abort(std::move(opened)));
  }
  return report::finishRun(report, kProgramName, extractArchive(report, names, templates, archive));
}

}  // namespace converter
