#include "formats/dds.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "converter/startup.h"
#include "support/bytes.h"
#include "support/files.h"

namespace {

using formats::File;
using formats::ImageHeader;
using formats::dds::ImageFileFields;
using testing_support::Bytes;
using testing_support::le32;
using testing_support::ramp;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

class ImageFileWrite : public ::testing::Test {
 protected:
  // Writes the image file for `header` whose data are `archiveData` (which
  // may be shorter than dataSize) over whatever a-1-1.dds holds.
  void writeOnly(const std::string& typeName, const ImageHeader& header,
                 const std::string& archiveData) {
    writeFile(dir_.file("a.spr"), "HEAD" + archiveData);
    const File archive = File::open(dir_.file("a.spr"));
    File image = File::open(dir_.file("a-1-1.dds"));
    EXPECT_TRUE(formats::dds::writeImageFile(image, templates_, typeName, header, archive, 4));
  }

  // The same, returning the file's bytes.
  std::string write(const std::string& typeName, const ImageHeader& header,
                    const std::string& archiveData) {
    writeOnly(typeName, header, archiveData);
    return readFile(dir_.file("a-1-1.dds"));
  }

  TempDir dir_;
  const formats::dds::HeaderTemplates templates_ = converter::decodeTemplates();
};

TEST_F(ImageFileWrite, Dxt3FileHoldsHeaderFieldsAndData) {
  const std::string data = ramp(2048);
  const std::string file = write("DXT3", {0x33545844, 9, 9, 64, 32, 2048}, data);
  ASSERT_EQ(file.size(), 2176u);
  EXPECT_EQ(file.substr(84, 4), "DXT3");
  EXPECT_EQ(file.substr(12, 4), le32(32));  // height first
  EXPECT_EQ(file.substr(16, 4), le32(64));
  EXPECT_EQ(file.substr(20, 4), le32(2048));
  EXPECT_EQ(file.substr(0, 12), templates_.dxt.substr(0, 12));
  EXPECT_EQ(file.substr(24, 60), templates_.dxt.substr(24, 60));
  EXPECT_EQ(file.substr(88, 40), templates_.dxt.substr(88, 40));
  EXPECT_EQ(file.substr(128), data);
}

TEST_F(ImageFileWrite, UncompressedTypesUseTheirTemplates) {
  const std::string argb = write("8.8.8.8 ARGB", {21, 0, 0, 2, 1, 8}, ramp(8));
  EXPECT_EQ(argb.substr(24), templates_.argb8888.substr(24) + ramp(8));
  EXPECT_EQ(argb.substr(84, 4), le32(0));
  std::filesystem::remove(dir_.file("a-1-1.dds"));
  const std::string rgb = write("5.6.5 RGB", {23, 0, 0, 2, 1, 4}, ramp(4));
  EXPECT_EQ(rgb.substr(24), templates_.rgb565.substr(24) + ramp(4));
}

TEST_F(ImageFileWrite, OlderLongerFileKeepsItsTail) {
  writeFile(dir_.file("a-1-1.dds"), std::string(3000, 'x'));
  const std::string file = write("DXT1", {0x31545844, 0, 0, 8, 8, 32}, ramp(32));
  ASSERT_EQ(file.size(), 3000u);
  EXPECT_EQ(file.substr(128, 32), ramp(32));
  EXPECT_EQ(file.substr(160), std::string(3000 - 160, 'x'));
}

TEST_F(ImageFileWrite, DataCutByTheArchiveEndAreZeros) {
  // 100 of 300 bytes present; an older file covers part of the rest.
  writeFile(dir_.file("a-1-1.dds"), std::string(300, 'x'));
  const std::string file = write("DXT5", {0x35545844, 0, 0, 0, 0, 300}, ramp(100));
  ASSERT_EQ(file.size(), 428u);
  EXPECT_EQ(file.substr(128, 100), ramp(100));
  EXPECT_EQ(file.substr(228), std::string(200, '\0'));
}

TEST_F(ImageFileWrite, HugeDeclaredSizeLeavesAHole) {
  const std::string name = dir_.file("a-1-1.dds");
  writeOnly("DXT1", {0x31545844, 0, 0, 0, 0, 0xFFFFFFFF}, ramp(10));
  struct stat status {};
  ASSERT_EQ(::stat(name.c_str(), &status), 0);
  EXPECT_EQ(static_cast<std::uint64_t>(status.st_size), 128u + 0xFFFFFFFFull);
  EXPECT_LT(status.st_blocks * 512, 1 << 20) << "zeros were written out";
}

TEST_F(ImageFileWrite, UnknownTypeAndUnwritableFileFail) {
  EXPECT_EQ(formats::dds::templateFor(templates_, "Unknown (7)"), nullptr);
  File archive;
  File unopened;
  EXPECT_FALSE(formats::dds::writeImageFile(unopened, templates_, "DXT1", {}, archive, 0));
}

TEST(ImageFileRead, ReadsTheFieldsAtTheirOffsets) {
  TempDir dir;
  writeFile(dir.file("a.dds"), Bytes()
                                   .raw("DDS ")
                                   .u32(124)
                                   .u32(0)
                                   .u32(32)    // height
                                   .u32(64)    // width
                                   .u32(2048)  // linear size
                                   .fill(80 - 24, '\0')
                                   .u32(0x41)
                                   .raw("DXT5")
                                   .str());
  const ImageFileFields fields = formats::dds::readImageFileFields(File::open(dir.file("a.dds")));
  EXPECT_EQ(fields.height, 32u);
  EXPECT_EQ(fields.width, 64u);
  EXPECT_EQ(fields.linearSize, 2048u);
  EXPECT_EQ(fields.fourCC, 0x35545844u);
  EXPECT_EQ(fields.pixelFormatFlags, 0x41u);
}

TEST(ImageFileClassify, FourCCFirstThenWholeFlags) {
  const struct {
    std::uint32_t fourCC;
    std::uint32_t flags;
    std::optional<std::uint32_t> typeCode;
  } cases[] = {
      {0x31545844, 0x40, 0x31545844},       // DXT1 whatever the flags
      {0x33545844, 0x4, 0x33545844},        // DXT3
      {0x35545844, 0, 0x35545844},          // DXT5
      {0x32545844, 0x4, std::nullopt},      // DXT2
      {0, 0x41, 21},                        // 8.8.8.8 ARGB
      {0, 0x40, 23},                        // 5.6.5 RGB
      {0, 0x41 | 0x20000, std::nullopt},    // an extra bit does not classify
      {0, 0x4, std::nullopt},               // FourCC flag with no FourCC
      {0, 0, std::nullopt},                 // an empty file
      {0x30315844, 0x4, std::nullopt},      // "DX10"
  };
  for (const auto& c : cases) {
    ImageFileFields fields;
    fields.fourCC = c.fourCC;
    fields.pixelFormatFlags = c.flags;
    EXPECT_EQ(formats::dds::classifyImageFile(fields), c.typeCode)
        << std::hex << c.fourCC << " " << c.flags;
  }
}

}  // namespace
