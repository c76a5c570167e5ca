#include "support/run.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "support/windows.h"

namespace testing_support {
namespace {

// The command line that runs `program`: the program itself, or its .exe
// under Wine.
std::vector<std::string> commandFor(const std::string& program) {
  const std::optional<std::string> windowsDir = windowsProgramsDir();
  if (!windowsDir) return {program};
  const std::string name = std::filesystem::path(program).filename().string();
  return {"wine", (std::filesystem::path(*windowsDir) / (name + ".exe")).string()};
}

// More than any honest report: the program is stopped there.
constexpr std::size_t kOutputLimit = 64u << 20;

RunResult runOnce(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& directory, double timeoutSeconds,
                  std::uint64_t fileSizeLimit) {
  harness::Child child{commandFor(program), directory};
  child.command.insert(child.command.end(), arguments.begin(), arguments.end());
  if (windowsProgramsDir()) child.environment = wineEnvironment();
  child.fileSizeLimit = fileSizeLimit;
  return harness::runCollecting(child, timeoutSeconds, kOutputLimit);
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory, double timeoutSeconds,
                     std::uint64_t fileSizeLimit) {
  RunResult result = runOnce(program, arguments, directory, timeoutSeconds, fileSizeLimit);
  // Every run of the programs prints, and none exits with status 1: status 1
  // with nothing printed is Wine failing to start the program (seen once in
  // a whole CI run under Wine, on a loaded machine).
  for (int retry = 0;
       retry < 2 && windowsProgramsDir() && result.exitStatus == 1 && result.output.empty();
       ++retry) {
    std::fprintf(stderr, "wine exited with 1 before %s printed anything; started again\n",
                 program.c_str());
    result = runOnce(program, arguments, directory, timeoutSeconds, fileSizeLimit);
  }
  return result;
}

int exitStatusFor(const std::string& output) {
  const bool done = output == "Done!\r\n" || output.ends_with("\r\nDone!\r\n");
  return done && output.find("; stopped here.***\r\n") == std::string::npos ? 0 : 1;
}

}  // namespace testing_support
