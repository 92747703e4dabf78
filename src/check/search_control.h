#pragma once
// How the program that runs a search watches it, stops it and bounds it. The search asks its
// control every so many states that it makes whether to go on, handing it the counters so far; the
// control may look at a clock or at a flag set by a signal handler, print a progress line, or
// answer no. An answer of no ends the search like an early end: no further state is made, the
// states of the current sweep are not joined into the reached set, and the open properties stay
// open. A search limit ends the search the same way once it has done that much work.

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

// A bound on the work of one search, for runs that must stay short whatever the model: after
// `states` states made from waiting entries (new or not, with the delays on which the properties
// were evaluated counted too) the search ends as an early end does, and successor generation
// gives up a transition once it has tried 100 times that many firing delays in all. 0 bounds
// nothing.
struct SearchLimits {
  int64_t states = 0;
};

// The work of one search counted against its limits.
class SearchBudget {
 public:
  explicit SearchBudget(SearchLimits limits) : limits_(limits) {}

  // Counts `states` states made or evaluated; false once more than the limit were counted.
  bool SpendStates(int64_t states) {
    examined_ += states;
    return limits_.states == 0 || examined_ <= limits_.states;
  }
  // Counts one firing delay tried; false once more than 100 times the state limit were tried.
  bool SpendDelay() {
    ++delaysTried_;
    return limits_.states == 0 || delaysTried_ <= 100 * limits_.states;
  }

 private:
  SearchLimits limits_;
  int64_t examined_ = 0;
  int64_t delaysTried_ = 0;
};

}  // namespace tickcheck
