#include "harness/run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace harness {
namespace {

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// This process's environment with `entries` put over it.
std::vector<std::string> environmentWith(const std::vector<std::string>& entries) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  for (const std::string& setting : entries) {
    const std::string name = setting.substr(0, setting.find('=') + 1);
    std::erase_if(environment, [&name](const std::string& e) { return e.starts_with(name); });
    environment.push_back(setting);
  }
  return environment;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Makes `stream` (0 or 1) what `what` says; false when it cannot.
bool redirect(int what, int stream) {
  if (what == kInherited) return true;
  if (what == kClosed) {
    ::close(stream);
    return true;
  }
  if (what == kNullDevice) what = ::open("/dev/null", stream == 0 ? O_RDONLY : O_WRONLY);
  return what >= 0 && ::dup2(what, stream) >= 0;
}

// Runs in the child between fork and exec.
[[noreturn]] void becomeProgram(const Child& child, char** argv, char** envp) {
  if (child.beforeStart) child.beforeStart();
  if (!child.onTerminal && (!redirect(child.input, 0) || !redirect(child.output, 1))) ::_exit(126);
  if (!child.directory.empty() && ::chdir(child.directory.c_str()) != 0) ::_exit(126);
  if (child.fileSizeLimit > 0) {
    // A full disk, as `ulimit -f` makes one: the program must not let
    // SIGXFSZ end it.
    const rlimit limit{child.fileSizeLimit, child.fileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (child.ignoredSignal != 0) ::signal(child.ignoredSignal, SIG_IGN);
  ::execvpe(argv[0], argv, envp);
  ::_exit(127);
}

}  // namespace

pid_t start(const Child& child, int* terminal) {
  std::vector<std::string> command = child.command;
  std::vector<std::string> environment = environmentWith(child.environment);
  std::vector<char*> argv = pointersTo(command);
  std::vector<char*> envp = pointersTo(environment);
  const pid_t pid = child.onTerminal ? ::forkpty(terminal, nullptr, nullptr, nullptr) : ::fork();
  if (pid == 0) becomeProgram(child, argv.data(), envp.data());
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

int exitStatusOf(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

Collected runCollecting(Child child, double timeoutSeconds, std::size_t outputLimit) {
  Collected result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  child.output = pipeFds[1];
  const pid_t pid = start(child);
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
    if (result.output.size() > outputLimit) {
      result.timedOut = true;  // printing without end
      ::kill(pid, SIGKILL);
      break;
    }
  }
  ::close(pipeFds[0]);
  const int status = waitFor(pid);
  if (!result.timedOut) result.exitStatus = exitStatusOf(status);
  return result;
}

}  // namespace harness
