// Checks the extended-length form every file name takes on Windows (or Wine)
// against the forms Windows documents, written out here by hand, and what
// the opens say of a file that is missing or that another program holds.
// Prints "N passed, N failed" and exits non-zero on any failure.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/windows_paths.h"
#include "platform/windows_text.h"

namespace {

std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

int main() {
  ::SetCurrentDirectoryW(L"C:\\windows");
  const std::wstring deep = L"C:\\mods\\" + std::wstring(280, L'd') + L"\\units.spr";
  const struct {
    std::wstring given;
    std::wstring expected;
  } cases[] = {
      {L"C:\\mods\\units.spr", L"\\\\?\\C:\\mods\\units.spr"},
      {L"C:/mods/units.spr", L"\\\\?\\C:\\mods\\units.spr"},
      {L"C:\\mods/sub\\units.rep", L"\\\\?\\C:\\mods\\sub\\units.rep"},
      {L"units.spr", L"\\\\?\\C:\\windows\\units.spr"},
      {L"mods\\units.spr", L"\\\\?\\C:\\windows\\mods\\units.spr"},
      {L"C:\\mods\\old\\..\\units.spr", L"\\\\?\\C:\\mods\\units.spr"},
      {L"C:\\mods\\.\\units.spr", L"\\\\?\\C:\\mods\\units.spr"},
      {L"..\\units.spr", L"\\\\?\\C:\\units.spr"},
      {L"\\\\server\\share\\mods\\units.spr", L"\\\\?\\UNC\\server\\share\\mods\\units.spr"},
      {L"//server/share/units.spr", L"\\\\?\\UNC\\server\\share\\units.spr"},
      {L"\\\\?\\C:\\mods\\units.spr", L"\\\\?\\C:\\mods\\units.spr"},
      {L"\\\\?\\UNC\\server\\share\\units.spr", L"\\\\?\\UNC\\server\\share\\units.spr"},
      {L"\\\\.\\pipe\\units.spr", L"\\\\.\\pipe\\units.spr"},
      {L"C:\\mods\\Zo\u00EB \u65E5\u672C.spr", L"\\\\?\\C:\\mods\\Zo\u00EB \u65E5\u672C.spr"},
      {deep, L"\\\\?\\" + deep},
      {L"", L""},
  };
  int passed = 0;
  int failed = 0;
  for (const auto& c : cases) {
    const std::wstring got = platform::windows::extendedLengthPath(c.given);
    if (got == c.expected) {
      ++passed;
    } else {
      ++failed;
      std::printf("FAILED: %s gave %s, not %s\n", narrow(c.given).c_str(), narrow(got).c_str(),
                  narrow(c.expected).c_str());
    }
  }
  // Names carried to UTF-8 and back: a lone surrogate (NTFS allows one)
  // keeps its own three bytes, so that no other file is opened.
  const struct {
    std::wstring name;
    std::string utf8;
  } names[] = {
      {L"Zo\u00EB.spr", "Zo\xC3\xAB.spr"},
      {L"\xD83D\xDE00.spr", "\xF0\x9F\x98\x80.spr"},
      {std::wstring(L"a") + wchar_t(0xD800) + L".spr", "a\xED\xA0\x80.spr"},
      {std::wstring(1, wchar_t(0xDC00)) + wchar_t(0xD800), "\xED\xB0\x80\xED\xA0\x80"},
  };
  for (const auto& c : names) {
    const std::string utf8 = platform::windows::toUtf8(c.name);
    if (utf8 == c.utf8 && platform::windows::toWide(utf8) == c.name) {
      ++passed;
    } else {
      ++failed;
      std::printf("FAILED: %s did not come back from UTF-8\n", narrow(c.name).c_str());
    }
  }
  // Names of devices are refused before they are opened, files are not.
  for (const auto& [name, device] : {std::pair{L"\\\\.\\COM1", true},
                                     {L"\\\\.\\C:", true},
                                     {L"\\\\?\\GLOBALROOT\\Device\\Tape0", true},
                                     {L"\\\\.\\C:\\mods\\units.spr", false},
                                     {L"\\\\?\\UNC\\server\\share\\COM1", false}}) {
    const bool right = platform::windows::namesDevice(name) == device;
    right ? ++passed : ++failed;
    if (!right)
      std::printf("FAILED: %s taken for a %s\n", narrow(name).c_str(), device ? "file" : "device");
  }
  // A file another program holds without sharing is there but unreadable,
  // told in the system's words for it, without their line end; one that
  // is not there is missing.
  const std::string locked = "C:\\windows\\temp\\zerbolt-locked.spr";
  const HANDLE holder = ::CreateFileW(platform::windows::toWide(locked).c_str(), GENERIC_WRITE, 0,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  platform::OpenedFile opened;
  const util::Status held = platform::openInputFile(locked, opened);
  const std::string words = platform::windows::systemMessage(ERROR_SHARING_VIOLATION);
  const util::Status missing = platform::openInputFile(locked + ".none", opened);
  ::CloseHandle(holder);
  ::DeleteFileW(platform::windows::toWide(locked).c_str());
  for (const auto& [right, what] :
       {std::pair{held.code() == util::Status::Code::kUnreadable, "a held file unreadable"},
        {held.cause() == words && !words.empty() && words.find("Windows error") != 0 &&
             words.back() != '\n' && words.back() != ' ',
         "the sharing violation in the system's words"},
        {missing.code() == util::Status::Code::kMissing, "a file not there missing"}}) {
    right ? ++passed : ++failed;
    if (!right) std::printf("FAILED: %s (%s)\n", what, held.cause().c_str());
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
