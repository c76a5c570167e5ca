#include "io/copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/open.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(CopyRange, CopiesAcrossChunksAndZeroFillsWhatTheSourceLacks) {
  // Sizes around the copy chunk, sources cut short, destinations that held
  // older bytes over part of the range.
  const std::size_t kMiB = 1 << 20;
  const struct {
    std::size_t size, sourceBytes, oldBytes;
  } cases[] = {
      {0, 0, 0},
      {10, 10, 0},
      {11, 10, 0},  // one zero past the end
      {kMiB + 3, kMiB + 3, 0},
      {2 * kMiB + 5, kMiB + 7, 0},
      {2 * kMiB + 5, kMiB + 7, kMiB + 100},
      {2 * kMiB + 5, 0, 3 * kMiB},
      {100, 0, 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    writeFile(dir.file("from"), "ab" + std::string(c.sourceBytes, '\0'));
    std::string source = testing_support::readFile(dir.file("from"));
    for (std::size_t k = 2; k < source.size(); ++k) source[k] = static_cast<char>(k * 7);
    writeFile(dir.file("from"), source);
    writeFile(dir.file("to"), std::string(c.oldBytes, 'x'));
    {
      const io::File from = testing_support::openForTest(dir.file("from"));
      io::File to = testing_support::openForTest(dir.file("to"));
      ASSERT_TRUE(io::copyRange(from, 2, to, 1, c.size).ok());
    }
    const std::string to = readFile(dir.file("to"));
    std::string expected = c.oldBytes > 0 ? "x" : std::string(1, '\0');
    expected += source.substr(2) + std::string(c.size - c.sourceBytes, '\0');
    if (c.size == 0) expected = std::string(c.oldBytes, 'x');
    if (expected.size() < c.oldBytes) expected += std::string(c.oldBytes - expected.size(), 'x');
    EXPECT_EQ(to.size(), expected.size()) << c.size << " " << c.sourceBytes;
    EXPECT_TRUE(to == expected) << c.size << " " << c.sourceBytes << " " << c.oldBytes;
  }
}

}  // namespace

namespace {

// The file as a reader must see it whatever the read-ahead holds: small reads
// running on and jumping, reads that straddle the window or outgrow it, reads
// past the end, and reads after this process's own writes.

}  // namespace
