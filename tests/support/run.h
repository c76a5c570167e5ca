// Runs one of the programs as a user would, and captures what it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct RunResult {
  std::string output;     // standard output, byte for byte
  int exitStatus = -1;    // -1 when the program did not exit normally
  bool timedOut = false;  // killed: too slow, or a report without end
};

// The exit status a run that printed `output` must have: 0 when it ended
// with "Done!" and told no stop, 1 for every other run.
int exitStatusFor(const std::string& output);

// Runs `program` with `arguments` in `directory`, standard input from
// /dev/null; kills it after `timeoutSeconds` or 64 MiB of output. A
// `fileSizeLimit` is a limit on the size of every file it writes (`ulimit -f`),
// as a full disk would be.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory, double timeoutSeconds = 20,
                     std::uint64_t fileSizeLimit = 0);

}  // namespace testing_support
