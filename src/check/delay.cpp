#include "check/delay.h"

#include <algorithm>
#include <limits>

#include "expr/comparison.h"
#include "expr/evaluation.h"

namespace tickcheck {
namespace {

// The largest count MaxDelay answers.
constexpr int64_t kMaxDelayCount = 65535;

}  // namespace

int32_t ClampToInt(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

bool Delay(const CSystem& model, DsState& state, const std::vector<size_t>& positions,
           int64_t delay) {
  bool allAtMax = true;
  for (size_t position : positions) {
    const int32_t max = model.variables[static_cast<size_t>(state.activeClocks[position]) - 1].Max;
    int32_t& value = state.clockValues[position];
    value = ClampToInt(std::min<int64_t>(int64_t{value} + delay, max));
    allAtMax = allAtMax && value == max;
  }
  return allAtMax;
}

std::vector<size_t> AllClockPositions(const DsState& state) {
  std::vector<size_t> all(state.activeClocks.size());
  for (size_t k = 0; k < all.size(); ++k)
    all[k] = k;
  return all;
}

std::optional<int64_t> DelaysUntilHolds(int32_t code, int64_t value, int64_t bound, int64_t max) {
  if (code == ExpType::kNotEqual)
    return value >= max ? std::nullopt : std::optional<int64_t>(1);
  // An upper bound that fails holds again for no later value.
  if (!BoundsFromBelow(code))
    return std::nullopt;
  const int64_t threshold = LowestAdmitted(code, bound);
  if (value >= threshold || threshold > max)
    return std::nullopt;
  return threshold - value;
}

int32_t MaxDelay(const ConstraintTests& tests, const DsState& state) {
  const CSystem& model = tests.Model();
  const Valuation valuation(model, state);
  int64_t count = kMaxDelayCount;
  bool found = false;
  for (size_t p = 0; p < model.processes.size(); ++p) {
    for (int32_t id : tests.LocationOf(state, p).invariantExpIds) {
      const CExpression& comparison = model.expressions[id];
      const int32_t code = comparison.RootType();
      if (SideOf(code) != BoundSide::kUpper)
        continue;
      found = true;
      const int64_t highest = HighestAdmitted(code, RightValue(comparison, valuation));
      count = std::min(count, highest - VariableValue(model, state, comparison.LeftVariable()) + 1);
    }
  }
  return found ? ClampToInt(count) : 1;
}

std::vector<DsState> InvariantDelays(const ConstraintTests& tests, const DsState& state) {
  std::vector<DsState> states{state};
  const int32_t count = MaxDelay(tests, state);
  const std::vector<size_t> all = AllClockPositions(state);
  for (int32_t d = 1; d < count; ++d) {
    DsState delayed = state;
    const bool saturated = Delay(tests.Model(), delayed, all, d);
    states.push_back(std::move(delayed));
    // Later copies would all equal this one.
    if (saturated)
      break;
  }
  return states;
}

}  // namespace tickcheck
