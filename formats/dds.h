// DDS image files as the converter writes and reads them.
//
// A file is a 128-byte header followed by the image data exactly as the
// archive holds them. All header fields are 32-bit little-endian:
//
//   offset   0  magic "DDS "          offset  80  pixel format flags
//   offset   4  header size, 124      offset  84  FourCC ("DXT1", ...)
//   offset   8  header flags          offset  88  RGB bit count
//   offset  12  height                offset  92  red mask
//   offset  16  width                 offset  96  green mask
//   offset  20  linear size           offset 100  blue mask
//   offset  24  depth                 offset 104  alpha mask
//   offset  28  mipmap count          offset 108  caps
//   offset  76  pixel format size, 32 offset 128  data
//
// Note that the header holds height before width, where the archive holds
// width before height.
//
// Whether the rebuild can store an image file is decided in one place,
// inspectImageFile(), which checks in this order and refuses the file for
// the first reason that holds:
//
//   1. the FourCC is "DX10" and the file ends inside the DX10 header:
//      cut short (its format cannot be told);
//   2. the pixel format is none of the archive's five (classifyImageFile):
//      of unknown format; so is a file too short to hold the fields it is
//      read for, as they read as zeros;
//   3. a "DXT5" file marked as another encoding of DXT5 data (a normal map,
//      GIMP's Alpha Exponent or YCoCg), which the game would show in wrong
//      colours (isOtherDxt5Encoding);
//   4. the data size (imageDataSize) does not fit in 32 bits: too large;
//   5. the file ends before its data do: cut short.
//
// GIMP marks its own files in the reserved words, and the encoding of DXT5
// data after it:
//
//   offset  32  "GIMP-DDS"            offset  44  "AEXP", "YCG1" or "YCG2"
//
// A file whose FourCC is "DX10" has a second header of 20 bytes at 128 (as
// Direct3D 10's DDS_HEADER_DXT10), and its data begin at 148:
//
//   offset 128  dxgiFormat            offset 140  arraySize
//   offset 132  resourceDimension     offset 144  miscFlags2
//   offset 136  miscFlag
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/archive.h"
#include "io/copy.h"
#include "io/file.h"
#include "util/status.h"

