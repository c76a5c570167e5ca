// File names as Windows takes them at any length, open to the checks that
// compare them with the forms Windows documents.
#pragma once

#include <string>
#include <string_view>

namespace platform::windows {

// The extended-length form of `path` ("\\?\C:\mods\units.spr"): the full
// path, with forward slashes, "." and ".." resolved as Windows resolves them,
// behind "\\?\", or "\\?\UNC\" for a network path ("\\server\share\...").
// Without it Windows refuses paths longer than 260 characters. A path already
// in that form, or naming a device ("\\.\"), is kept as it is; so is one
// Windows cannot make full.
std::wstring extendedLengthPath(std::wstring_view path);

// The name of a UTF-8 `path` as every file call of Windows is handed it: in
// UTF-16, in the form it takes at any length.
std::wstring filePath(const std::string& path);

// True when `path`, in the form filePath() gives, names a device rather than
// a file on a drive, a share or a volume: "\\.\COM1", "\\.\Tape0",
// "\\.\C:" (the volume itself), "\\?\GLOBALROOT\Device\...".
bool namesDevice(std::wstring_view path);

// The folder of `path`, backslash included, from its full path:
// "C:units(new).spr" lies in the current folder of drive C, which need not
// be the current folder.
std::string folderOf(const std::string& path);

}  // namespace platform::windows
