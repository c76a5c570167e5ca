// Starts a program as a child of this process, and collects what it printed
// and how it ended.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace harness {

// What a child's standard input or output is, besides a descriptor of ours.
inline constexpr int kInherited = -1;
inline constexpr int kClosed = -2;
inline constexpr int kNullDevice = -3;

struct Child {
  std::vector<std::string> command;           // the program (looked up on PATH) and its arguments
  std::string directory;                      // where it starts; this process's when empty
  std::vector<std::string> environment = {};  // NAME=value entries over this process's
  int input = kNullDevice;
  int output = kInherited;
  std::uint64_t fileSizeLimit = 0;         // `ulimit -f`, as a full disk; none when 0
  int ignoredSignal = 0;                   // a signal it starts with ignored, as `trap '' SIG` does
  std::function<void()> beforeStart = {};  // runs in the child just before the program
  bool onTerminal = false;  // on a pseudo-terminal of its own, as its input and output
};

// Starts `child`: its process id, or -1. A child on a terminal gives the
// terminal's other end in `terminal`.
pid_t start(const Child& child, int* terminal = nullptr);

// Waits for the process to end: its status as waitpid() tells it.
int waitFor(pid_t pid);
// The exit status of a process that ended with `waitStatus`; -1 when it did
// not exit.
int exitStatusOf(int waitStatus);

struct Collected {
  std::string output;     // standard output, byte for byte
  int exitStatus = -1;    // -1 when the program did not exit normally
  bool timedOut = false;  // killed: too slow, or printing without end
};

// Runs `child` with its standard output read here; kills it after
// `timeoutSeconds` or `outputLimit` bytes of output.
Collected runCollecting(Child child, double timeoutSeconds, std::size_t outputLimit);

}  // namespace harness
