#include "io/copy.h"

#include <algorithm>
#include <string>
#include <vector>

namespace io {

namespace {

constexpr std::uint64_t kCopyChunk = 1 << 20;
// Ranges from this size on are copied by the system; smaller ones go through
// the read-ahead window, and out with their header in one write.
constexpr std::uint64_t kCopyWithinFrom = 64 << 10;

}  // namespace

Copied copyRange(const File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset,
                 std::uint64_t size) {
  if (size == 0) return Copied::kAll;
  const std::uint64_t fromSize = from.size();
  const std::uint64_t available = fromOffset < fromSize ? std::min(size, fromSize - fromOffset) : 0;
  std::uint64_t done =
      available >= kCopyWithinFrom ? to.copyFrom(from, fromOffset, toOffset, available) : 0;
  if (done == size) return Copied::kAll;
  // Held only when the system did not copy everything there is.
  std::vector<char> chunk(done < available ? static_cast<std::size_t>(std::min(size, kCopyChunk))
                                           : 0);
  while (done < available) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), available - done));
    from.read(fromOffset + done, chunk.data(), n);
    if (from.readFailed()) return Copied::kReadFailed;
    if (!to.write(toOffset + done, chunk.data(), n)) return Copied::kWriteFailed;
    done += n;
  }
  if (available == size) return Copied::kAll;
  return to.writeZeros(toOffset + available, toOffset + size) ? Copied::kAll : Copied::kWriteFailed;
}

Compared sameBytes(const File& a, std::uint64_t aOffset, const File& b, std::uint64_t bOffset,
                   std::uint64_t size) {
  const auto piece = static_cast<std::size_t>(std::min(kCopyChunk, (size + 1) / 2));
  std::vector<char> fromA(piece), fromB(piece);
  for (std::uint64_t done = 0; done < size;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece, size - done));
    a.read(aOffset + done, fromA.data(), n);
    if (a.readFailed()) return Compared::kFirstUnread;
    b.read(bOffset + done, fromB.data(), n);
    if (b.readFailed()) return Compared::kSecondUnread;
    if (!std::equal(fromA.begin(), fromA.begin() + n, fromB.begin())) return Compared::kDifferent;
    done += n;
  }
  return Compared::kSame;
}

Copied writeHeaderAndRange(File& to, std::uint64_t toOffset, std::string_view header,
                           const File& from, std::uint64_t fromOffset, std::uint64_t size) {
  if (size < kCopyWithinFrom && fromOffset + size <= from.size()) {
    std::string bytes(header);
    bytes.resize(header.size() + size);
    from.read(fromOffset, bytes.data() + header.size(), size);
    if (from.readFailed()) return Copied::kReadFailed;
    return to.write(toOffset, bytes.data(), bytes.size()) ? Copied::kAll : Copied::kWriteFailed;
  }
  if (!to.write(toOffset, header.data(), header.size())) return Copied::kWriteFailed;
  return copyRange(from, fromOffset, to, toOffset + header.size(), size);
}

}  // namespace io
