#pragma once
// The search: explores the reachable discrete states sweep by sweep, one composed location per
// sweep, keeping the reached states and deciding every property on each newly reached state. It
// takes a waiting entry, expands the run of delays it stands for (check/delay_run.h), keeps the
// states that are new and decides the open properties on them (check/new_states.h), and
// generates their successors (check/successors.h). It ends when no waiting entry is left, or
// early once every property is settled, its control stops it or its limit is reached.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "check/canonical_states.h"
#include "check/constraints.h"
#include "check/deadlock.h"
#include "check/new_states.h"
#include "check/run_time_errors.h"
#include "check/search_control.h"
#include "check/successors.h"
#include "check/value_ranges.h"
#include "check/verdicts.h"
#include "compose/composition.h"
#include "expr/property_symmetry.h"
#include "model/ds_state.h"
#include "model/messages.h"
#include "model/symmetry.h"
#include "model/system.h"
#include "statespace/clock_intervals.h"
#include "statespace/clock_limits.h"
#include "statespace/reached_set.h"
#include "statespace/state_space.h"
#include "statespace/waiting_lists.h"

namespace tickcheck {

struct SearchOptions {
  bool noClockIntervals = false;     // "-n": every state is stored exactly
  bool checkTimeSuccessors = false;  // "-t": properties also on the delays MaxDelay admits
  SearchLimits limits{};
  // Store one representative per orbit of the model's symmetry ([Symmetry]), when it has one.
  bool symmetry = true;
};

class Checker {
 public:
  // Builds the per-location clock limits (writing their lines). `model` is loaded with its
  // properties and composed by `composition`; `space` is its state space; the lines of the search
  // go to `messages`. All must outlive the checker.
  Checker(const CSystem& model, CComposition& composition, const CStateSpace& space,
          const SearchOptions& options, MessageSink& messages);

  // Lets `control` watch the search and stop it (see check/search_control.h); it must outlive
  // Check. Without a control the search runs to its end.
  void SetControl(SearchControl* control) { control_ = control; }

  // Runs the search from `initial` and writes the manager's statistics into `info` (unless it is
  // null). The stage
  // lines are "begin checking", "pastlist:" when the search was not stopped, and "DsState Number
  // in pastList:\t<n>".
  void Check(const DsState& initial, std::FILE* info);

  // The result of every property (see check/verdicts.h).
  const std::vector<uint8_t>& PropertyResults() const { return verdicts_.Results(); }
  // The counters of the search so far.
  SearchProgress Progress() const;
  // The number of variables reported for a value outside their range or bits.
  int32_t MisfitVariableCount() const { return values_.MisfitVariableCount(); }
  // Format 2: the number of edges, invariants and properties reported for a run-time error, and
  // whether a loop that ran past its bound stopped the search (the open properties stay open).
  int32_t RunTimeErrorCount() const { return errors_.Count(); }
  bool StoppedByLoopBound() const { return errors_.LoopBoundReached(); }
  // Where the run-time errors of the run are reported, the liveness properties' too.
  RunTimeErrors& Errors() { return errors_; }
  // The reached set as a diagram (after Check: the states of the sweeps that ended).
  const bdd& Reached() const { return reached_.Diagram(); }
  // The symmetry that the search uses (which members are free), or null when it uses none.
  const PropertySymmetry* Symmetry() const { return propertySymmetry_.get(); }

 private:
  const CSystem& model_;
  const CStateSpace& space_;
  MessageSink& messages_;
  const std::unique_ptr<const SymmetryIndex> symmetryIndex_;
  const std::unique_ptr<const PropertySymmetry> propertySymmetry_;
  const ClockLimits limits_;
  const ClockIntervals intervals_;
  const ConstraintTests tests_;
  SearchBudget budget_;
  ValueRanges values_;
  RunTimeErrors errors_;
  Verdicts verdicts_;
  ReachedSet reached_;
  WaitingLists waiting_;
  NewStates newStates_;
  SuccessorGenerator successors_;
  std::unique_ptr<CanonicalStates> canonical_;
  DeadlockTest deadlock_;
  SearchControl* control_ = nullptr;
  bool controlStopped_ = false;  // the control answered no
  int64_t sweeps_ = 0;
};

}  // namespace tickcheck
