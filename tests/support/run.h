// Runs one of the programs as a user would, and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct RunResult {
  std::string output;   // standard output, byte for byte
  int exitStatus = -1;  // -1 when the program did not exit normally
  bool timedOut = false;
};

// Runs `program` with `arguments` in `directory`, standard input from
// /dev/null; kills it after `timeoutSeconds`.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory, double timeoutSeconds = 20);

}  // namespace testing_support
