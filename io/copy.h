// Copies of a range of one file into another, inside the system where it
// can, with the bytes the source lacks read as zeros.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/file.h"

namespace io {

// What a copy did: copied all, or stopped at the first failed read of the
// source or write of the target.
enum class Copied { kAll, kReadFailed, kWriteFailed };

// Copies `size` bytes from `from` at `fromOffset` to `to` at `toOffset`,
// inside the system where it can, else a chunk at a time, so that no more
// than one chunk is ever held. Bytes that `from` lacks are zeros: written
// out over the bytes `to` held when it was opened, and past them left to the
// file system as a hole, so a huge declared size costs no disk.
Copied copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset,
                 std::uint64_t size);

// Writes `header` at `toOffset` and, right after it, the `size` bytes of
// `from` at `fromOffset`, as copyRange does; a small range that `from` holds
// whole goes out in the same write as the header.
Copied writeHeaderAndRange(File& to, std::uint64_t toOffset, std::string_view header,
                           const File& from, std::uint64_t fromOffset, std::uint64_t size);

// How a comparison of two files ended.
enum class Compared { kSame, kDifferent, kFirstUnread, kSecondUnread };

// Compares the `size` bytes of `a` at `aOffset` and of `b` at `bOffset`,
// bytes either file lacks read as zeros; read a piece at a time, with no
// more held than `size` bytes in all, and ended by a failed read.
Compared sameBytes(const File& a, std::uint64_t aOffset, const File& b, std::uint64_t bOffset,
                   std::uint64_t size);

}  // namespace io
