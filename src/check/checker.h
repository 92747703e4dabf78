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

#include "check/successors.h"
#include "statespace/state_space.h"
#include "statespace/sweep_set.h"

namespace tickcheck {

class Checker {
 public:
  explicit Checker(CStateSpace& space);

  // Runs the search. `noClockIntervals` ("-n") stores every state exactly; `checkTimeSuccessors`
  // ("-t") also evaluates the properties on the delays that the invariants allow. Writes the
  // manager's statistics into `info`. Answers 1, or 0 when the model's initial state was refused.
  // The verdicts are in the state space's propertyResult.
  int32_t Check(std::FILE* info, bool noClockIntervals, bool checkTimeSuccessors);

  // The next composed location whose waiting list is non-empty, cyclically from the current one;
  // -1 when none is left.
  int32_t NextWaitingIndex();
  // The entry's state followed by its delayed copies: the frozen clocks stay, the others advance
  // by 1, 2, ..., delay count - 1 (never beyond their Max). Copies that all advancing clocks have
  // brought to their Max would all be equal: the first of them stands for the rest, and
  // `lastPosition` is the batch position of the last state the entry stands for.
  std::vector<DsState> ExpandDelays(const WaitingDsState& entry, int32_t& lastPosition) const;
  // Keeps the states of the batch that are neither in the reached set nor in `sweep`, adds them to
  // `sweep` and evaluates the open properties on them. Answers false when every property was
  // already settled (the search stops); `fresh` and `positions` then hold nothing useful.
  bool FilterNewStates(const std::vector<DsState>& batch, int32_t lastPosition, SweepSet& sweep,
                       std::vector<DsState>& fresh, std::vector<int32_t>& positions);
  // Evaluates the open properties on the state (and with "-t" on its admitted delays). Answers
  // false when no property was open any more.
  bool CheckProperties(const DsState& state);

  // The number of states accepted as new.
  int64_t dsStateCount = 0;

 private:
  bool EvaluateOpenProperties(const DsState& state);

  CStateSpace& space_;
  SuccessorGenerator successors_;
};

}  // namespace tickcheck
