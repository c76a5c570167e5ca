// The set-up of the process on POSIX systems, and its command line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

// A program started with descriptor 0, 1 or 2 closed would hand that number
// to the first file it opens, and the report would be written into it.
void openMissingStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    // open() takes the lowest free number, which is fd; anything else is
    // a stray descriptor to close.
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

}  // namespace

void prepareProcess() {
  openMissingStandardStreams();
  ::signal(SIGPIPE, SIG_IGN);
  // Past a file-size limit a write then fails and is reported, instead of
  // the signal ending the run with its temporary file left behind.
  ::signal(SIGXFSZ, SIG_IGN);
}

std::string firstArgument(int argc, char** argv) {
  return argc > 1 ? argv[1] : "";
}

}  // namespace platform
