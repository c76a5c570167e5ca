// Runs one of the programs as a user would, and captures what it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness/run.h"

namespace testing_support {

// What the program printed, its exit status (-1 when it did not exit
// normally) and whether it was killed: too slow, or a report without end.
using RunResult = harness::Collected;

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
