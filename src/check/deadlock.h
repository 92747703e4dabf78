#pragma once
// The `deadlock` of property expressions, decided exactly on a state of the search: a state is a
// deadlock when no composed transition can be taken in it nor in any state that time passing
// alone reaches from it (up to where every clock stands at its Max, an invariant stops time, or
// time stands still: a committed or urgent location, or the first delay at which a
// synchronisation on an urgent channel can be taken). An urgent jump counts wherever it can be
// taken.
//
// Along the delays of one state the answer is false up to some delay and true from there on, as
// far as time may pass: DeadlockFrom gives that delay, at which the verdicts evaluate properties
// that ask for a deadlock besides the delays at which their clock comparisons change.
//
// Every comparison that a transition meets (its guards, the excluded guards of a broadcast, the
// invariants of its target) changes its answer only where a clock reaches the comparison's bound
// or passes it, so only those delays are tested (each delay, when a bound or an assignment reads a
// clock).

#include <cstdint>
#include <optional>
#include <vector>

#include "check/constraints.h"
#include "check/successors.h"
#include "compose/composition.h"
#include "expr/program.h"
#include "model/ds_state.h"

namespace tickcheck {

class DeadlockTest final : public DeadlockHook {
 public:
  // All arguments must outlive the object; it composes locations through `successors`.
  DeadlockTest(const ConstraintTests& tests, SuccessorGenerator& successors,
               CComposition& composition);

  bool IsDeadlock(const DsState& state) const override;
  // The first delay from `state` whose delayed state is a deadlock, if time may pass that far: 0
  // when `state` is one.
  std::optional<int64_t> DeadlockFrom(const DsState& state) const;

 private:
  // The delays to which time passing alone may take `state`: 0 .. the answer.
  int64_t LastDelay(const DsState& state) const;
  // The last delay in 0 .. `last` at which some transition can be taken from `state`, if any.
  std::optional<int64_t> LastEnabled(const DsState& state, int64_t last) const;
  // The delays in 1 .. `last` at which a comparison of `ids` may change its answer; false when
  // one cannot tell (then every delay may).
  bool AddChanges(const DsState& state, const std::vector<int32_t>& ids, int64_t last,
                  std::vector<int64_t>& delays) const;

  const ConstraintTests& tests_;
  SuccessorGenerator& successors_;
  CComposition& composition_;
};

}  // namespace tickcheck
