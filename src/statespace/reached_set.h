#pragma once
// The set of reached states of a search, in two tiers that it hides: the states that joined one
// decision diagram, and the states of the latest sweeps as boxes of clock intervals
// (statespace/sweep_set.h) that join the diagram together, built in one pass, once about a
// thousand of them wait (at the end of a sweep, or within a sweep of more states).

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

  // Where a state was reached: among the states not yet in the diagram, inside `box` (a box of
  // a state added in this sweep or in an earlier sweep whose states wait to join the diagram);
  // in the diagram; or not at all.
  enum class Tier { kNone, kSweep, kEarlier };
  struct Found {
    Tier tier = Tier::kNone;
    ClockBoxView box;  // for kSweep
  };
  Found Find(const DsState& state) const;
  bool Contains(const DsState& state) const { return Find(state).tier != Tier::kNone; }
  // Whether the earlier sweeps hold every state of the discrete part of `state` with its active
  // clocks in `box`. Costs diagram operations.
  bool EarlierHold(const DsState& state, ClockBoxView box) const;

  // Adds the state to the current sweep, each active clock widened to its interval when `widen`
  // is set, else exactly (`observed`: see ClockIntervals::Box), and returns the box stored for it
  // (valid until the next Add or the join of the waiting states).
  ClockBoxView Add(const DsState& state, bool widen, const ObservedComparisons* observed = nullptr);
  // Ends the current sweep: its states join the diagram once enough states wait.
  void EndSweep();
  // Joins every state that waits into the diagram: the end of a search (the states of a stopped
  // sweep join too).
  void Finish();

  // The diagram of the states that joined it.
  const bdd& Diagram() const { return earlier_; }

 private:
  void Join();

  const CStateSpace& space_;
  SweepSet sweep_;
  bdd earlier_;
};

}  // namespace tickcheck
