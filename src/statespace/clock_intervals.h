#pragma once
// The clock intervals by which a stored state is widened: a stored state stands for the states
// that differ from it only in clocks that no comparison the model may still meet can tell apart,
// which the L and U bounds of the current locations give, cut by the per-location clock limits
// and by the property atoms on the clock. Read-only once built.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "expr/program.h"
#include "expr/property_symmetry.h"
#include "model/ds_state.h"
#include "model/system.h"
#include "statespace/clock_limits.h"

namespace tickcheck {

// An interval [start[k], end[k]] per active clock of a state, in the state's order.
// The intervals of a box where they are kept: clock k of the state's active clocks lies in
// [start[k], end[k]].
struct ClockBoxView {
  std::span<const int32_t> start;
  std::span<const int32_t> end;
};

struct ClockBox {
  std::vector<int32_t> start;
  std::vector<int32_t> end;
  operator ClockBoxView() const { return {start, end}; }
};

// The comparisons of clocks that the evaluations of some properties met in one state, gathered as
// ClockIntervals gathers them (the same evaluations, without a deadlock test), so that it need
// not evaluate those properties again.
struct ObservedComparisons {
  std::vector<uint8_t> properties;  // per property (0-based): 1 when `met` holds its comparisons
  std::vector<ClockComparison> met;
};

class ClockIntervals {
 public:
  // `model` is loaded with its properties; both must outlive the object. With `symmetry` the
  // search stores representatives, whose properties are decided over their permutations: the
  // intervals stop where a comparison that any of those evaluations meets changes its answer.
  ClockIntervals(const CSystem& model, const ClockLimits& limits,
                 const PropertySymmetry* symmetry = nullptr);

  // The L and U bounds of clock `clock` in `state`: the largest over the current locations of all
  // processes that list the clock (a clock may be listed by several processes); none when no
  // current location lists it.
  std::optional<LUBound> Bounds(const DsState& state, int32_t clock) const;
  // The interval [start, end] that a stored state at `value` (the clock's value in `state`) covers
  // for its active clock `clock`: from the clock's Bounds (the single value without bounds),
  // narrowed by the limits of its process's current location in the state and cut where a
  // property atom on the clock changes its answer, or where a comparison of the clock that a
  // property expression meets in the state does (expr/program.h: between those values the
  // expression answers the same), but always holding the value itself.
  void Interval(const DsState& state, int32_t clock, int32_t value, int32_t& start,
                int32_t& end) const;
  // The intervals of every active clock of `state` when it is stored; the second form writes them
  // into `box`, whose vectors keep their storage. A state in which some process is in a location
  // that Exact names gets its single values. `observed`, when given, holds what the evaluations of
  // some properties met in `state`: those are not evaluated again.
  ClockBox Box(const DsState& state) const;
  void Box(const DsState& state, ClockBox& box,
           const ObservedComparisons* observed = nullptr) const;
  // Whether states with process `process` (0-based) in location `location` (0-based) are stored
  // without widening. A stored state stands for the states of its box because it can do whatever
  // they can (its clocks meet each guard that theirs meet, and wait as long). That fails where
  // meeting more guards makes a state do less: where a jump out of the location is urgent (taken
  // only at the first delay it can be) or synchronises on an urgent channel (it stops time) and
  // its guard or its target's invariant reads a clock, and, under the usual broadcast rule, where
  // a receiving jump's guard reads a clock (a process whose guard holds must take part); and
  // everywhere when a property asks for a deadlock, which every guard decides.
  bool Exact(size_t process, size_t location) const { return exact_[process][location] != 0; }

 private:
  // The comparisons of clocks that the property expressions which read clocks meet in `state`,
  // appended to `met`, but for the properties that `observed` holds.
  void Observe(const DsState& state, std::vector<ClockComparison>& met,
               const ObservedComparisons* observed = nullptr) const;
  // The interval of Interval, cut at the comparisons of `met` and of `more`.
  void Interval(const DsState& state, int32_t clock, int32_t value,
                const std::vector<ClockComparison>& met, const std::vector<ClockComparison>& more,
                int32_t& start, int32_t& end) const;

  const CSystem& model_;
  const ClockLimits& limits_;
  const PropertySymmetry* symmetry_;
  // The property expressions that read a clock, and their properties (0-based).
  std::vector<int32_t> clockExpressions_;
  std::vector<size_t> clockProperties_;
  // Per clock: the sorted values at which a property atom comparing the clock may change its
  // truth (each atom's bound and the value after it).
  std::vector<std::vector<int64_t>> propertyCuts_;
  // Per variable id: the processes that have a location listing L and U bounds for it, ascending,
  // each with the bounds per location (0-based) of the process: the largest that the location
  // lists for the clock, with clockId 0 where it lists none.
  struct Listing {
    size_t process;
    std::vector<LUBound> bounds;
  };
  std::vector<std::vector<Listing>> listings_;
  std::vector<std::vector<char>> exact_;  // per process, per location
  bool anyExact_ = false;
};

}  // namespace tickcheck