namespace formats::dds {

inline constexpr std::size_t kHeaderSize = 128;

inline constexpr std::uint64_t kMagicOffset = 0;
inline constexpr std::uint64_t kHeaderSizeOffset = 4;
inline constexpr std::uint64_t kFlagsOffset = 8;
inline constexpr std::uint64_t kHeightOffset = 12;
inline constexpr std::uint64_t kWidthOffset = 16;
inline constexpr std::uint64_t kLinearSizeOffset = 20;
inline constexpr std::uint64_t kMipmapCountOffset = 28;
inline constexpr std::uint64_t kGimpMarkOffset = 32;
inline constexpr std::uint64_t kGimpEncodingOffset = 44;
inline constexpr std::uint64_t kPixelFormatSizeOffset = 76;
inline constexpr std::uint64_t kPixelFormatFlagsOffset = 80;
inline constexpr std::uint64_t kFourCCOffset = 84;
inline constexpr std::uint64_t kRgbBitCountOffset = 88;
inline constexpr std::uint64_t kRedMaskOffset = 92;
inline constexpr std::uint64_t kGreenMaskOffset = 96;
inline constexpr std::uint64_t kBlueMaskOffset = 100;
inline constexpr std::uint64_t kAlphaMaskOffset = 104;
inline constexpr std::uint64_t kCapsOffset = 108;
inline constexpr std::uint64_t kDataOffset = kHeaderSize;
static_assert(kCapsOffset + 4 + 16 == kHeaderSize);

inline constexpr std::size_t kDx10HeaderSize = 20;
inline constexpr std::uint64_t kDxgiFormatOffset = kHeaderSize;
inline constexpr std::uint64_t kResourceDimensionOffset = kHeaderSize + 4;
inline constexpr std::uint64_t kMiscFlagOffset = kHeaderSize + 8;
inline constexpr std::uint64_t kArraySizeOffset = kHeaderSize + 12;
inline constexpr std::uint64_t kDx10DataOffset = kHeaderSize + kDx10HeaderSize;
static_assert(kDx10DataOffset == 148);

inline constexpr std::uint32_t kMagic = 0x20534444;  // "DDS "
inline constexpr std::uint32_t kHeaderSizeValue = 124;
inline constexpr std::uint32_t kPixelFormatSizeValue = 32;

// Header flags.
inline constexpr std::uint32_t kFlagCaps = 0x1;
inline constexpr std::uint32_t kFlagHeight = 0x2;
inline constexpr std::uint32_t kFlagWidth = 0x4;
inline constexpr std::uint32_t kFlagPitch = 0x8;
inline constexpr std::uint32_t kFlagPixelFormat = 0x1000;
inline constexpr std::uint32_t kFlagLinearSize = 0x80000;
inline constexpr std::uint32_t kConverterFlags =
    kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat | kFlagLinearSize;
static_assert(kConverterFlags == 0x00081007);

// Pixel format flags.
inline constexpr std::uint32_t kPixelFourCC = 0x4;
inline constexpr std::uint32_t kPixelRgb = 0x40;
inline constexpr std::uint32_t kPixelRgbAlpha = 0x41;  // RGB with alpha pixels
// NVIDIA's normal-map flag, which GIMP's BC3nm export sets too.
inline constexpr std::uint32_t kPixelNormalMap = 0x80000000;

inline constexpr std::string_view kGimpMark = "GIMP-DDS";
// GIMP's encodings of DXT5 data as little-endian words: "AEXP", "YCG1", "YCG2".
inline constexpr std::uint32_t kGimpAlphaExponent = 0x50584541;
inline constexpr std::uint32_t kGimpYCoCg = 0x31474359;
inline constexpr std::uint32_t kGimpYCoCgScaled = 0x32474359;

inline constexpr std::uint32_t kCapsTexture = 0x1000;

inline constexpr std::uint32_t kFourCCDx10 = 0x30315844;  // "DX10"

// The DXGI formats whose data are those of one of the archive's types.
namespace DxgiFormat {
inline constexpr std::uint32_t kBc1Typeless = 70, kBc1Unorm = 71, kBc1UnormSrgb = 72;
inline constexpr std::uint32_t kBc2Typeless = 73, kBc2Unorm = 74, kBc2UnormSrgb = 75;
inline constexpr std::uint32_t kBc3Typeless = 76, kBc3Unorm = 77, kBc3UnormSrgb = 78;
inline constexpr std::uint32_t kB5G6R5Unorm = 85;
inline constexpr std::uint32_t kB8G8R8A8Unorm = 87, kB8G8R8A8Typeless = 90, kB8G8R8A8UnormSrgb = 91;
}  // namespace DxgiFormat

inline constexpr std::uint32_t kResourceDimensionUnknown = 0;
inline constexpr std::uint32_t kResourceDimensionTexture2D = 3;
inline constexpr std::uint32_t kMiscTextureCube = 0x4;

// The three 128-byte headers every image file starts from, one per family of
// pixel formats.
struct HeaderTemplates {
  std::string dxt;
  std::string rgb565;
  std::string argb8888;
};

// The template for a known type name, chosen by its first character; null
// for a type name that is not known.
const std::string* templateFor(const HeaderTemplates& templates, std::string_view typeName);

// The header of the image file of an image of known type: its template, the
// FourCC for DXT types, height, width and dataSize; empty for a type name
// that is not known.
std::string imageFileHeader(const HeaderTemplates& templates, std::string_view typeName,
                            const ImageHeader& header);

// The image file of one image of an archive: its header, made once, and the
// image, whose dataSize data bytes lie in `archive` at `dataOffset`.
struct ImageFileContent {
  std::string fileHeader;
  ImageHeader image;
  const io::File& archive;
  std::uint64_t dataOffset = 0;
};

// Writes a whole image file: its header, then the image's data (zeros where
// the archive ends first).
util::Status writeImageFile(io::File& imageFile, const ImageFileContent& content);

// What an image file read back holds: the fields the rebuild looks at.
struct ImageFileFields {
  std::uint32_t headerFlags = 0;
  std::uint32_t height = 0;
  std::uint32_t width = 0;
  std::uint32_t linearSize = 0;  // or the row pitch, as the header flags say
  std::uint32_t pixelFormatFlags = 0;
  std::uint32_t fourCC = 0;
  std::uint32_t rgbBitCount = 0;
  std::uint32_t redMask = 0;
  std::uint32_t greenMask = 0;
  std::uint32_t blueMask = 0;
  std::uint32_t alphaMask = 0;
  bool gimpMarked = false;  // "GIMP-DDS" at 32
  std::uint32_t gimpEncoding = 0;
  // The DX10 header's, where the FourCC is "DX10".
  std::uint32_t dxgiFormat = 0;
  std::uint32_t resourceDimension = 0;
  std::uint32_t miscFlag = 0;
  std::uint32_t arraySize = 0;

