// Copies of a range of one file into another, inside the system where it
// can, with the bytes the source lacks read as zeros. A failure names the
// file it happened in: a read of the source, or a write of the target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "io/file.h"
#include "util/status.h"

namespace io {

// Copies `size` bytes from `from` at `fromOffset` to `to` at `toOffset`,
// inside the system where it can, else a chunk at a time, so that no more
// than one chunk is ever held. Bytes that `from` lacks are zeros: written
// out over the bytes `to` held when it was opened, and past them left to the
// file system as a hole, so a huge declared size costs no disk.
util::Status copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset,
                       std::uint64_t size);

// Writes `header` at `toOffset` and, right after it, the `size` bytes of
// `from` at `fromOffset`, as copyRange does; a small range that `from` holds
// whole goes out in the same write as the header.
util::Status writeHeaderAndRange(File& to, std::uint64_t toOffset, std::string_view header,
                                 const File& from, std::uint64_t fromOffset, std::uint64_t size);

// Compares ranges of two files a piece at a time, bytes either file lacks
// read as zeros. It keeps its two pieces from one comparison to the next and
// never clears them, so that a run of comparisons (a second extraction over
// a first) costs its reads and little more.
class Comparison {
 public:
  // `same` tells whether the `size` bytes of `a` at `aOffset` and of `b` at
  // `bOffset` are the same; a failure is a failed read of either file.
  util::Status sameBytes(const File& a, std::uint64_t aOffset, const File& b, std::uint64_t bOffset,
                         std::uint64_t size, bool& same);

 private:
  std::unique_ptr<char[]> pieces_;  // the two pieces, side by side
  std::size_t pieceSize_ = 0;
};

}  // namespace io
