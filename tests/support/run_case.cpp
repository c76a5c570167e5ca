#include "support/run_case.h"

#include <cctype>
#include <filesystem>

#include "support/files.h"
#include "support/run.h"

namespace testing_support {

void PrintTo(const RunCase& c, std::ostream* out) {
  *out << c.title;
}

std::string caseName(const ::testing::TestParamInfo<RunCase>& info) {
  std::string name;
  for (char ch : info.param.title) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}

void expectRun(const std::string& program, const RunCase& c) {
  TempDir dir;
  for (const auto& [name, bytes] : c.before) {
    std::filesystem::create_directories((dir.path() / name).parent_path());
    writeFile(dir.file(name), bytes);
  }
  const RunResult result = runProgram(program, c.arguments, dir.path().string());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.output, c.expected);
  Files expectedFiles = c.before;
  for (const auto& [name, bytes] : c.written) expectedFiles[name] = bytes;
  EXPECT_EQ(listFiles(dir.path()), expectedFiles);
}

}  // namespace testing_support
