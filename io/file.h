// A file addressed by absolute byte offsets, opened in one of two ways: a file
// the run writes (openOutput) or one it reads (openInput). Neither ever
// truncates a file. A new file put in place whole is a PendingFile
// (pending_file.h); ranges are copied between files by copy.h.
//
// A file knows the name the report gives it, and every failure it gives
// names it. Bytes past the length the file had when it was opened read as
// zeros; bytes before it that the system no longer gives (another program
// cut the file meanwhile) are a failed read, as a read the system fails is:
// neither is taken for the end of the file.
//
// Archives and indexes are read as a stream of small records (24-byte headers,
// 4-byte counts), so small reads are served from a read-ahead window: it
// starts small, so that records far apart (the headers of large images) cost
// little, and doubles while the reads run on into it. The file's length is
// taken once at the open and then follows this process's own writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "util/status.h"

namespace io {

class File {
 public:
  File() = default;  // no file
  // A file the run writes: read and write, created empty when missing,
  // read-only when it can be neither updated nor created; never through a
  // link. Named by its path.
  static util::Status openOutput(const std::string& path, File& file);
  // A file the run reads, named `shownName`: never created; read through a
  // link.
  static util::Status openInput(const std::string& path, std::string_view shownName, File& file);
  // Takes charge of a file the platform opened, named `shownName`.
  static File adopt(const platform::OpenedFile& opened, std::string_view shownName);

  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  bool isOpen() const { return handle_ != platform::kNoFile; }
  bool isWritable() const { return writable_; }
  const std::string& name() const { return name_; }
  std::uint64_t size() const;

  // Fills `buffer` with the `size` bytes at `offset`, zeros where they lie
  // past the file's length. A failure leaves the buffer undefined.
  util::Status read(std::uint64_t offset, char* buffer, std::size_t size) const;

  util::Status write(std::uint64_t offset, const char* data, std::size_t size);

  // Copies up to `size` bytes of `from` inside the system, without passing
  // them through this process; returns how many it copied (0 where the
  // system cannot).
  std::uint64_t copyFrom(const File& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                         std::uint64_t size);

  // Zeros over [begin, end): written out over the bytes the file held when
  // it was opened, so that none of them stays; past them left to the file
  // system as a hole, so that a huge range costs no disk.
  util::Status writeZeros(std::uint64_t begin, std::uint64_t end);

  // What tells this version of the file from another (platform::FileStamp).
  util::Status stamp(platform::FileStamp& stamp) const;

  // Fails when the system reports, on closing, that written bytes were lost.
  util::Status close();

 private:
  static constexpr std::size_t kFirstWindow = 4 << 10;
  static constexpr std::size_t kLargestWindow = 256 << 10;

  util::Status readThroughWindow(std::uint64_t offset, char* buffer, std::size_t size) const;
  // Reads `size` bytes at `offset`, all of which lay inside the file.
  util::Status readWhole(std::uint64_t offset, char* buffer, std::size_t size) const;
  util::Status named(util::Status status) const { return std::move(status).about(name_); }

  platform::FileHandle handle_ = platform::kNoFile;
  bool writable_ = false;
  std::uint64_t size_ = 0;
  std::uint64_t openedSize_ = 0;
  std::string name_;
  // The read-ahead window: bytes [windowStart_, windowStart_ + windowFilled_)
  // of the file.
  mutable std::unique_ptr<char[]> window_;  // not cleared: only bytes read are used
  mutable std::size_t windowCapacity_ = 0;
  mutable std::uint64_t windowStart_ = 0;
  mutable std::size_t windowFilled_ = 0;
  mutable std::size_t nextWindowSize_ = kFirstWindow;
};

}  // namespace io
