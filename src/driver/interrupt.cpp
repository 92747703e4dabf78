#include "driver/interrupt.h"

#include <csignal>

namespace tickcheck {
namespace {

// A signal handler can reach nothing but objects of static storage, and may only write a
// sig_atomic_t: this flag is the one piece of process-wide state the run needs for SIGINT.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void MarkInterrupted(int) {
  g_interrupted = 1;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = &MarkInterrupted;
  sigemptyset(&action.sa_mask);
  // Back to the default after the first SIGINT, so that a second one ends the process.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &previous_);
}

InterruptCatcher::~InterruptCatcher() {
  sigaction(SIGINT, &previous_, nullptr);
}

bool InterruptCatcher::Interrupted() const {
  return g_interrupted != 0;
}

}  // namespace tickcheck
