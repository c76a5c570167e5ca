// Every file name of a converter run, built from the dropped path: the
// archive, the index, the image files, the new archive, the kept folder and
// the names inside it, and the start of a temporary file's name.
//
// With P the directory prefix (up to and including the last backslash) and
// B the base name (the name less its last four characters):
//   archive        P + B + ".spr"
//   index          P + B + ".rep"
//   image file     P + B + "-" + section + "-" + image + ".dds"
//   new archive    P + B + "(new).spr"
//   kept folder    P + B + "(kept N)", N from 1
//   kept picture   kept folder + "/" + the image file's name, less whatever
//                  folder (or drive) the system sees in B
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace converter {

// The converter's name, as its report shows it.
inline constexpr std::string_view kProgramName = "Zerbolt";
// The endings of the two files a run is started with.
inline constexpr std::string_view kArchiveEnding = ".spr";
inline constexpr std::string_view kIndexEnding = ".rep";
// Files written under a temporary name beside their final one start so.
inline constexpr std::string_view kTemporaryNameStart = kProgramName;

struct RunNames {
  std::string directoryPrefix;  // up to and including the last backslash
  std::string name;             // as dropped; shown in the report
  std::string baseName;         // the name less its last four characters
};

RunNames runNames(std::string_view argument);

// A file of the run: where it is, and its name as the report shows it,
// without the directory prefix.
struct RunFile {
  std::string path;
  std::string name;
};

RunFile archiveFile(const RunNames& names);
RunFile indexFile(const RunNames& names);
RunFile newArchiveFile(const RunNames& names);
// The image file of image `image` of section `section`.
RunFile imageFile(const RunNames& names, std::uint32_t section, std::uint32_t image);
// The `n`th kept folder's name.
RunFile keptFolder(const RunNames& names, std::uint32_t n);
// Where an older image file goes in the kept folder at `folderPath`.
std::string keptPicturePath(std::string_view folderPath, const RunNames& names,
                            std::uint32_t section, std::uint32_t image);

}  // namespace converter
