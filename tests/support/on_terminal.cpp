// on_terminal COMMAND [ARGS...]: runs COMMAND on a terminal of its own and
// copies what it prints to standard output; exits with its exit status.
// Nothing is ever typed on that terminal. (script(1) types the end-of-file
// character when its own standard input ends, which lands in the console
// of a program under Wine as a stray key press.)
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return 2;
  if (child == 0) {
    ::execvp(argv[1], argv + 1);
    ::_exit(127);
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EIO once the last holder of the terminal has gone
    if (::write(STDOUT_FILENO, buffer, static_cast<size_t>(n)) < 0) break;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
