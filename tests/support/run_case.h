// A table row for end-to-end tests: the files a run starts with, its
// arguments, and what it must print and leave behind.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

using Files = std::map<std::string, std::string>;  // path in the run's directory -> bytes

struct RunCase {
  std::string title;
  Files before;
  std::vector<std::string> arguments;
  std::string expected;  // standard output, byte for byte
  Files written = {};    // files the run creates or changes, with their bytes after it
};

void PrintTo(const RunCase& c, std::ostream* out);
std::string caseName(const ::testing::TestParamInfo<RunCase>& info);

// Runs `program` on the case in a fresh directory and checks its exit status,
// its output and every file in the directory afterwards: exactly the files it
// started with, unchanged, and those it was to write.
void expectRun(const std::string& program, const RunCase& c);

}  // namespace testing_support
