#include "io/copy.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace io {

using util::Status;

namespace {

constexpr std::uint64_t kCopyChunk = 1 << 20;
// Ranges from this size on are copied by the system; smaller ones go through
// the read-ahead window, and out with their header in one write.
constexpr std::uint64_t kCopyWithinFrom = 64 << 10;

}  // namespace

Status copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset,
                 std::uint64_t size) {
  if (size == 0) return {};
  const std::uint64_t fromSize = from.size();
  const std::uint64_t available = fromOffset < fromSize ? std::min(size, fromSize - fromOffset) : 0;
  std::uint64_t done =
      available >= kCopyWithinFrom ? to.copyFrom(from, fromOffset, toOffset, available) : 0;
  if (done == size) return {};
  // Held only when the system did not copy everything there is.
  std::vector<char> chunk(done < available ? static_cast<std::size_t>(std::min(size, kCopyChunk))
                                           : 0);
  while (done < available) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), available - done));
    if (Status read = from.read(fromOffset + done, chunk.data(), n); !read.ok()) return read;
    if (Status written = to.write(toOffset + done, chunk.data(), n); !written.ok()) return written;
    done += n;
  }
  if (available == size) return {};
  return to.writeZeros(toOffset + available, toOffset + size);
}

Status Comparison::sameBytes(const File& a, std::uint64_t aOffset, const File& b,
                             std::uint64_t bOffset, std::uint64_t size, bool& same) {
  // At most a chunk each, and no more than `size` in all for a small range.
  const auto piece = static_cast<std::size_t>(std::min(kCopyChunk, (size + 1) / 2));
  if (piece > pieceSize_) {
    pieces_.reset(new char[2 * piece]);  // not cleared: every byte compared is read first
    pieceSize_ = piece;
  }
  char* fromA = pieces_.get();
  char* fromB = fromA + pieceSize_;
  same = false;
  for (std::uint64_t done = 0; done < size;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece, size - done));
    if (Status read = a.read(aOffset + done, fromA, n); !read.ok()) return read;
    if (Status read = b.read(bOffset + done, fromB, n); !read.ok()) return read;
    if (std::memcmp(fromA, fromB, n) != 0) return {};
    done += n;
  }
  same = true;
  return {};
}

Status writeHeaderAndRange(File& to, std::uint64_t toOffset, std::string_view header,
                           const File& from, std::uint64_t fromOffset, std::uint64_t size) {
  if (size < kCopyWithinFrom && fromOffset + size <= from.size()) {
    std::string bytes(header);
    bytes.resize(header.size() + size);
    if (Status read = from.read(fromOffset, bytes.data() + header.size(), size); !read.ok()) {
      return read;
    }
    return to.write(toOffset, bytes.data(), bytes.size());
  }
  if (Status written = to.write(toOffset, header.data(), header.size()); !written.ok()) {
    return written;
  }
  return copyRange(from, fromOffset, to, toOffset + header.size(), size);
}

}  // namespace io
