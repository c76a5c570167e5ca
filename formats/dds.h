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
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/archive.h"
#include "formats/file.h"

namespace formats::dds {

inline constexpr std::size_t kHeaderSize = 128;

inline constexpr std::uint64_t kMagicOffset = 0;
inline constexpr std::uint64_t kHeaderSizeOffset = 4;
inline constexpr std::uint64_t kFlagsOffset = 8;
inline constexpr std::uint64_t kHeightOffset = 12;
inline constexpr std::uint64_t kWidthOffset = 16;
inline constexpr std::uint64_t kLinearSizeOffset = 20;
inline constexpr std::uint64_t kMipmapCountOffset = 28;
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

inline constexpr std::uint32_t kMagic = 0x20534444;  // "DDS "
inline constexpr std::uint32_t kHeaderSizeValue = 124;

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

inline constexpr std::uint32_t kCapsTexture = 0x1000;

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

// Writes a whole image file for an image of known type: its template, the
// FourCC for DXT types, height, width and dataSize, then the image's dataSize
// data bytes from `archive` at `dataOffset` (zeros where the archive ends
// first). False when a byte could not be written.
bool writeImageFile(File& imageFile, const HeaderTemplates& templates, std::string_view typeName,
                    const ImageHeader& header, const File& archive, std::uint64_t dataOffset);

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
};

ImageFileFields readImageFileFields(const File& imageFile);

// The archive typeCode an image file's pixel format gives: the FourCC decides
// for DXT1, DXT3 and DXT5, else the pixel format flags compared as a whole
// (0x41 8.8.8.8 ARGB, 0x40 5.6.5 RGB); nothing for any other format.
//
// Texture tools also save 24-bit RGB and 32-bit XRGB with flags 0x40, so an
// uncompressed file whose bit count or masks contradict its format is refused
// too; a zero field means "not given" and refuses nothing.
std::optional<std::uint32_t> classifyImageFile(const ImageFileFields& fields);

// How many data bytes the image holds. That is the linear size, except in the
// files texture tools save with a row pitch there instead (pitch flag set,
// linear-size flag clear): then it is the size of the top mipmap level,
// computed from width, height and format. Nothing when that size does not fit
// in 32 bits.
std::optional<std::uint32_t> imageDataSize(const ImageFileFields& fields, std::uint32_t typeCode);

}  // namespace formats::dds
