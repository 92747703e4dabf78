#pragma once
// The run of delays that a waiting entry stands for: its state, then its delayed copies, the
// frozen clocks staying and the others advancing by 1, 2, ..., delay count - 1 (never beyond their
// Max). The states are made one at a time, so a long run costs memory only for the states that are
// kept.

#include <cstdint>
#include <vector>

#include "model/ds_state.h"
#include "model/system.h"
#include "statespace/clock_intervals.h"
#include "statespace/waiting_lists.h"

namespace tickcheck {

class DelayRun {
 public:
  // `model` and `entry` must outlive the run.
  DelayRun(const CSystem& model, const WaitingDsState& entry);

  const WaitingDsState& Entry() const { return entry_; }
  // The run's distinct states, at positions 0 .. Size() - 1. Copies that all advancing clocks
  // have brought to their Max would all be equal: the first of them stands for the rest, and
  // LastPosition() is the position of the last state the entry stands for.
  int32_t Size() const { return size_; }
  int32_t LastPosition() const { return lastPosition_; }
  // The state at position `k` (0 <= k < Size()).
  DsState StateAt(int32_t k) const;
  // The same, written into `state` (whose vectors keep their storage).
  void StateAt(int32_t k, DsState& state) const;
  // The farthest position from `k` (forwards when `forward`, else backwards) up to which every
  // state of the run lies in the box of clock intervals `box` that holds the state at `k`.
  int32_t Reach(int32_t k, ClockBoxView box, bool forward) const;

 private:
  const CSystem& model_;
  const WaitingDsState& entry_;
  std::vector<size_t> advancing_;  // positions in the active list of the clocks that advance
  int32_t size_ = 1;
  int32_t lastPosition_ = 0;
};

}  // namespace tickcheck
