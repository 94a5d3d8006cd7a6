#include "end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace kvhost {

namespace {

volatile std::sig_atomic_t gSignal = 0;

// The terminal is swapped for /dev/null, so that a prompt that was about to read ends as well
// as one already waiting (whose read fails with EINTR). open and dup2 are safe in a handler.
extern "C" void noteSignal(int signo) {
  int saved = errno;
  gSignal = signo;
  int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, 0);
    close(null);
  }
  errno = saved;
}

}  // namespace

void catchEndSignals() {
  struct sigaction action = {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // without SA_RESTART a blocked read fails with EINTR and the prompt returns
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int endSignal() { return gSignal; }

}  // namespace kvhost
