#include "formats/index.h"

#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/files.h"
#include "support/open.h"

namespace {

using formats::ImageHeader;
using formats::Step;
using io::File;
using testing_support::Bytes;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(IndexWriter, WritesCountsAndHeadersBackToBack) {
  TempDir dir;
  {
    File file = testing_support::openForTest(dir.file("units.rep"));
    formats::IndexWriter index(&file);
    index.writeSectionCount(2);
    index.writeImageCount(1);
    index.writeHeader({0x31545844, 1, 2, 3, 4, 5});
    index.writeImageCount(0);
    EXPECT_TRUE(index.finish().ok());
  }
  // 4 + 4 * 2 sections + 24 * 1 image
  EXPECT_EQ(readFile(dir.file("units.rep")),
            Bytes().u32(2).u32(1).header(0x31545844, 1, 2, 3, 4, 5).u32(0).str());
}

TEST(IndexWriter, ReportsAFileThatCannotBeWritten) {
  File unopened;
  formats::IndexWriter index(&unopened);
  index.writeSectionCount(0);
  EXPECT_EQ(index.finish().code(), util::Status::Code::kUnwritable);
}

TEST(IndexReader, ReadsBackWhatWasWrittenAndStopsAtEveryCut) {
  TempDir dir;
  const std::string full =
      Bytes().u32(1).u32(2).header(21, 1, 2, 3, 4, 5).header(23, 6, 7, 8, 9, 10);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    writeFile(dir.file("units.rep"), full.substr(0, length));
    const File file = testing_support::openForTest(dir.file("units.rep"));
    formats::IndexReader index(file);
    std::uint32_t sections = 7, images = 7;
    ImageHeader first, second;
    Step step = Step::kGoOn;
    const auto gave = [&step](util::Status status) {
      EXPECT_TRUE(status.ok());
      return step == Step::kGoOn;
    };
    const bool read = gave(index.readSectionCount(sections, step)) &&
                      gave(index.readImageCount(images, step)) &&
                      gave(index.readImage(first, step)) && gave(index.readImage(second, step));
    // A cut anywhere leaves a count without room for its records.
    ASSERT_EQ(read, length == full.size()) << "cut at " << length;
    if (!read) {
      EXPECT_EQ(index.stop().where, formats::WalkStop::Where::kBeforeCounts) << length;
      continue;
    }
    EXPECT_EQ(Bytes()
                  .u32(sections)
                  .u32(images)
                  .header(first.typeCode, first.RFWidth, first.RFHeight, first.width, first.height,
                          first.dataSize)
                  .header(second.typeCode, second.RFWidth, second.RFHeight, second.width,
                          second.height, second.dataSize)
                  .str(),
              full);
  }
}

TEST(IndexReader, ACountItCannotHoldStopsTheReadingAtOnce) {
  TempDir dir;
  writeFile(dir.file("units.rep"), Bytes().u32(17));  // 16 sections past its end at most
  const File file = testing_support::openForTest(dir.file("units.rep"));
  formats::IndexReader index(file);
  std::uint32_t count = 0;
  Step step = Step::kStopped;
  ASSERT_TRUE(index.readSectionCount(count, step).ok());
  EXPECT_EQ(step, Step::kLast);
  EXPECT_EQ(count, 17u);
}

}  // namespace
