#pragma once
// The set of reached states of a search, in two tiers that it hides: the states of earlier sweeps
// as one decision diagram, and the states of the current sweep as boxes of clock intervals
// (statespace/sweep_set.h) that join the diagram when the sweep ends.

#include "model/ds_state.h"
#include "statespace/bdd_manager.h"
#include "statespace/clock_intervals.h"
#include "statespace/state_space.h"
#include "statespace/sweep_set.h"

namespace tickcheck {

class ReachedSet {
 public:
  // Empty. `space` and `intervals` must outlive the set.
  ReachedSet(const CStateSpace& space, const ClockIntervals& intervals);

  // Where a state was reached: in the current sweep, inside `box` (a box of a state added in
  // this sweep); in an earlier sweep; or not at all.
  enum class Tier { kNone, kSweep, kEarlier };
  struct Found {
    Tier tier = Tier::kNone;
    const ClockBox* box = nullptr;  // for kSweep
  };
  Found Find(const DsState& state) const;
  bool Contains(const DsState& state) const { return Find(state).tier != Tier::kNone; }
  // Whether the earlier sweeps hold every state of the discrete part of `state` with its active
  // clocks in `box`. Costs diagram operations.
  bool EarlierHold(const DsState& state, const ClockBox& box) const;

  // Adds the state to the current sweep, each active clock widened to its interval when `widen`
  // is set, else exactly.
  void Add(const DsState& state, bool widen);
  // Joins the current sweep's states into the diagram and starts an empty sweep.
  void EndSweep();

  // The diagram of the earlier sweeps.
  const bdd& Diagram() const { return earlier_; }

 private:
  const CStateSpace& space_;
  SweepSet sweep_;
  bdd earlier_;
};

}  // namespace tickcheck
