#include "check/delay_run.h"

#include <algorithm>

#include "check/delay.h"

namespace tickcheck {

DelayRun::DelayRun(const CSystem& model, const WaitingDsState& entry)
    : model_(model), entry_(entry) {
  if (entry.delayCount <= 1)
    return;
  const DsState& state = entry.state;
  advancing_ = AdvancingPositions(entry);
  // The delay after which every advancing clock stands at its Max (at least 1: with no advancing
  // clock, every delayed copy equals the first one).
  int64_t saturation = 1;
  for (size_t k : advancing_) {
    const int32_t max = model.variables[static_cast<size_t>(state.activeClocks[k]) - 1].Max;
    saturation = std::max(saturation, int64_t{max} - state.clockValues[k]);
  }
  lastPosition_ = entry.delayCount - 1;
  size_ = static_cast<int32_t>(std::min<int64_t>(entry.delayCount, saturation + 1));
}

DsState DelayRun::StateAt(int32_t k) const {
  DsState state;
  StateAt(k, state);
  return state;
}

void DelayRun::StateAt(int32_t k, DsState& state) const {
  state = entry_.state;
  if (k > 0)
    Delay(model_, state, advancing_, k);
}

int32_t DelayRun::Reach(int32_t k, ClockBoxView box, bool forward) const {
  const DsState& base = entry_.state;
  int64_t reach = forward ? size_ - 1 : 0;
  for (size_t position : advancing_) {
    const int32_t clock = base.activeClocks[position];
    const int64_t max = model_.variables[static_cast<size_t>(clock) - 1].Max;
    const int64_t start = base.clockValues[position];
    // The clock's value along the run, min(start + j, max), never decreases unless it starts
    // above its Max.
    if (start > max)
      return k;
    if (forward && box.end[position] < max)
      reach = std::min(reach, box.end[position] - start);
    if (!forward)
      reach = std::max(reach, box.start[position] - start);
  }
  return static_cast<int32_t>(forward ? std::max<int64_t>(reach, k) : std::min<int64_t>(reach, k));
}

}  // namespace tickcheck
