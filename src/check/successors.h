#pragma once
// Successor generation. For the new states that the search kept from one waiting entry, finds
// every composed transition that can fire, computes per state the window of delays after which
// it may be taken (check/delay_window.h), fires it at the earliest admissible delay and turns the
// result into a waiting entry whose delay count stands for the later admissible delays. The new
// entries go into the waiting lists, which merge those that describe overlapping delay runs of the
// same discrete situation.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "check/canonical_states.h"
#include "check/constraints.h"
#include "check/delay_window.h"
#include "check/run_time_errors.h"
#include "check/search_control.h"
#include "check/value_ranges.h"
#include "compose/composition.h"
#include "model/ds_state.h"
#include "statespace/clock_intervals.h"
#include "statespace/waiting_lists.h"

namespace tickcheck {

class SuccessorGenerator {
 public:
  // All references must outlive the generator; it composes the locations of `composition` that
  // it expands and puts new entries into `waiting`.
  SuccessorGenerator(const ConstraintTests& tests, const ClockIntervals& intervals,
                     CComposition& composition, WaitingLists& waiting, ValueRanges& values,
                     RunTimeErrors& errors, SearchBudget& budget);

  // `states` is non-empty, in increasing batch position `positions`; all share locations and
  // integer values and differ only in advancing clocks. `frozen` are the frozen clocks of the
  // waiting entry they came from. In a format-2 model a transition whose guard bounds meet a
  // run-time error is reported and not fired; after a loop ran past its bound nothing more is
  // fired.
  void GenerateSuccessors(const std::vector<DsState>& states, const std::vector<int32_t>& positions,
                          const std::vector<int32_t>& frozen);

  // The largest delay that time passing alone may reach from `state` beyond what its invariants
  // allow: 0 when some process is in a committed or urgent location, else the first delay at
  // which a transition synchronising on an urgent channel can be taken (time passes up to that
  // state, not beyond), else nothing. Composes the state's location when it is not composed yet.
  std::optional<int64_t> DelayCap(const DsState& state);
  // Whether `transition` can be taken from `state` delayed by `delay` (every clock advancing): its
  // guards hold there, no excluded guard does, and the target's invariants hold after the jump.
  bool CanTakeAt(const DsState& state, const CComposedTransition& transition, int64_t delay);

  // Fires `transition` from `state` at the first delay d in [lo, hi] at which its whole guard
  // (clocks included) holds on the delayed state and after which the target's invariants hold.
  // A run-time error of the assignments or of the target's invariants (format 2) is reported and
  // fires nothing.
  // Answers the remaining delay count (see RemainingDelays), or nothing when no delay works;
  // `target` receives the successor and, when it is answered, `fixed` its FixedClocks. Delays at
  // which the guard comparison or the invariant that failed cannot hold yet are passed over, so a
  // window of billions of delays costs a few tests.
  std::optional<int32_t> FireTransition(const DsState& state, const CComposedTransition& transition,
                                        int32_t lo, int32_t hi, DsState& target,
                                        std::vector<int32_t>& fixed);
  // Moves `target` (a delayed copy of `source` with the transition's post location) through the
  // jump: rebuilds its clock list when a participating process changes its active clocks (kept
  // clocks keep their value, new ones start at 0), then applies the updates in order. In a
  // format-2 model an effect (variable 0) runs its expression on the target and each assignment
  // checks the range of its integer variable; the first run-time error ends the jump and is
  // answered (the target is then incomplete). A run-time error never depends on the delay: the
  // expressions of assignments read no clock.
  std::optional<ExpressionError> ApplyJump(const DsState& source, DsState& target,
                                           const CComposedTransition& transition) const;
  // The clocks of the successor whose values are the same whatever the firing delay: those the
  // transition assigns and those that the target carries and the source did not (they start at
  // 0). Ascending, each once, written into `fixed`. They are the frozen clocks of the successor's
  // waiting entry.
  static void FixedClocks(const DsState& source, const DsState& target,
                          const CComposedTransition& transition, std::vector<int32_t>& fixed);
  // How many firing delays from `limit` downwards keep the target's invariants (the `fixed`
  // clocks excepted): 1 without active clocks; nothing after the problem line "Error op type".
  std::optional<int32_t> RemainingDelays(const DsState& target, int32_t limit,
                                         const std::vector<int32_t>& fixed) const;

