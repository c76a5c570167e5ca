#include "formats/dds.h"

#include <algorithm>

#include "formats/coding.h"
#include "io/copy.h"

namespace formats::dds {

const std::string* templateFor(const HeaderTemplates& templates, std::string_view typeName) {
  if (typeName.starts_with('D')) return &templates.dxt;
  if (typeName.starts_with('8')) return &templates.argb8888;
  if (typeName.starts_with('5')) return &templates.rgb565;
  return nullptr;
}

std::string imageFileHeader(const HeaderTemplates& templates, std::string_view typeName,
                            const ImageHeader& header) {
  const std::string* headerTemplate = templateFor(templates, typeName);
  if (headerTemplate == nullptr) return {};
  std::string bytes = *headerTemplate;
  bytes.resize(kHeaderSize);
  if (headerTemplate == &templates.dxt) encodeU32(bytes.data() + kFourCCOffset, header.typeCode);
  encodeU32(bytes.data() + kHeightOffset, header.height);
  encodeU32(bytes.data() + kWidthOffset, header.width);
  encodeU32(bytes.data() + kLinearSizeOffset, header.dataSize);
  return bytes;
}

util::Status writeImageFile(io::File& imageFile, const ImageFileContent& content) {
  return io::writeHeaderAndRange(imageFile, 0, content.fileHeader, content.archive,
                                 content.dataOffset, content.image.dataSize);
}

std::uint64_t ImageFileFields::dataOffset() const {
  return fourCC == kFourCCDx10 ? kDx10DataOffset : kDataOffset;
}

util::Status readImageFileFields(const io::File& imageFile, ImageFileFields& fields) {
  char header[kDx10DataOffset];
  if (util::Status read = imageFile.read(0, header, sizeof header); !read.ok()) return read;
  const auto field = [&header](std::uint64_t offset) { return decodeU32(header + offset); };
  fields.headerFlags = field(kFlagsOffset);
  fields.height = field(kHeightOffset);
  fields.width = field(kWidthOffset);
  fields.linearSize = field(kLinearSizeOffset);
  fields.pixelFormatFlags = field(kPixelFormatFlagsOffset);
  fields.fourCC = field(kFourCCOffset);
  fields.rgbBitCount = field(kRgbBitCountOffset);
  fields.redMask = field(kRedMaskOffset);
  fields.greenMask = field(kGreenMaskOffset);
  fields.blueMask = field(kBlueMaskOffset);
  fields.alphaMask = field(kAlphaMaskOffset);
  fields.gimpMarked = std::string_view(header + kGimpMarkOffset, kGimpMark.size()) == kGimpMark;
  fields.gimpEncoding = field(kGimpEncodingOffset);
  fields.dxgiFormat = field(kDxgiFormatOffset);
  fields.resourceDimension = field(kResourceDimensionOffset);
  fields.miscFlag = field(kMiscFlagOffset);
  fields.arraySize = field(kArraySizeOffset);
  return {};
}

namespace {

struct UncompressedLayout {
  std::uint32_t bitCount, red, green, blue, alpha;
};
constexpr UncompressedLayout kArgb8888Layout = {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
constexpr UncompressedLayout kRgb565Layout = {16, 0xF800, 0x07E0, 0x001F, 0};

bool givenAs(std::uint32_t value, std::uint32_t expected) {
  return value == 0 || value == expected;
}

// True unless a field that is given says the data are laid out otherwise.
bool agreesWith(const ImageFileFields& fields, const UncompressedLayout& layout) {
  return givenAs(fields.rgbBitCount, layout.bitCount) && givenAs(fields.redMask, layout.red) &&
         givenAs(fields.greenMask, layout.green) && givenAs(fields.blueMask, layout.blue) &&
         givenAs(fields.alphaMask, layout.alpha);
}

bool isDxt(std::uint32_t typeCode) {
  return typeCode == TypeCode::kDxt1 || typeCode == TypeCode::kDxt3 || typeCode == TypeCode::kDxt5;
}

std::optional<std::uint32_t> typeOfDxgiFormat(std::uint32_t format) {
  using namespace DxgiFormat;
  switch (format) {
    case kBc1Typeless:
    case kBc1Unorm:
    case kBc1UnormSrgb:
      return TypeCode::kDxt1;
    case kBc2Typeless:
    case kBc2Unorm:
    case kBc2UnormSrgb:
      return TypeCode::kDxt3;
    case kBc3Typeless:
    case kBc3Unorm:
    case kBc3UnormSrgb:
      return TypeCode::kDxt5;
    case kB8G8R8A8Unorm:
    case kB8G8R8A8Typeless:
    case kB8G8R8A8UnormSrgb:
      return TypeCode::kArgb8888;
    case kB5G6R5Unorm:
      return TypeCode::kRgb565;
    default:
      return std::nullopt;
  }
}

// Tools that fill in the DX10 header only partly leave dimension and array
// size 0.
bool isOnePlainTexture(const ImageFileFields& fields) {
  return (fields.resourceDimension == kResourceDimensionTexture2D ||
          fields.resourceDimension == kResourceDimensionUnknown) &&
         fields.arraySize <= 1 && (fields.miscFlag & kMiscTextureCube) == 0;
}

}  // namespace

std::optional<std::uint32_t> classifyImageFile(const ImageFileFields& fields) {
  if (isDxt(fields.fourCC)) return fields.fourCC;
  if (fields.fourCC == kFourCCDx10) {
    if (!isOnePlainTexture(fields)) return std::nullopt;
    return typeOfDxgiFormat(fields.dxgiFormat);
  }
  if (fields.pixelFormatFlags == kPixelRgbAlpha && agreesWith(fields, kArgb8888Layout)) {
    return TypeCode::kArgb8888;
  }
  if (fields.pixelFormatFlags == kPixelRgb && agreesWith(fields, kRgb565Layout)) {
    return TypeCode::kRgb565;
  }
  return std::nullopt;
}

bool isOtherDxt5Encoding(const ImageFileFields& fields) {
  if (fields.fourCC != TypeCode::kDxt5) return false;
  if ((fields.pixelFormatFlags & kPixelNormalMap) != 0) return true;
  const std::uint32_t encoding = fields.gimpEncoding;
  return fields.gimpMarked &&
         (encoding == kGimpAlphaExponent || encoding == kGimpYCoCg || encoding == kGimpYCoCgScaled);
}

std::optional<std::uint32_t> imageDataSize(const ImageFileFields& fields, std::uint32_t typeCode) {
  if ((fields.headerFlags & kFlagLinearSize) != 0) return fields.linearSize;
  std::uint64_t units;  // 4 x 4 blocks or pixels
  std::uint64_t bytesPerUnit;
  if (isDxt(typeCode)) {
    const auto blocks = [](std::uint32_t pixels) {
      return std::max<std::uint64_t>(1, (std::uint64_t{pixels} + 3) / 4);
    };
    units = blocks(fields.width) * blocks(fields.height);
    bytesPerUnit = typeCode == TypeCode::kDxt1 ? 8 : 16;
  } else {
    units = std::uint64_t{fields.width} * fields.height;
    bytesPerUnit = typeCode == TypeCode::kArgb8888 ? 4 : 2;
  }
  if (units > 0xFFFFFFFFull / bytesPerUnit) return std::nullopt;
  return static_cast<std::uint32_t>(units * bytesPerUnit);
}

namespace {

util::Status cutShort() {
  return util::Status::refused("The file ends before its image data do. Please save it again");
}

// The checks, in order; the refusals do not name the file yet.
util::Status inspect(const io::File& imageFile, StoredImage& image) {
  ImageFileFields fields;
  if (util::Status read = readImageFileFields(imageFile, fields); !read.ok()) return read;
  if (fields.fourCC == kFourCCDx10 && imageFile.size() < fields.dataOffset()) return cutShort();
  const std::optional<std::uint32_t> typeCode = classifyImageFile(fields);
  if (!typeCode) {
    return util::Status::refused(
        "Unknown Filetype. Please Use DXT1, DXT3, DXT5, 5.6.5 RGB, or 8.8.8.8 ARGB");
  }
  if (isOtherDxt5Encoding(fields)) {
    return util::Status::refused(
        "This DXT5 is stored as a normal map, Alpha Exponent or YCoCg, which the game shows in "
        "wrong colours. Please save it as plain BC3 / DXT5");
  }
  const std::optional<std::uint32_t> dataSize = imageDataSize(fields, *typeCode);
  if (!dataSize) {
    return util::Status::refused("The image is too large for an archive. Please save it smaller");
  }
  // A file cut short (a crashed editor, a full disk) would come back padded
  // with zeros: a damaged texture.
  if (imageFile.size() < fields.dataOffset() + *dataSize) return cutShort();
  image = {*typeCode, fields.width, fields.height, *dataSize, fields.dataOffset()};
  return {};
}

}  // namespace

util::Status inspectImageFile(const io::File& imageFile, StoredImage& image) {
  return inspect(imageFile, image).about(imageFile.name());
}

namespace {

// True when the rebuild would store the image from `file`.
util::Status storesImage(const io::File& file, const ImageFileContent& content,
                         io::Comparison& comparison, bool& stores) {
  stores = false;
  const ImageHeader& header = content.image;
  StoredImage stored;
  util::Status inspected = inspectImageFile(file, stored);
  if (inspected.code() == util::Status::Code::kRefused) return {};
  if (!inspected.ok()) return inspected;
  if (stored.typeCode != header.typeCode || stored.width != header.width ||
      stored.height != header.height || stored.dataSize != header.dataSize) {
    return {};
  }
  return comparison.sameBytes(file, stored.dataOffset, content.archive, content.dataOffset,
                              header.dataSize, stores);
}

}  // namespace

util::Status compareImageFile(const io::File& file, const ImageFileContent& content,
                              io::Comparison& comparison, FileHolds& holds) {
  holds = FileHolds::kAnother;
  bool stores = false;
  util::Status status = storesImage(file, content, comparison, stores);
  if (!status.ok() || !stores) return status;
  const std::string& expected = content.fileHeader;
  std::string head(expected.size(), '\0');
  if (util::Status read = file.read(0, head.data(), head.size()); !read.ok()) return read;
  const bool whole = file.size() == expected.size() + content.image.dataSize && head == expected;
  holds = whole ? FileHolds::kTheFile : FileHolds::kThePicture;
  return {};
}

}  // namespace formats::dds
