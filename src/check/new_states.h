#pragma once
// The step of the search that keeps what is new: walks the states of a delay run, passes over
// those that the reached set holds (or whose values cannot be stored), decides the open
// properties on the others, and adds them to the reached set. With clock intervals, the states of
// the run that fall into the box of a stored state are passed over without being made.

#include <cstdint>
#include <functional>
#include <vector>

#include "check/delay_run.h"
#include "check/search_control.h"
#include "check/value_ranges.h"
#include "check/verdicts.h"
#include "model/system.h"
#include "statespace/clock_intervals.h"
#include "statespace/reached_set.h"

namespace tickcheck {

class NewStates {
 public:
  // `goOn` is asked once per this many states made.
  static constexpr int64_t kStatesPerPoll = 64;

  // `widen` stores each new state with its clock intervals (else exactly). `goOn` answers whether
  // the search goes on. All references must outlive the object.
  NewStates(const CSystem& model, const ClockIntervals& intervals, ReachedSet& reached,
            ValueRanges& values, Verdicts& verdicts, SearchBudget& budget, bool widen,
            std::function<bool()> goOn);

  // Keeps the states of `run` that are not reached yet, in increasing position, with their
  // positions in the run. Answers false when every property was already settled, `goOn` said no
  // or the budget ran out (the search stops); `fresh` and `positions` then hold nothing useful.
  bool Keep(const DelayRun& run, std::vector<DsState>& fresh, std::vector<int32_t>& positions);

  // The number of states kept as new.
  int64_t Count() const { return count_; }

 private:
  const CSystem& model_;
  const ClockIntervals& intervals_;
  ReachedSet& reached_;
  ValueRanges& values_;
  Verdicts& verdicts_;
  SearchBudget& budget_;
  const bool widen_;
  std::function<bool()> goOn_;
  int64_t made_ = 0;  // states made from runs, new or not: the pace of the polls
  int64_t count_ = 0;
  // Keep's scratch, kept for its storage: states that `fresh` held before, and a box.
  std::vector<DsState> spare_;
  ClockBox box_;
};

}  // namespace tickcheck
