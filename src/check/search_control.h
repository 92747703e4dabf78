#pragma once
// How the program that runs a search watches it and stops it. The search asks its control every
// so many states that it makes whether to go on, handing it the counters so far; the control may
// look at a clock or at a flag set by a signal handler, print a progress line, or answer no. An
// answer of no ends the search like an early end: no further state is made, the states of the
// current sweep are not joined into the reached set, and the open properties stay open.

#include <cstdint>

namespace tickcheck {

// The counters of a search.
struct SearchProgress {
  int64_t storedStates = 0;      // states accepted as new
  int64_t waitingEntries = 0;    // entries in the waiting lists
  int64_t transitionsFired = 0;  // composed transitions fired into a successor
  int64_t sweeps = 0;            // sweeps begun
};

class SearchControl {
 public:
  virtual ~SearchControl() = default;
  // Answers whether the search goes on; called often, so it should cost little.
  virtual bool Continue(const SearchProgress& progress) = 0;
};

}  // namespace tickcheck
