#include "statespace/clock_limits.h"

#include <algorithm>
#include <limits>

#include "expr/comparison.h"
#include "expr/comparison_table.h"
#include "expr/evaluation.h"

namespace tickcheck {
namespace {

int32_t ClampToInt(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

ClockLimits::ClockLimits(const CSystem& model, MessageSink& messages)
    : model_(model),
      lower_(model.variables.size()),
      upper_(model.variables.size()),
      stateBounds_(model.variables.size()) {
  for (size_t v = 0; v < model.variables.size(); ++v) {
    const CVariable& variable = model.variables[v];
    if (variable.Type != VarType::kClock || variable.ownerProcess < 1)
      continue;
    const size_t locations =
        model.processes[static_cast<size_t>(variable.ownerProcess) - 1].locations.size();
    upper_[v].assign(locations, kNone);
    lower_[v].assign(locations, kNone);
  }
  const Valuation fileValues = Valuation::WithoutState(model);
  for (size_t p = 0; p < model.processes.size(); ++p) {
    const CProcess& process = model.processes[p];
    for (size_t l = 0; l < process.locations.size(); ++l) {
      for (int32_t id : process.locations[l].invariantExpIds) {
        const CExpression& expression = model.expressions[id];
        const int32_t code = expression.RootType();
        if (code < ExpType::kEqual || code > ExpType::kAtLeast) {
          messages.Problem("ERROR! OPTYPE error in setVariableRangeInLoc()");
          continue;
        }
        const int32_t x = expression.LeftVariable();
        // Limits exist only for clocks, per location of their own process: an invariant over an
        // integer variable or another process's clock narrows nothing.
        if (x < 1 || static_cast<size_t>(x) > model.variables.size())
          continue;
        const CVariable& clock = model.variables[static_cast<size_t>(x) - 1];
        if (clock.Type != VarType::kClock || clock.ownerProcess != static_cast<int32_t>(p) + 1)
          continue;
        if (BoundReadsState(expression)) {
          std::vector<std::vector<int32_t>>& lists = stateBounds_[static_cast<size_t>(x) - 1];
          lists.resize(process.locations.size());
          lists[l].push_back(id);
          continue;
        }
        const int32_t bound = RightValue(expression, fileValues);
        if (BoundsFromAbove(code))
          upper_[static_cast<size_t>(x) - 1][l] = ClampToInt(HighestAdmitted(code, bound));
        if (BoundsFromBelow(code))
          lower_[static_cast<size_t>(x) - 1][l] = ClampToInt(LowestAdmitted(code, bound));
      }
    }
  }
}

void ClockLimits::InState(const DsState& state, int32_t clock, size_t location, int32_t& lower,
                          int32_t& upper) const {
  const size_t v = static_cast<size_t>(clock) - 1;
  lower = lower_[v][location];
  upper = upper_[v][location];
  if (stateBounds_[v].empty())
    return;
  // The bounds that read the state are exact in it; the state itself satisfies them.
  for (int32_t id : stateBounds_[v][location]) {
    const CExpression& expression = model_.expressions[id];
    const int32_t code = expression.RootType();
    const int64_t bound = RightValue(expression, Valuation(model_, state));
    if (BoundsFromAbove(code)) {
      const int32_t highest = ClampToInt(HighestAdmitted(code, bound));
      upper = upper == kNone ? highest : std::min(upper, highest);
    }
    if (BoundsFromBelow(code)) {
      const int32_t lowest = ClampToInt(LowestAdmitted(code, bound));
      lower = std::max(lower, lowest);
    }
  }
}

}  // namespace tickcheck
