#pragma once
// The per-location clock limits: for every clock and every location of the process that owns it
// (the last process whose location lists it), the smallest and largest value that the location's
// invariant admits. A stored state's clock interval never reaches beyond them. Computed once from
// the loaded model, with the invariant bounds that read nothing of a state; the comparisons whose
// bounds read the state (a format-2 bound such as `x <= d[i]`) narrow the limits in each state.

#include <cstdint>
#include <vector>

#include "model/ds_state.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

class ClockLimits {
 public:
  // The entry of a location whose invariant does not limit the clock on that side.
  static constexpr int32_t kNone = -1;

  // Writes the problem line "ERROR! OPTYPE error in setVariableRangeInLoc()" to `messages` for
  // every invariant comparison whose relation code is outside 1 to 5; it limits nothing. Only
  // comparisons of a clock in a location of its own process limit it.
  ClockLimits(const CSystem& model, MessageSink& messages);

  // One entry per location of the clock's owning process (none for a clock that no location
  // lists, or for a variable that is no clock): the limits from the bounds that read no state.
  const std::vector<int32_t>& Lower(int32_t clock) const {
    return lower_[static_cast<size_t>(clock) - 1];
  }
  const std::vector<int32_t>& Upper(int32_t clock) const {
    return upper_[static_cast<size_t>(clock) - 1];
  }
  // The limits of `clock` in location `location` (0-based) of its owning process, in `state`:
  // those of Lower and Upper, narrowed by the comparisons whose bounds read the state.
  void InState(const DsState& state, int32_t clock, size_t location, int32_t& lower,
               int32_t& upper) const;

 private:
  const CSystem& model_;
  std::vector<std::vector<int32_t>> lower_;  // per variable, per location
  std::vector<std::vector<int32_t>> upper_;
  // Per variable, per location (empty when none): the invariant comparisons of the clock whose
  // bounds read the state.
  std::vector<std::vector<std::vector<int32_t>>> stateBounds_;
};

}  // namespace tickcheck
