#include "formats/dds.h"

namespace formats::dds {

const std::string* templateFor(const HeaderTemplates& templates, std::string_view typeName) {
  if (typeName.starts_with('D')) return &templates.dxt;
  if (typeName.starts_with('8')) return &templates.argb8888;
  if (typeName.starts_with('5')) return &templates.rgb565;
  return nullptr;
}

bool writeImageFile(File& imageFile, const HeaderTemplates& templates, std::string_view typeName,
                    const ImageHeader& header, const File& archive, std::uint64_t dataOffset) {
  const std::string* headerTemplate = templateFor(templates, typeName);
  if (headerTemplate == nullptr) return false;
  const std::uint64_t oldSize = imageFile.size();
  bool ok = imageFile.write(0, headerTemplate->data(), headerTemplate->size());
  if (headerTemplate == &templates.dxt) ok = writeU32(imageFile, kFourCCOffset, header.typeCode) && ok;
  ok = writeU32(imageFile, kHeightOffset, header.height) && ok;
  ok = writeU32(imageFile, kWidthOffset, header.width) && ok;
  ok = writeU32(imageFile, kLinearSizeOffset, header.dataSize) && ok;
  return ok && copyRange(archive, dataOffset, imageFile, kDataOffset, header.dataSize, oldSize);
}

ImageFileFields readImageFileFields(const File& imageFile) {
  ImageFileFields fields;
  fields.height = readU32(imageFile, kHeightOffset);
  fields.width = readU32(imageFile, kWidthOffset);
  fields.linearSize = readU32(imageFile, kLinearSizeOffset);
  fields.fourCC = readU32(imageFile, kFourCCOffset);
  fields.pixelFormatFlags = readU32(imageFile, kPixelFormatFlagsOffset);
  return fields;
}

std::optional<std::uint32_t> classifyImageFile(const ImageFileFields& fields) {
  switch (fields.fourCC) {
    case TypeCode::kDxt1:
    case TypeCode::kDxt3:
    case TypeCode::kDxt5:
      return fields.fourCC;
    default:
      break;
  }
  if (fields.pixelFormatFlags == kPixelRgbAlpha) return TypeCode::kArgb8888;
  if (fields.pixelFormatFlags == kPixelRgb) return TypeCode::kRgb565;
  return std::nullopt;
}

}  // namespace formats::dds
