#include "support/run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "support/windows.h"

extern char** environ;

namespace testing_support {
namespace {

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The command line that runs `program`: the program itself, or its .exe
// under Wine.
std::vector<std::string> commandFor(const std::string& program) {
  const std::optional<std::string> windowsDir = windowsProgramsDir();
  if (!windowsDir) return {program};
  const std::string name = std::filesystem::path(program).filename().string();
  return {"wine", (std::filesystem::path(*windowsDir) / (name + ".exe")).string()};
}

// This process's environment, with what Wine needs put over it.
std::vector<std::string> environmentFor() {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) entries.emplace_back(*entry);
  if (windowsProgramsDir()) {
    for (const std::string& setting : wineEnvironment()) {
      const std::string name = setting.substr(0, setting.find('=') + 1);
      std::erase_if(entries, [&name](const std::string& e) { return e.starts_with(name); });
      entries.push_back(setting);
    }
  }
  return entries;
}

// More than any honest report: the program is stopped there.
constexpr std::size_t kOutputLimit = 64u << 20;

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void becomeProgram(const std::string& directory, int output, char** argv, char** envp,
                                std::uint64_t fileSizeLimit) {
  const int input = ::open("/dev/null", O_RDONLY);
  if (input < 0 || ::dup2(input, 0) < 0 || ::dup2(output, 1) < 0) ::_exit(126);
  if (::chdir(directory.c_str()) != 0) ::_exit(126);
  if (fileSizeLimit > 0) {
    // A full disk, as `ulimit -f` makes one: the program must not let
    // SIGXFSZ end it.
    const rlimit limit{fileSizeLimit, fileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ::execvpe(argv[0], argv, envp);
  ::_exit(127);
}

}  // namespace

namespace {

RunResult runOnce(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& directory, double timeoutSeconds,
                  std::uint64_t fileSizeLimit) {
  RunResult result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;

  std::vector<std::string> command = commandFor(program);
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = environmentFor();
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) becomeProgram(directory, pipeFds[1], argv.data(), envp.data(), fileSizeLimit);
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    return result;
  }

  const double deadline = now() + timeoutSeconds;
  char buffer[65536];
  for (;;) {
    const double left = deadline - now();
    if (left <= 0) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd readable{pipeFds[0], POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(n));
    if (result.output.size() > kOutputLimit) {
      result.timedOut = true;  // a report without end
      ::kill(pid, SIGKILL);
      break;
    }
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status) && !result.timedOut) result.exitStatus = WEXITSTATUS(status);
  return result;
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
