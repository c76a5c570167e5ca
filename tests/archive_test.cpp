#include "formats/archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/walk.h"
#include "support/bytes.h"
#include "support/files.h"
#include "support/open.h"

namespace {

using formats::ArchiveWalk;
using formats::ImageHeader;
using io::File;
using testing_support::archiveStart;
using testing_support::Bytes;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

File fileWith(const TempDir& dir, const std::string& bytes) {
  writeFile(dir.file("a.spr"), bytes);
  return testing_support::openForTest(dir.file("a.spr"));
}

std::uint32_t u32At(const File& file, std::uint64_t offset) {
  std::uint32_t value = 7;
  EXPECT_TRUE(formats::readU32(file, offset, value).ok());
  return value;
}

ImageHeader headerAt(const File& file, std::uint64_t offset) {
  ImageHeader header{7, 7, 7, 7, 7, 7};
  EXPECT_TRUE(formats::readImageHeader(file, offset, header).ok());
  return header;
}

TEST(ArchiveFields, ReadsAtAbsoluteOffsets) {
  TempDir dir;
  const File file = fileWith(dir, Bytes().u32(0xAABBCCDD).header(1, 2, 3, 4, 5, 6).u32(7));
  EXPECT_EQ(u32At(file, 0), 0xAABBCCDDu);
  EXPECT_EQ(headerAt(file, 4), (ImageHeader{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(u32At(file, 28), 7u);
  EXPECT_EQ(u32At(file, 30), 0u);  // half of it past the end
  EXPECT_EQ(u32At(file, 1000), 0u);
}

TEST(ArchiveFields, HeaderCutAnywhereReadsZerosFromTheCut) {
  TempDir dir;
  const std::string full = Bytes().header(0x31545844, 0x01020304, 3, 4, 5, 0xFFFFFFFF);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    const File file = fileWith(dir, full.substr(0, length));
    const ImageHeader header = headerAt(file, 0);
    std::string expected = full.substr(0, length) + std::string(full.size() - length, '\0');
    const std::string got = Bytes().header(header.typeCode, header.RFWidth, header.RFHeight,
                                           header.width, header.height, header.dataSize);
    EXPECT_EQ(got, expected) << "cut at " << length;
  }
}

TEST(ArchiveFields, WritesExactBytes) {
  TempDir dir;
  File file = testing_support::openForTest(dir.file("out.spr"));
  ASSERT_TRUE(formats::writeFloat32(file, 0, formats::kFormatVersion).ok());
  ASSERT_TRUE(formats::writeU32(file, 4, 2).ok());
  ASSERT_TRUE(formats::writeImageHeader(file, 8, {0x35545844, 128, 64, 128, 64, 8192}).ok());
  ASSERT_TRUE(file.close().ok());
  EXPECT_EQ(readFile(dir.file("out.spr")), std::string("\xCD\xCC\x8C\x3F"
                                                       "\x02\x00\x00\x00"
                                                       "DXT5"
                                                       "\x80\x00\x00\x00"
                                                       "\x40\x00\x00\x00"
                                                       "\x80\x00\x00\x00"
                                                       "\x40\x00\x00\x00"
                                                       "\x00\x20\x00\x00",
                                                       32));
}

TEST(TypeName, NamesEveryCode) {
  const struct {
    std::uint32_t code;
    std::string name;
    bool known;
  } cases[] = {
      {0x31545844, "DXT1", true},
      {0x33545844, "DXT3", true},
      {0x35545844, "DXT5", true},
      {21, "8.8.8.8 ARGB", true},
      {23, "5.6.5 RGB", true},
      {0, "Unknown (0)", false},
      {7, "Unknown (7)", false},
      {22, "Unknown (22)", false},
      {0x32545844, "Unknown (844388420)", false},
      {4294967295u, "Unknown (4294967295)", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formats::typeName(c.code), c.name);
    EXPECT_EQ(formats::isKnownTypeName(c.name), c.known) << c.name;
  }
}

// What a walk saw, in a compact form: "S2" for a section count, "C1" for an
// image count, "H<typeCode>@<data offset>" for an image, "stop" when stopped.
struct Recorder {
  const ArchiveWalk& walk;
  std::vector<std::string> seen;

  util::Status sectionCount(std::uint32_t count) { return note("S", count); }
  util::Status imageCount(std::uint32_t, std::uint32_t count, bool) { return note("C", count); }
  void beforeImage() {}
  util::Status image(std::uint32_t, std::uint32_t, const ImageHeader& header) {
    return note("H", header.typeCode, "@" + std::to_string(walk.dataOffset()));
  }
  util::Status note(const char* what, std::uint32_t value, const std::string& more = "") {
    seen.push_back(what + std::to_string(value) + more);
    return {};
  }
};

std::vector<std::string> walkAll(const File& file) {
  ArchiveWalk walk(file);
  Recorder recorder{walk, {}};
  std::optional<formats::WalkStop> stop;
  EXPECT_TRUE(formats::walk(walk, recorder, stop).ok());
  if (stop) recorder.seen.push_back("stop");
  return recorder.seen;
}

TEST(ArchiveWalk, FollowsCountsAndSizes) {
  TempDir dir;
  const std::string archive = archiveStart(3)
                                  .u32(2)
                                  .image(1, 0, 0, 0, 0, "abcd")
                                  .image(2, 0, 0, 0, 0, "")
                                  .u32(0)
                                  .u32(1)
                                  .image(3, 0, 0, 0, 0, "xy");
  const std::vector<std::string> expected = {"S3", "C2", "H1@36", "H2@64", "C0", "C1", "H3@96"};
  EXPECT_EQ(walkAll(fileWith(dir, archive)), expected);
}

// Every record must lie in the file, and every count must leave room for
// its records at their smallest: 4 bytes a section, 24 an image.
TEST(ArchiveWalk, StopsAtARecordOrACountTheFileCannotHold) {
  const struct {
    std::string archive;
    std::vector<std::string> seen;
  } cases[] = {
      {archiveStart(0).str().substr(0, 7), {"stop"}},  // cut inside the section count
      {archiveStart(1).u32(0), {"S1", "C0"}},          // exactly the room of one section
      {archiveStart(2).u32(0), {"S2", "stop"}},        // no room for two
      {archiveStart(2).u32(1).header(1, 0, 0, 0, 0, 0).raw("xy"),
       {"S2", "C1", "H1@36", "stop"}},                 // the second count cut
      {archiveStart(1).u32(1), {"S1", "C1", "stop"}},  // no room for a header
      {archiveStart(1).u32(1).header(1, 0, 0, 0, 0, 0), {"S1", "C1", "H1@36"}},
      {archiveStart(1).u32(1).header(1, 0, 0, 0, 0, 1), {"S1", "C1", "stop"}},  // data cut
      {archiveStart(1).u32(2).header(1, 0, 0, 0, 0, 24).raw(std::string(24, 'd')),
       {"S1", "C2", "H1@36", "stop"}},  // the second header past the end
  };
  for (const auto& c : cases) {
    TempDir dir;
    EXPECT_EQ(walkAll(fileWith(dir, c.archive)), c.seen) << c.archive.size();
  }
}

TEST(ArchiveWalk, PositionsDoNotWrapAt4GiB) {
  TempDir dir;
  // An image whose data run past 2^32 (a sparse file): the next header must
  // be looked for there, not at a wrapped position near the start.
  writeFile(dir.file("units.spr"),
            archiveStart(1).u32(2).header(1, 0, 0, 0, 0, 0xFFFFFFFF).header(2, 0, 0, 0, 0, 0));
  std::filesystem::resize_file(dir.file("units.spr"), 36ull + 0xFFFFFFFFull + 24);
  const File file = testing_support::openForTest(dir.file("units.spr"));
  const std::vector<std::string> expected = {"S1", "C2", "H1@36",
                                             "H0@" + std::to_string(36ull + 0xFFFFFFFFull + 24)};
  EXPECT_EQ(walkAll(file), expected);
}

}  // namespace