  // Makes every successor the representative of its orbit before it waits (null: none).
  void SetSymmetry(CanonicalStates* canonical) { canonical_ = canonical; }

  // The number of transitions that GenerateSuccessors fired into an encodable successor.
  int64_t FiredTransitions() const { return firedTransitions_; }

 private:
  // The first delay d in [lo, hi] at which `transition` can be taken from `state`: its whole
  // guard holds on the state delayed by d and the target's invariants hold after the jump, which
  // `target` receives. Nothing when no delay works.
  std::optional<int64_t> FirstFiring(const DsState& state, const CComposedTransition& transition,
                                     int32_t lo, int32_t hi, DsState& target);
  // Whether the waiting entry of `transition`'s successor (successor_, fired at its first delay)
  // stands for the later firing delays too. Firing later changes the clocks that the jump does not
  // fix; when it fixes none, the successors of later firings are the first one delayed, which
  // waiting in the target reaches, unless time may stop there (a committed or urgent location, or
  // an urgent channel, in the target) or an urgent jump leaves the target: each later firing
  // starts a wait of its own, in which the urgent jump may be taken at once.
  bool StandsForLaterFirings(const CComposedTransition& transition);
  // The first delay at which a transition synchronising on an urgent channel can be taken from
  // `state` (whose location is composed), if any. Prepares the delay windows for `state`.
  std::optional<int64_t> UrgentDeadline(const DsState& state);
  // The parts of `window` (delays from `state`, every clock advancing) at which no group of the
  // transition's excluded guards holds, ascending, written into `pieces`.
  void AllowedPieces(const DsState& state, const CComposedTransition& transition,
                     const Window& window, std::vector<Window>& pieces) const;
  // The delays at which every comparison of `guard` holds on `state` delayed, within `window`, as
  // disjoint intervals appended to `held`.
  void HoldingDelays(const DsState& state, std::span<const int32_t> guard, const Window& window,
                     std::vector<Window>& held) const;

  // After the guard comparison `failing` failed for the source delayed by `delay` (`delayed`):
  // the next delay at which it can hold, or nothing when it cannot hold at any later delay.
  std::optional<int64_t> NextGuardDelay(const DsState& delayed, int32_t failing,
                                        int64_t delay) const;
  // After the invariant `failing` failed for the target at `delay`: the next delay at which it
  // can hold, or nothing when it cannot hold at any later delay.
  std::optional<int64_t> NextCandidateDelay(const DsState& source, const DsState& target,
                                            const CComposedTransition& transition, int32_t failing,
                                            int64_t delay) const;

  const ConstraintTests& tests_;
  const CSystem& model_;
  DelayWindows windows_;
  CComposition& composition_;
  WaitingLists& waiting_;
  ValueRanges& values_;
  RunTimeErrors& errors_;
  SearchBudget& budget_;
  const bool checked_;      // format 2: expressions may meet run-time errors
  const bool timeStops_;    // CSystem::HasTimeStops
  const bool urgentJumps_;  // some internal jump is urgent
  CanonicalStates* canonical_ = nullptr;
  int64_t firedTransitions_ = 0;
  // Scratch of GenerateSuccessors, kept so that its vectors keep their storage from call to call.
  DelayBounds bounds_;
  std::vector<size_t> allPositions_;  // FireTransition's
  WaitingDsState successor_;
  std::vector<std::optional<int64_t>> caps_;
  std::vector<Window> pieces_;
  DsState scratch_;
};

}  // namespace tickcheck
