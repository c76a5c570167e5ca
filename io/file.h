// A file addressed by absolute byte offsets, opened in one of two ways: a file
// the run writes (openOutput) or one it reads (openInput). Neither ever
// truncates a file. A new file put in place whole is a PendingFile
// (pending_file.h); ranges are copied between files by copy.h.
//
// Bytes past the end read as zeros, and a file that could not be opened
// leaves the reader's buffer as it was. A read the system fails is no end of
// the file: the file remembers it (readFailed), and from then on every read
// gives zeros, for the caller to stop at the next record and tell it. Writes
// report whether every byte reached the file.
//
// Archives and indexes are read as a stream of small records (24-byte headers,
// 4-byte counts), so small reads are served from a read-ahead window: it
// starts small, so that records far apart (the headers of large images) cost
// little, and doubles while the reads run on into it. The file's length is
// taken once at the open and then follows this process's own writes; nothing
// else is expected to change a file during a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace io {

class File {
 public:
  File() = default;  // a file that failed to open
  // A file the run writes: read and write, created empty when missing,
  // read-only when it can be neither updated nor created; never through a
  // link, which counts as a file that could not be opened.
  static File openOutput(const std::string& path);
  // A file the run reads: never created, not open when there is none to
  // read; read through a link.
  static File openInput(const std::string& path);
  // Takes charge of a file the platform opened.
  static File adopt(platform::OpenedFile opened);

  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  bool isOpen() const { return handle_ != platform::kNoFile; }
  bool isWritable() const { return writable_; }
  // True once the system failed a read of the file, or could not tell its
  // length when it was opened (a file then neither read nor written).
  bool readFailed() const { return readFailed_; }
  std::uint64_t size() const;

  // Fills `buffer` with the `size` bytes at `offset`, zeros where the file
  // ends before them or once a read has failed; returns how many came from
  // the file. When the file is not open the buffer is left untouched.
  std::size_t read(std::uint64_t offset, char* buffer, std::size_t size) const;

  // False when the file is not open for writing or a byte could not be written.
  bool write(std::uint64_t offset, const char* data, std::size_t size);

  // Copies up to `size` bytes of `from` inside the system, without passing
  // them through this process; returns how many it copied (0 where the
  // system cannot).
  std::uint64_t copyFrom(const File& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                         std::uint64_t size);

  // Zeros over [begin, end): written out over the bytes the file held when
  // it was opened, so that none of them stays; past them left to the file
  // system as a hole, so that a huge range costs no disk. False when a byte
  // could not be written.
  bool writeZeros(std::uint64_t begin, std::uint64_t end);

  // False when the system reports, on closing, that written bytes were lost.
  bool close();

 private:
  static constexpr std::size_t kFirstWindow = 4 << 10;
  static constexpr std::size_t kLargestWindow = 256 << 10;

  std::size_t readThroughWindow(std::uint64_t offset, char* buffer, std::size_t size) const;
  // What the system read, noting a failure.
  std::size_t readFromSystem(std::uint64_t offset, char* buffer, std::size_t size) const;

  platform::FileHandle handle_ = platform::kNoFile;
  bool writable_ = false;
  std::uint64_t size_ = 0;
  std::uint64_t openedSize_ = 0;
  mutable bool readFailed_ = false;
  // The read-ahead window: bytes [windowStart_, windowStart_ + windowFilled_)
  // of the file.
  mutable std::vector<char> window_;
  mutable std::uint64_t windowStart_ = 0;
  mutable std::size_t windowFilled_ = 0;
  mutable std::size_t nextWindowSize_ = kFirstWindow;
};

}  // namespace io
