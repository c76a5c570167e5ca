#include "support/run_case.h"

#include <cctype>
#include <filesystem>

#include "support/files.h"
#include "support/run.h"
#include "support/windows.h"

namespace testing_support {

void PrintTo(const RunCase& c, std::ostream* out) {
  *out << c.title;
}

std::string caseName(const ::testing::TestParamInfo<RunCase>& info) {
  std::string name;
  for (char ch : info.param.title) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}

namespace {

// On Windows a backslash in a file name is a directory separator: the files
// a case names with backslashes lie in subdirectories there.
std::string localName(const std::string& name) {
  std::string local = name;
  if (windowsProgramsDir()) {
    for (char& c : local) {
      if (c == '\\') c = '/';
    }
  }
  return local;
}

Files localNames(const Files& files) {
  Files local;
  for (const auto& [name, bytes] : files) local[localName(name)] = bytes;
  return local;
}

bool hasDrive(const std::string& argument) {
  return argument.size() >= 2 && argument[1] == ':';
}

// Under Wine, every path is given whole, as dropping a file gives it:
// "C:\Zoë tests\spritetest-...\units.spr".
std::vector<std::string> droppedArguments(const std::vector<std::string>& arguments,
                                          const std::filesystem::path& directory) {
  if (!windowsProgramsDir()) return arguments;
  std::vector<std::string> dropped;
  for (const std::string& argument : arguments) {
    const bool relative = !argument.empty() && !hasDrive(argument);
    dropped.push_back(relative ? windowsPath(directory) + "\\" + argument : argument);
  }
  return dropped;
}

}  // namespace

void expectRun(const std::string& program, const RunCase& c) {
  TempDir dir;
  const Files before = localNames(c.before);
  for (const auto& [name, bytes] : before) {
    std::filesystem::create_directories((dir.path() / name).parent_path());
    writeFile(dir.file(name), bytes);
  }
  const RunResult result =
      runProgram(program, droppedArguments(c.arguments, dir.path()), dir.path().string());
  EXPECT_EQ(result.exitStatus, exitStatusFor(c.expected));
  EXPECT_EQ(result.output, c.expected);
  Files expectedFiles = before;
  for (const auto& [name, bytes] : localNames(c.written)) expectedFiles[name] = bytes;
  EXPECT_EQ(listFiles(dir.path()), expectedFiles);
}

}  // namespace testing_support
