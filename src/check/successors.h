#pragma once
// Successor generation. For the new states that the search kept from one waiting entry, finds
// every composed transition that can fire, computes per state the window of delays after which
// it may be taken, fires it at the earliest admissible delay and turns the result into a waiting
// entry whose delay count stands for the later admissible delays. New entries are merged into the
// waiting list of their composed location, where entries that describe overlapping delay runs of
// the same discrete situation are folded together.
//
// Time is discrete: a delay of d adds d to every advancing clock, and a clock never exceeds its
// Max (a larger value is lowered to Max). Operator codes: 1 ==, 2 <, 3 <=, 4 >, 5 >=, 6 !=;
// 2 and 3 bound from above, 4 and 5 from below, 1 and 6 count as both.

#include <cstdint>
#include <vector>

#include "check/value_ranges.h"
#include "statespace/state_space.h"

namespace tickcheck {

class SuccessorGenerator {
 public:
  explicit SuccessorGenerator(CStateSpace& space);

  // `states` is non-empty, in increasing batch position `positions`; all share locations and
  // integer values and differ only in advancing clocks. `frozen` are the frozen clocks of the
  // waiting entry they came from.
  void GenerateSuccessors(const std::vector<DsState>& states, const std::vector<int32_t>& positions,
                          const std::vector<int32_t>& frozen);

  // The integer-variable constraints of the transition's guard hold in `state` (an empty guard
  // holds). A code outside 1 to 6 writes "Error type in satisfy" and fails.
  bool GuardHolds(const DsState& state, const CComposedTransition& transition);
  // Every constraint of every process's current location invariant holds in `state`, clocks
  // included (a clock the state does not carry has the value -1).
  bool InvariantsHold(const DsState& state);

  // Fires `transition` from `state` at the first delay d in [lo, hi] at which its whole guard
  // (clocks included) holds on the delayed state and after which the target's invariants hold.
  // Answers the remaining delay count (see RemainingDelays), or -1 when no delay works; `target`
  // receives the successor. Delays at which the guard comparison or the invariant that failed
  // cannot hold yet are passed over, so a window of billions of delays costs a few tests.
  int32_t FireTransition(const DsState& state, const CComposedTransition& transition, int32_t lo,
                         int32_t hi, DsState& target);
  // Moves `target` (a delayed copy of `source` with the transition's post location) through the
  // jump: rebuilds its clock list when a participating process changes its active clocks (kept
  // clocks keep their value, new ones start at 0), then applies the updates in order.
  void ApplyJump(const DsState& source, DsState& target, const CComposedTransition& transition);
  // The clocks of the successor whose values are the same whatever the firing delay: those the
  // transition assigns and those that the target carries and the source did not (they start at
  // 0). Ascending, each once. They are the frozen clocks of the successor's waiting entry.
  static std::vector<int32_t> FixedClocks(const DsState& source, const DsState& target,
                                          const CComposedTransition& transition);
  // How many firing delays from `limit` downwards keep the target's invariants (the `fixed`
  // clocks excepted): 1 without active clocks; -1 after "Error op type".
  int32_t RemainingDelays(const DsState& target, int32_t limit, const std::vector<int32_t>& fixed);

  // Merges the entries of one transition into the waiting list of their composed location.
  void MergeIntoWaiting(std::vector<WaitingDsState>& entries, bool selfLoop);
  // The key under which an entry waits: entries with different keys never merge.
  uint64_t MergeKey(const WaitingDsState& entry) const;
  // Compares a new entry with a stored one: 0 the new one adds nothing; 1 the stored one takes
  // the new state and `merged` count; -1 the stored one keeps its state and takes `merged`; -2 the
  // two are apart.
  int32_t CompareEntries(const WaitingDsState& fresh, const WaitingDsState& stored,
                         int32_t& merged) const;

  // The number of states s, s+1, ... that the current invariants admit (at most 65535; 1 when no
  // invariant bounds the clocks from above).
  int32_t MaxDelay(const DsState& state);
  // The state followed by its delayed copies up to MaxDelay.
  std::vector<DsState> InvariantDelays(const DsState& state);

  // Adds `delay` to the clocks at `positions` of the state's active list, lowering values above a
  // clock's Max to Max. Answers whether every such clock now stands at its Max.
  bool Delay(DsState& state, const std::vector<size_t>& positions, int64_t delay) const;

  // The positions, in the entry's active clocks, of the clocks that are not frozen.
  static std::vector<size_t> AdvancingPositions(const WaitingDsState& entry);

  // The number of transitions that GenerateSuccessors fired into an encodable successor.
  int64_t FiredTransitions() const { return firedTransitions_; }

 private:
  int32_t CompareEntries(const WaitingDsState& fresh, const std::vector<size_t>& advancing,
                         const WaitingDsState& stored, int32_t& merged) const;

  struct Constraint {
    int32_t variable;
    int32_t expression;
  };
  struct DelayBounds {
    std::vector<int32_t> variables;  // A: every bounding constraint's variable, repeats kept
    std::vector<Constraint> upper;
    std::vector<Constraint> lower;
  };
  struct Window {
    int64_t lo = 0;
    int64_t hi = 0;
  };

  Window DelayWindow(const DsState& state, const std::vector<int32_t>& clocks,
                     const DelayBounds& bounds);
  void CollectBounds(const DsState& state, const CComposedTransition& transition,
                     DelayBounds& bounds);
  // Relation `code` between the value of the constraint's variable and its bound, in `state`.
  bool Satisfied(const DsState& state, int32_t expression);
  // The first invariant constraint of the state's locations that fails, or -1.
  int32_t FailingInvariant(const DsState& state);
  // Whether the comparison is of a clock and holds when the clock stands at its Max (its bound
  // read in `state`).
  bool HoldsAtMax(const DsState& state, int32_t expression) const;
  // The first of `constraints` that fails in `state`, clocks included, or -1.
  int32_t FailingConstraint(const DsState& state, const std::vector<int32_t>& constraints);
  // After the guard comparison `failing` failed for the source delayed by `delay` (`delayed`):
  // the next delay at which it can hold, or -1 when it cannot hold at any later delay.
  int64_t NextGuardDelay(const DsState& delayed, int32_t failing, int64_t delay);
  // Whether the expression reads a variable other than an integer (a clock, whose value changes
  // with the delay); with `exceptCompared`, the compared variable of a comparison is not counted.
  bool ReadsClock(int32_t expression, bool exceptCompared) const;
  // After the invariant `failing` failed for the target at `delay`: the next delay at which it
  // can hold, or -1 when it cannot hold at any later delay.
  int64_t NextCandidateDelay(const DsState& source, const DsState& target,
                             const CComposedTransition& transition, int32_t failing, int64_t delay);
  const CVariable* Variable(int32_t id) const;
  const CLocation& LocationOf(const DsState& state, size_t process) const;

  CStateSpace& space_;
  CSystem& system_;
  CComposition& composition_;
  ValueRanges ranges_;
  int64_t firedTransitions_ = 0;
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
  int64_t delaysTried_ = 0;
#endif
};

}  // namespace tickcheck
