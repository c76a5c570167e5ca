// The operating system as both tools see it: files addressed by absolute
// byte offsets, the standard output, and a pause that waits for a key.
//
// Everything that differs between operating systems lives behind these
// declarations, and the rest of the code never asks which one it runs on.
// Each system implements them in one file per concern: posix_files.cpp,
// posix_signals.cpp (every signal handler), posix_terminal.cpp, posix_console.cpp and
// posix_process.cpp; windows_files.cpp, windows_interrupt.cpp,
// windows_console.cpp and windows_process.cpp, with the names carried
// between UTF-8 and UTF-16 in windows_text.cpp and windows_paths.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/status.h"

namespace platform {

// An open file as the system knows it; kNoFile when nothing is open.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

struct OpenedFile {
  FileHandle handle = kNoFile;
  bool writable = false;
  std::uint64_t size = 0;  // the file's length when it was opened
};

// Every call here that can fail gives a util::Status whose cause is the
// system's own words for the failure, or one of util::cause's where the
// call refuses by the rules below; the file is not named yet.

// What tells one version of a file from another: the file itself (its
// volume and number), its length and when it was last written.
struct FileStamp {
  std::uint64_t volume = 0;
  std::uint64_t number = 0;
  std::uint64_t size = 0;
  std::int64_t written = 0;  // in the system's own units
  bool operator==(const FileStamp&) const = default;
};
// The stamp of an open file.
util::Status stampOf(FileHandle file, FileStamp& stamp);

// What stands under a name, the name itself looked at, not what a link
// there leads to.
enum class NameHolds {
  kNothing,
  kFile,
  kReadOnlyFile,  // one its owner may not write (owner-write bit clear; read-only attribute)
  kFolder,
  kLink,   // a symbolic link, a junction, any name that stands for another
  kOther,  // a device, a FIFO, a socket
};
// A failure (kUnwritable) when the name cannot be looked at. A `stamp`, when
// asked for, is that of the file found there, in the same look.
util::Status lookAtName(const std::string& path, NameHolds& holds, FileStamp* stamp = nullptr);

// Why a run does not take what stands under a name for a file: nothing for
// nothing, a file or a read-only file (which are the caller's to judge),
// else the status `code` with the cause for what stands there.
inline util::Status refusalOf(NameHolds holds, util::Status::Code code) {
  switch (holds) {
    case NameHolds::kFolder:
      return util::Status::failure(code, std::string(util::cause::kFolder));
    case NameHolds::kLink:
      return util::Status::failure(code, std::string(util::cause::kLink));
    case NameHolds::kOther:
      return util::Status::failure(code, std::string(util::cause::kNotAFile));
    case NameHolds::kNothing:
    case NameHolds::kFile:
    case NameHolds::kReadOnlyFile:
      break;
  }
  return {};
}

// Both opens take regular files only: anything else (a directory, a pipe, a
// device) is refused, so that a dropped folder or /dev/zero cannot hang or
// flood a run. Where the system can tell from the name, a device is not
// even opened, as opening a serial port resets what hangs on it and
// opening a tape rewinds it.

// Opens `path` for a file the run writes: for reading and writing as raw
// bytes, created empty when missing, never truncated; for reading only when
// it can be neither updated nor created. Never through a link: a link under
// the name (symbolic link, junction), whatever it leads to, is refused, so
// that a planted link cannot send the run's bytes to a file elsewhere. The
// test for a link is part of the open itself, leaving no moment in which
// the name could be swapped for one.
util::Status openOutputFile(const std::string& path, OpenedFile& opened);

// Opens `path` for reading, for a file the run reads, when it names a
// regular file that can be read (through a link that leads to one), and
// never creates one. kMissing only when nothing has the name (a link to
// nothing counts as nothing); anything that has it but cannot be opened for
// reading is kUnreadable. It is the existence test and the open in one
// step, so that no other process can slip a different file in between.
util::Status openInputFile(const std::string& path, OpenedFile& opened);

// Reads up to `size` bytes at `offset` into `buffer`; `got` tells how many
// were read, fewer only at the end of the file. A failure (kUnreadable) is
// an error the system reports (a disk or a share that fails, a region
// another program has locked).
util::Status readAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size,
                    std::size_t& got);

