#pragma once
// The window of delays after which a composed transition may fire from a state: from the clock
// comparisons of the current invariants and of the transition's guard, and from the L and U
// bounds up to which waiting may still matter to a later comparison.

#include <cstdint>
#include <optional>
#include <vector>

#include "check/constraints.h"
#include "compose/composition.h"
#include "model/ds_state.h"
#include "statespace/clock_intervals.h"

namespace tickcheck {

// A comparison of a clock that bounds the delay, with its expression id, its relation code, and
// its bound and the clock's value and frozenness in the state that the bounds were collected for.
struct DelayConstraint {
  int32_t variable;
  int32_t expression;
  int32_t code;
  int32_t bound;
  int64_t value;
  bool frozen;
};

// The comparisons that bound the delay before a transition fires.
struct DelayBounds {
  std::vector<DelayConstraint> upper;
  std::vector<DelayConstraint> lower;
};

// The delays lo .. hi (hi < lo: none).
struct Window {
  int64_t lo = 0;
  int64_t hi = 0;
};

// The window that the frozen clocks allow, and the one that the other active clocks allow.
struct Windows {
  Window frozen;
  Window advancing;
};

class DelayWindows {
 public:
  // Both must outlive the object.
  DelayWindows(const ConstraintTests& tests, const ClockIntervals& intervals);

  // Reads, once for the many windows of one state whose frozen clocks are `frozen`, each active
  // clock's value, the delay up to which the L and U bounds of the frozen clocks, and of the
  // others, let waiting matter, and the bounding comparisons of the state's invariants. Collect
  // and Of then require this same state.
  void Prepare(const DsState& state, const std::vector<int32_t>& frozen);

  // The comparisons of the state's active clocks in every process's current invariant, then in
  // the transition's guard: those that bound from below, and those that bound from above unless
  // they hold at the clock's Max (a clock stays at its Max once there).
  // Written into `bounds`, whose earlier contents are dropped.
  void Collect(const DsState& state, const CComposedTransition& transition,
               DelayBounds& bounds) const;
  // For the frozen clocks, and for the other active clocks, the window that they allow, starting
  // from (0, 0): each clock's L and U bounds raise its upper end to where waiting stops to matter;
  // the comparisons of `bounds` on a clock of the set raise the lower end to their lowest admitted
  // value and lower the upper end to their highest.
  Windows Of(const DelayBounds& bounds) const;

 private:
  // Whether `x` is an active clock of the prepared state.
  bool IsActive(const DsState& state, int32_t x) const;
  // Adds comparison `expression` to `bounds` when it compares an active clock of the prepared
  // state.
  void Record(const DsState& state, int32_t expression, DelayBounds& bounds) const;
  // The value of clock `x` in the prepared state, and its delay bound (nothing without bounds).
  int64_t ValueOf(const DsState& state, int32_t x) const;
  std::optional<int64_t> WaitEnd(const DsState& state, int32_t x) const;
  // The largest delay bound of the clocks among `clocks` that `counted` admits, at least 0.
  template <typename Counted>
  int64_t WaitEnd(const DsState& state, const std::vector<int32_t>& clocks, Counted counted) const;

  const ConstraintTests& tests_;
  const ClockIntervals& intervals_;
  // Per variable id, for the prepared state: whether it is one of its active clocks (the entry
  // equals `prepared_`), its value and its delay bound (kNoBound: none).
  static constexpr int64_t kNoBound = INT64_MIN;
  std::vector<uint32_t> preparedAt_;
  std::vector<int64_t> values_;
  std::vector<int64_t> waitEnds_;
  uint32_t prepared_ = 0;
  // The prepared state's frozen clocks, the delay bounds of the frozen and of the other active
  // clocks, and its invariant comparisons.
  std::vector<int32_t> frozen_;
  int64_t frozenWaitEnd_ = 0;
  int64_t advancingWaitEnd_ = 0;
  DelayBounds invariantBounds_;
};

}  // namespace tickcheck
