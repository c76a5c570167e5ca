#include "formats/dds.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "converter/startup.h"
#include "support/bytes.h"
#include "support/files.h"
#include "support/open.h"

namespace {

using formats::ImageHeader;
using formats::dds::ImageFileFields;
using io::File;
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
    const File archive = testing_support::openForTest(dir_.file("a.spr"));
    File image = testing_support::openForTest(dir_.file("a-1-1.dds"));
    const std::string fileHeader = formats::dds::imageFileHeader(templates_, typeName, header);
    EXPECT_TRUE(formats::dds::writeImageFile(image, {fileHeader, header, archive, 4}).ok());
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
  EXPECT_EQ(file, testing_support::dxtFileHeader("DXT3", 32, 64, 2048) + data);
}

TEST_F(ImageFileWrite, UncompressedTypesUseTheirTemplates) {
  const std::string argb = write("8.8.8.8 ARGB", {21, 0, 0, 2, 1, 8}, ramp(8));
  EXPECT_EQ(argb, testing_support::argbFileHeader(1, 2, 8) + ramp(8));
  std::filesystem::remove(dir_.file("a-1-1.dds"));
  const std::string rgb = write("5.6.5 RGB", {23, 0, 0, 2, 1, 4}, ramp(4));
  EXPECT_EQ(rgb, testing_support::rgb565FileHeader(1, 2, 4) + ramp(4));
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
  const File archive = testing_support::openForTest(dir_.file("a.spr"));
  File unopened;
  const std::string fileHeader = formats::dds::imageFileHeader(templates_, "DXT1", {});
  EXPECT_EQ(formats::dds::writeImageFile(unopened, {fileHeader, {}, archive, 0}).code(),
            util::Status::Code::kUnwritable);
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
  ImageFileFields fields;
  ASSERT_TRUE(
      formats::dds::readImageFileFields(testing_support::openForTest(dir.file("a.dds")), fields)
          .ok());
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
      {0x31545844, 0x40, 0x31545844},     // DXT1 whatever the flags
      {0x33545844, 0x4, 0x33545844},      // DXT3
      {0x35545844, 0, 0x35545844},        // DXT5
      {0x32545844, 0x4, std::nullopt},    // DXT2
      {0, 0x41, 21},                      // 8.8.8.8 ARGB
      {0, 0x40, 23},                      // 5.6.5 RGB
      {0, 0x41 | 0x20000, std::nullopt},  // an extra bit does not classify
      {0, 0x4, std::nullopt},             // FourCC flag with no FourCC
      {0, 0, std::nullopt},               // an empty file
      {0x30315844, 0x4, std::nullopt},    // "DX10"
  };
  for (const auto& c : cases) {
    ImageFileFields fields;
    fields.fourCC = c.fourCC;
    fields.pixelFormatFlags = c.flags;
    EXPECT_EQ(formats::dds::classifyImageFile(fields), c.typeCode)
        << std::hex << c.fourCC << " " << c.flags;
  }
}

// Files with a DX10 header are taken for the DXGI formats whose data are
// those of an archive type, as one plain 2D texture.
TEST(ImageFileClassify, Dx10FormatsOfTheFiveTypes) {
  constexpr std::uint32_t k2D = 3;
  const struct {
    std::uint32_t format, dimension, miscFlag, arraySize;
    std::optional<std::uint32_t> typeCode;
  } cases[] = {
      {70, k2D, 0, 1, 0x31545844},  // BC1 typeless
      {71, k2D, 0, 1, 0x31545844},
      {72, k2D, 0, 1, 0x31545844},  // BC1 sRGB
      {73, k2D, 0, 1, 0x33545844},
      {74, k2D, 0, 1, 0x33545844},
      {75, k2D, 0, 1, 0x33545844},
      {76, k2D, 0, 1, 0x35545844},
      {77, k2D, 0, 1, 0x35545844},
      {78, k2D, 0, 1, 0x35545844},
      {87, k2D, 0, 1, 21},  // B8G8R8A8
      {90, k2D, 0, 1, 21},
      {91, k2D, 0, 1, 21},
      {85, k2D, 0, 1, 23},              // B5G6R5
      {71, 0, 0, 0, 0x31545844},        // dimension and array size left 0
      {88, k2D, 0, 1, std::nullopt},    // B8G8R8X8: no alpha
      {28, k2D, 0, 1, std::nullopt},    // R8G8B8A8
      {79, k2D, 0, 1, std::nullopt},    // BC4 typeless
      {80, k2D, 0, 1, std::nullopt},    // BC4
      {98, k2D, 0, 1, std::nullopt},    // BC7
      {86, k2D, 0, 1, std::nullopt},    // B5G5R5A1
      {115, k2D, 0, 1, std::nullopt},   // B4G4R4A4
      {71, 4, 0, 1, std::nullopt},      // a 3D texture
      {71, 2, 0, 1, std::nullopt},      // a 1D texture
      {71, k2D, 0, 6, std::nullopt},    // an array
      {71, k2D, 0x4, 1, std::nullopt},  // a cube map
  };
  for (const auto& c : cases) {
    ImageFileFields fields;
    fields.fourCC = 0x30315844;  // "DX10"
    fields.pixelFormatFlags = 0x4;
    fields.dxgiFormat = c.format;
    fields.resourceDimension = c.dimension;
    fields.miscFlag = c.miscFlag;
    fields.arraySize = c.arraySize;
    EXPECT_EQ(formats::dds::classifyImageFile(fields), c.typeCode)
        << c.format << " " << c.dimension << " " << c.miscFlag << " " << c.arraySize;
    EXPECT_EQ(fields.dataOffset(), 148u);
  }
}