// Writes all `size` bytes at `offset` (kUnwritable when any is not written).
util::Status writeAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size);

// The file's current length in bytes.
util::Status fileSize(FileHandle file, std::uint64_t& size);

// Copies up to `size` bytes from one file to the other inside the system,
// without passing them through the process; returns how many were copied,
// fewer when `from` ends first or the system cannot copy this way (the
// caller then goes on by reading and writing, and meets any failure there).
std::uint64_t copyBetweenFiles(FileHandle from, std::uint64_t fromOffset, FileHandle to,
                               std::uint64_t toOffset, std::uint64_t size);

// kUnwritable when the system reports that written bytes were lost after all.
util::Status closeFile(FileHandle file);

// Lets the ranges of the file that are never written stay holes that take
// no disk; call it before writing past the end leaves one.
void allowHoles(FileHandle file);

// The name of a temporary file: `nameStart`, the process and the attempt.
// Short, so that it can be made in any folder that can hold the file it
// stands in for.
inline std::string temporaryName(std::string_view nameStart, unsigned long process,
                                 unsigned attempt) {
  return std::string(nameStart) + "-" + std::to_string(process) + "-" + std::to_string(attempt) +
         ".tmp";
}

// Creates `path` as a new, empty file for reading and writing, failing
// (kUnwritable) when anything at all has that name. Until
// noLongerRemoveIfInterrupted(path) the file is removed if the process is
// interrupted; no interruption can fall between its creation and that.
util::Status createNewFile(const std::string& path, OpenedFile& opened);

// createNewFile() in the folder of `besidePath`, under a temporaryName()
// that starts with `nameStart`; its name goes to `createdPath`.
util::Status createUniqueFile(const std::string& besidePath, std::string_view nameStart,
                              std::string& createdPath, OpenedFile& opened);

// Puts `from` in place of `to` in one step, replacing any file there.
util::Status replaceFile(const std::string& from, const std::string& to);

// As replaceFile(), but what stood under `to` is first moved to `keptAs`, a
// name nothing may hold yet, and moved back when `from` cannot be put in
// place; no interruption falls between the moves. A failure leaves both
// files where they were.
util::Status replaceFileKeeping(const std::string& from, const std::string& to,
                                const std::string& keptAs);

// Where the name of the file `path` names begins, after its folder as the
// system reads it: after the last "/" (on Windows also "\\", or a drive
// such as "C:").
std::size_t nameStart(std::string_view path);

// Makes the folder `path`: `made` false when anything at all has that name.
util::Status makeFolder(const std::string& path, bool& made);
// Removes the folder `path` if it is empty.
util::Status removeFolder(const std::string& path);

util::Status removeFile(const std::string& path);

// Names a file to remove if the process is interrupted (Ctrl-C, a terminal
// closed, a kill); a few can be named at once.
void removeIfInterrupted(const std::string& path);
void noLongerRemoveIfInterrupted(const std::string& path);

// Sets up what the process needs before it opens anything: standard
// streams that were closed are opened on nothing, so that no file takes
// their place; a broken pipe or a file-size limit does not end it, and the
// failed write is told instead. Call it first of all.
void prepareProcess();

// The first command-line argument after the program name, as UTF-8; empty
// when there is none. `argc` and `argv` are main's. Where the system keeps
// the command line more exactly than main has it (Windows: main's arguments
// are in the ANSI code page, which loses letters; its own copy is UTF-16),
// it is read from there, and main's serve only when that cannot be had.
std::string firstArgument(int argc, char** argv);

// The console: where the report goes, and where key presses come from.
class Console {
 public:
  virtual ~Console() = default;
  // Writes the bytes as they are; errors are ignored.
  virtual void write(std::string_view bytes) = 0;
  // Waits until a key is pressed; returns at once unless a person can both
  // see the report and answer it (input and output both the terminal, and
  // the process in its foreground), and as soon as the terminal goes away.
  virtual void waitForKey() = 0;
  // True when the output goes to a terminal or a console window, where a
  // person watches the report as it comes.
  virtual bool isInteractive() const { return false; }
};

// The process's own console: standard output and standard input.
Console& systemConsole();

}  // namespace platform
