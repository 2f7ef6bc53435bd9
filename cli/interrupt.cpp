#include "cli/interrupt.h"

#include <csignal>

namespace tolvane::cli {

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void onInterrupt(int signal) { received = signal; }

}  // namespace

void catchInterrupts() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a sleep or read in progress returns early.
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int interruptSignal() { return received; }

const char* interruptName(int signal) { return signal == SIGTERM ? "SIGTERM" : "SIGINT"; }

}  // namespace tolvane::cli
