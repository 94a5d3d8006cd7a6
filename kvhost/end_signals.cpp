#include "end_signals.h"

#include <csignal>

namespace kvhost {

namespace {

volatile std::sig_atomic_t gSignal = 0;

extern "C" void noteSignal(int signo) { gSignal = signo; }

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
