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
  // How the states of ended sweeps join the diagram: each sweep's as soon as it ends, its boxes
  // joined pairwise (kPerSweep); or the states of many sweeps at once, built in one pass
  // (kBatched). Both give the same diagram and the same answers at every moment; kBatched makes
  // far fewer decision-diagram nodes, so the manager's statistics differ.
  enum class Joining { kPerSweep, kBatched };

  // Empty. `space` and `intervals` must outlive the set.
  ReachedSet(const CStateSpace& space, const ClockIntervals& intervals,
             Joining joining = Joining::kPerSweep);

  // Where a state was reached: among the states not yet in the diagram, inside `box` (a box of
  // a state added in this sweep or, when batched, in an earlier sweep whose states wait to join
  // the diagram); in the diagram; or not at all.
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
  // is set, else exactly, and returns the box stored for it (valid until the next Add or the
  // join of the waiting states).
  const ClockBox& Add(const DsState& state, bool widen);
  // Ends the current sweep: its states join the diagram now, or, when batched, once enough
  // states wait.
  void EndSweep();
  // Joins every state that waits into the diagram: the end of a search. Per sweep, this is
  // nothing once EndSweep was called (the states of a stopped sweep stay out of the diagram).
  void Finish();

  // The diagram of the states that joined it.
  const bdd& Diagram() const { return earlier_; }

 private:
  void Join();

  const CStateSpace& space_;
  const Joining joining_;
  SweepSet sweep_;
  bdd earlier_;
};

}  // namespace tickcheck
