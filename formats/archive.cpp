#include "formats/archive.h"

#include "formats/coding.h"

namespace formats {

util::Status readU32(const io::File& file, std::uint64_t offset, std::uint32_t& value) {
  char bytes[4];
  util::Status status = file.read(offset, bytes, sizeof bytes);
  value = status.ok() ? decodeU32(bytes) : 0;
  return status;
}

util::Status readImageHeader(const io::File& file, std::uint64_t offset, ImageHeader& header) {
  char bytes[kImageHeaderSize];
  util::Status status = file.read(offset, bytes, sizeof bytes);
  if (!status.ok()) return status;
  header = ImageHeader{decodeU32(bytes),      decodeU32(bytes + 4),  decodeU32(bytes + 8),
                       decodeU32(bytes + 12), decodeU32(bytes + 16), decodeU32(bytes + 20)};
  return status;
}

util::Status writeU32(io::File& file, std::uint64_t offset, std::uint32_t value) {
  char bytes[4];
  encodeU32(bytes, value);
  return file.write(offset, bytes, sizeof bytes);
}

void encodeImageHeader(char* destination, const ImageHeader& header) {
  encodeU32(destination, header.typeCode);
  encodeU32(destination + 4, header.RFWidth);
  encodeU32(destination + 8, header.RFHeight);
  encodeU32(destination + 12, header.width);
  encodeU32(destination + 16, header.height);
  encodeU32(destination + 20, header.dataSize);
}

util::Status writeImageHeader(io::File& file, std::uint64_t offset, const ImageHeader& header) {
  char bytes[kImageHeaderSize];
  encodeImageHeader(bytes, header);
  return file.write(offset, bytes, sizeof bytes);
}

util::Status writeFloat32(io::File& file, std::uint64_t offset, float value) {
  char bytes[4];
  encodeFloat32(bytes, value);
  return file.write(offset, bytes, sizeof bytes);
}

std::string typeName(std::uint32_t typeCode) {
  switch (typeCode) {
    case TypeCode::kDxt1:
      return "DXT1";
    case TypeCode::kDxt3:
      return "DXT3";
    case TypeCode::kDxt5:
      return "DXT5";
    case TypeCode::kArgb8888:
      return "8.8.8.8 ARGB";
    case TypeCode::kRgb565:
      return "5.6.5 RGB";
    default:
      return "Unknown (" + std::to_string(typeCode) + ")";
  }
}

bool isKnownTypeName(std::string_view name) {
  return !name.starts_with("Unknown");
}

}  // namespace formats
