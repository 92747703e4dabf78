#pragma once
// The arithmetic of time passing in a discrete state. Time is discrete: a delay of d adds d to
// every advancing clock, and a clock never exceeds its Max (a larger value is lowered to Max).

#include <cstdint>
#include <optional>
#include <vector>

#include "check/constraints.h"
#include "model/ds_state.h"
#include "model/system.h"

namespace tickcheck {

// `value` clamped to the range of a signed 32-bit integer.
int32_t ClampToInt(int64_t value);

// Adds `delay` to the clocks at `positions` of the state's active list, lowering values above a
// clock's Max to Max. Answers whether every such clock now stands at its Max.
bool Delay(const CSystem& model, DsState& state, const std::vector<size_t>& positions,
           int64_t delay);

// The positions 0 .. n - 1 of the state's n active clocks.
std::vector<size_t> AllClockPositions(const DsState& state);

// A comparison `x code bound` fails while x stands at `value` and advances by one per delay up to
// `max`: the number of further delays after which it can hold, or nothing when it never holds
// again.
std::optional<int64_t> DelaysUntilHolds(int32_t code, int64_t value, int64_t bound, int64_t max);

// The number of states s, s+1, ... that the current invariants admit: the smallest room that an
// upper-bound comparison (< or <=) of an invariant leaves, at most 65535; 1 when none bounds the
// state from above.
int32_t MaxDelay(const ConstraintTests& tests, const DsState& state);
// The state followed by its delayed copies up to MaxDelay (or up to the copy at which every clock
// stands at its Max).
std::vector<DsState> InvariantDelays(const ConstraintTests& tests, const DsState& state);

}  // namespace tickcheck
