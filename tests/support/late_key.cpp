// Preloaded into a program under test: types a key on its terminal at the
// instant its pause stops gathering the bytes of a key press (a 20 ms look at
// standard input that found nothing), as a key pressed right then would be.
// Such a key must end no later pause.
#include <dlfcn.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

extern "C" int poll(struct pollfd* fds, nfds_t count, int timeoutMs) {
  using Poll = int (*)(struct pollfd*, nfds_t, int);
  static const auto realPoll = reinterpret_cast<Poll>(::dlsym(RTLD_NEXT, "poll"));
  const int ready = realPoll(fds, count, timeoutMs);
  if (ready == 0 && timeoutMs == 20 && count == 1 && fds[0].fd == STDIN_FILENO) {
    const char key = 'k';
    ::ioctl(STDIN_FILENO, TIOCSTI, &key);
  }
  return ready;
}
