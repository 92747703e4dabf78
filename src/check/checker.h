#pragma once
// The search: explores the reachable discrete states sweep by sweep, one composed location per
// sweep, keeping the reached states as one decision diagram and deciding every property on each
// newly reached state. Each waiting entry stands for a short run of delay successors of one state;
// the search expands it into explicit states, keeps those not reached before, evaluates the open
// properties on them, adds them to the reached set and generates their successors. It ends when
// no waiting entry is left, or early once every property is settled.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "check/search_control.h"
#include "check/successors.h"
#include "statespace/state_space.h"
#include "statespace/sweep_set.h"

namespace tickcheck {

class Checker {
 public:
  // The model's properties are loaded: the checker notes once which of them compare clocks.
  explicit Checker(CStateSpace& space);

  // Runs the search. `noClockIntervals` ("-n") stores every state exactly; `checkTimeSuccessors`
  // ("-t") also evaluates the properties on the delays that the invariants allow. Writes the
  // manager's statistics into `info`. Answers 1, or 0 when the model's initial state was refused.
  // The verdicts are in the state space's propertyResult.
  int32_t Check(std::FILE* info, bool noClockIntervals, bool checkTimeSuccessors);

  // Lets `control` watch the search and stop it (see check/search_control.h); it must outlive
  // Check. Without a control the search runs to its end.
  void SetControl(SearchControl* control) { control_ = control; }
  // The counters of the search so far.
  SearchProgress Progress() const;

  // The next composed location whose waiting list is non-empty, cyclically from the current one;
  // -1 when none is left.
  int32_t NextWaitingIndex();
  // The states that a waiting entry stands for, made one at a time: a long run of delays costs
  // memory only for the states that are kept.
  struct DelayRun {
    const WaitingDsState* entry = nullptr;
    std::vector<size_t> advancing;  // positions in the active list of the clocks that advance
    // The run's distinct states, at positions 0 .. size - 1. Copies that all advancing clocks
    // have brought to their Max would all be equal: the first of them stands for the rest, and
    // `lastPosition` is the position of the last state the entry stands for.
    int32_t size = 1;
    int32_t lastPosition = 0;
  };
  // The run of the entry: its state, then its delayed copies, the frozen clocks staying and the
  // others advancing by 1, 2, ..., delay count - 1 (never beyond their Max).
  DelayRun ExpandDelays(const WaitingDsState& entry) const;
  // The state at position `k` (0 <= k < run.size) of the run.
  DsState StateAt(const DelayRun& run, int32_t k) const;
  // Keeps the states of the run that are neither in the reached set nor in `sweep`, adds them to
  // `sweep` and evaluates the open properties on them. With clock intervals, the states of the
  // run that fall into the box of a stored state are passed over without being made. Answers false
  // when every property was already settled or the control stopped the search (the search stops);
  // `fresh` and `positions` then hold nothing useful.
  bool FilterNewStates(const DelayRun& run, SweepSet& sweep, std::vector<DsState>& fresh,
                       std::vector<int32_t>& positions);
  // Evaluates the open properties on the state: those that compare clocks also on every delay
  // that the invariants allow, the others with "-t" also on the delays that MaxDelay admits.
  // Answers false when no property was open any more.
  bool CheckProperties(const DsState& state);

  // The number of states accepted as new.
  int64_t dsStateCount = 0;

 private:
  // Whether property `property` (0-based) is still open.
  bool IsOpen(size_t property) const;
  // Evaluates the open properties that compare clocks (`withClockAtoms`) or the others on the
  // state; answers whether one of them was open.
  bool EvaluateOpenProperties(const DsState& state, bool withClockAtoms);
  // The delays from `state` after which a clock atom of an open property may change its answer,
  // ascending, each at least 1 and at most up to the clock's Max.
  std::vector<int64_t> ClockAtomDelays(const DsState& state) const;
  // The farthest position from `k` (forwards when `forward`, else backwards) up to which every
  // state of the run lies in the box of clock intervals `box` that holds the state at `k`.
  int32_t BoxReach(const DelayRun& run, int32_t k, const SweepSet::Box& box, bool forward) const;
  // The clock intervals of `state` when it is stored.
  SweepSet::Box OwnBox(const DsState& state) const;

  CStateSpace& space_;
  SuccessorGenerator successors_;
  SearchControl* control_ = nullptr;
  int64_t sweeps_ = 0;
  int64_t statesMade_ = 0;  // states made from runs, new or not: the pace of the control's polls
  // Per property: 1 when one of its atoms compares a clock.
  std::vector<uint8_t> comparesClocks_;
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
  int64_t examined_ = 0;  // states made from runs (new or not) and delays evaluated for "-t"
#endif
};

}  // namespace tickcheck