TEST(ImageFileClassify, UncompressedFieldsThatContradictTheFlagsAreRefused) {
  const struct {
    std::uint32_t flags, bits, red, green, blue, alpha;
    std::optional<std::uint32_t> typeCode;
  } cases[] = {
      {0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 21},  // as the converter writes it
      {0x41, 0, 0, 0, 0, 0, 21},                           // nothing given
      {0x41, 32, 0, 0, 0, 0, 21},
      {0x41, 24, 0, 0, 0, 0, std::nullopt},                          // 24-bit
      {0x41, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, std::nullopt},  // ABGR
      {0x40, 16, 0xF800, 0x07E0, 0x1F, 0, 23},
      {0x40, 0, 0, 0, 0, 0, 23},
      {0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0, std::nullopt},  // 24-bit RGB
      {0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0, std::nullopt},  // 32-bit XRGB
      {0x40, 16, 0x7C00, 0x03E0, 0x1F, 0, std::nullopt},    // 5.5.5
      {0x40, 16, 0xF800, 0x07E0, 0x1F, 0x1, std::nullopt},  // an alpha mask
  };
  for (const auto& c : cases) {
    ImageFileFields fields;
    fields.pixelFormatFlags = c.flags;
    fields.rgbBitCount = c.bits;
    fields.redMask = c.red;
    fields.greenMask = c.green;
    fields.blueMask = c.blue;
    fields.alphaMask = c.alpha;
    EXPECT_EQ(formats::dds::classifyImageFile(fields), c.typeCode)
        << std::hex << c.flags << " " << std::dec << c.bits << " " << std::hex << c.red;
  }
}

TEST(ImageFileDataSize, LinearSizeOnlyWhereTheFlagsSaySo) {
  constexpr std::uint32_t kPitchFlags = 0x100F;    // caps, height, width, pitch, pixel format
  constexpr std::uint32_t kLinearFlags = 0x81007;  // as the converter writes it
  const struct {
    std::uint32_t headerFlags, typeCode, width, height, linearSize;
    std::optional<std::uint32_t> dataSize;
  } cases[] = {
      {kLinearFlags, 21, 64, 32, 8192, 8192},
      {0, 21, 64, 32, 77, 8192},                   // no flags: as for a pitch
      {0, 0x31545844, 4, 4, 0, 8},                 // not a size of 0
      {kLinearFlags | 0x8, 21, 64, 32, 256, 256},  // both bits: linear size wins
      {kPitchFlags, 21, 64, 32, 256, 8192},
      {kPitchFlags, 23, 64, 32, 128, 4096},
      {kPitchFlags, 0x31545844, 64, 32, 0, 1024},  // 16 x 8 blocks of 8 bytes
      {kPitchFlags, 0x33545844, 64, 32, 0, 2048},
      {kPitchFlags, 0x35545844, 1, 1, 0, 16},  // at least one block
      {kPitchFlags, 0x31545844, 5, 0, 0, 16},  // 2 x 1 blocks
      {kPitchFlags, 21, 0, 32, 0, 0},
      {kPitchFlags, 21, 32768, 32768, 0, std::nullopt},  // 4 GiB
      {kPitchFlags, 21, 32768, 32767, 0, 0xFFFE0000u},
      {kPitchFlags, 0x35545844, 0xFFFFFFFF, 0xFFFFFFFF, 0, std::nullopt},
      {kPitchFlags, 23, 0xFFFFFFFF, 0xFFFFFFFF, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    ImageFileFields fields;
    fields.headerFlags = c.headerFlags;
    fields.width = c.width;
    fields.height = c.height;
    fields.linearSize = c.linearSize;
    EXPECT_EQ(formats::dds::imageDataSize(fields, c.typeCode), c.dataSize)
        << std::hex << c.headerFlags << " " << c.typeCode << std::dec << " " << c.width << "x"
        << c.height;
  }
}

}  // namespace
