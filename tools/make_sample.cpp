// Writes DIR/units.spr: two sections holding one small image of each of the
// five pixel formats, for trying the tools without a game at hand.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "formats/archive.h"
#include "io/file.h"

namespace {

using formats::ImageHeader;

struct SampleImage {
  std::uint32_t typeCode;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t dataSize;
};

// A repeating ramp: any bytes are a valid texture in these formats.
std::vector<char> sampleData(std::uint32_t size, std::uint32_t seed) {
  std::vector<char> data(size);
  for (std::uint32_t k = 0; k < size; ++k) data[k] = static_cast<char>((k * 7 + seed * 31) & 0xFF);
  return data;
}

util::Status writeSample(io::File& archive) {
  namespace T = formats::TypeCode;
  const std::vector<std::vector<SampleImage>> sections = {
      {{T::kDxt1, 8, 8, 32}, {T::kArgb8888, 4, 4, 64}, {T::kDxt5, 8, 4, 32}},
      {{T::kRgb565, 4, 2, 16}, {T::kDxt3, 4, 4, 16}},
  };
  util::Status status = formats::writeFloat32(archive, 0, formats::kFormatVersion);
  if (status.ok()) {
    status = formats::writeU32(archive, formats::kSectionCountOffset,
                               static_cast<std::uint32_t>(sections.size()));
  }
  std::uint64_t position = formats::kFirstSectionOffset;
  std::uint32_t seed = 0;
  for (const auto& images : sections) {
    if (status.ok()) {
      status = formats::writeU32(archive, position, static_cast<std::uint32_t>(images.size()));
    }
    position += 4;
    for (const SampleImage& image : images) {
      const ImageHeader header{image.typeCode, image.width,  image.height,
                               image.width,    image.height, image.dataSize};
      const std::vector<char> data = sampleData(image.dataSize, ++seed);
      if (status.ok()) status = formats::writeImageHeader(archive, position, header);
      if (status.ok()) {
        status = archive.write(position + formats::kImageHeaderSize, data.data(), data.size());
      }
      position += formats::kImageHeaderSize + image.dataSize;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_sample DIRECTORY\n";
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  io::File archive;
  util::Status status = io::File::openOutput((directory / "units.spr").string(), archive);
  if (status.ok()) status = writeSample(archive);
  if (!status.ok()) {
    std::cerr << "make_sample: could not write " << status.file() << ": " << status.cause() << "\n";
    return 1;
  }
  std::cout << (directory / "units.spr").string() << "\n";
  return 0;
}
