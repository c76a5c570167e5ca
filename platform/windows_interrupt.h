// The cleanup when a Windows console run is interrupted (Ctrl-C, Ctrl-Break,
// the window closed): the files named by removeIfInterrupted() are removed
// before the process ends.
#pragma once

namespace platform::windows {

// Holds the interrupt handler off while it lives, installing it first if it
// is not yet, so that a file and the name the handler removes are made
// together: the handler sees both or neither.
class InterruptHeldOff {
 public:
  InterruptHeldOff();
  ~InterruptHeldOff();
  InterruptHeldOff(const InterruptHeldOff&) = delete;
  InterruptHeldOff& operator=(const InterruptHeldOff&) = delete;
};

}  // namespace platform::windows