  // Where the image data begin: after the DX10 header when there is one.
  std::uint64_t dataOffset() const;
};

util::Status readImageFileFields(const io::File& imageFile, ImageFileFields& fields);

// The archive typeCode an image file's pixel format gives: the FourCC decides
// for DXT1, DXT3 and DXT5, else the pixel format flags compared as a whole
// (0x41 8.8.8.8 ARGB, 0x40 5.6.5 RGB); nothing for any other format.
//
// A "DX10" file is taken when its DXGI format holds the data of one of
// those (BC1 to BC3, linear, sRGB or typeless; B8G8R8A8; B5G6R5) and it is
// one plain 2D texture: dimension 2D or left 0, one array element or 0, no
// cube map. B8G8R8X8 is not taken: its fourth byte is no alpha.
//
// Texture tools also save 24-bit RGB and 32-bit XRGB with flags 0x40, so an
// uncompressed file whose bit count or masks contradict its format is refused
// too; a zero field means "not given" and refuses nothing.
std::optional<std::uint32_t> classifyImageFile(const ImageFileFields& fields);

// What the rebuild stores of an image file: the header fields the file
// gives, and where its data begin.
struct StoredImage {
  std::uint32_t typeCode = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t dataSize = 0;
  std::uint64_t dataOffset = 0;
};

// True for a "DXT5" file whose data are another encoding than plain DXT5.
bool isOtherDxt5Encoding(const ImageFileFields& fields);

// Looks at an image file in the order above: `image` when it can be
// stored; a failure kRefused, with the reason for the modder, when it
// cannot, or a failed read of it.
util::Status inspectImageFile(const io::File& imageFile, StoredImage& image);

// What a file under an image file's name holds.
enum class FileHolds {
  kAnother,     // an edited picture, or one the rebuild would refuse
  kThePicture,  // what the rebuild stores from it is the image (another header, a tail)
  kTheFile,     // the very bytes of the image file
};

// Tells what `file` holds against the image file `content`. The rebuild
// would store the picture when it gives the same typeCode, width, height,
// dataSize and data bytes, whatever else the file holds. Compared a piece at
// a time; a failure is a failed read of either file.
util::Status compareImageFile(const io::File& file, const ImageFileContent& content,
                              io::Comparison& comparison, FileHolds& holds);

// How many data bytes the image holds. That is the linear size when the
// header flags say the field holds one; otherwise (a row pitch, or nothing
// at all) it is the size of the top mipmap level, computed from width,
// height and format. Nothing when that size does not fit in 32 bits.
std::optional<std::uint32_t> imageDataSize(const ImageFileFields& fields, std::uint32_t typeCode);

}  // namespace formats::dds
