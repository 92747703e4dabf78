#include "check/delay_window.h"

#include <algorithm>

#include "expr/comparison.h"

namespace tickcheck {
namespace {

bool Contains(const std::vector<int32_t>& list, int32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

DelayWindows::DelayWindows(const ConstraintTests& tests, const ClockIntervals& intervals)
    : tests_(tests),
      intervals_(intervals),
      preparedAt_(tests.Model().variables.size() + 1, 0),
      values_(tests.Model().variables.size() + 1, 0),
      waitEnds_(tests.Model().variables.size() + 1, kNoBound) {}

template <typename Counted>
int64_t DelayWindows::WaitEnd(const DsState& state, const std::vector<int32_t>& clocks,
                              Counted counted) const {
  int64_t end = 0;
  for (int32_t x : clocks) {
    // A variable that no current location lists as a clock has no bounds.
    const CVariable* variable = tests_.Variable(x);
    if (variable == nullptr || variable->Type != VarType::kClock || !counted(x))
      continue;
    if (const std::optional<int64_t> clockEnd = WaitEnd(state, x))
      end = std::max(end, *clockEnd);
  }
  return end;
}

void DelayWindows::Prepare(const DsState& state, const std::vector<int32_t>& frozen) {
  ++prepared_;
  frozen_ = frozen;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const int32_t x = state.activeClocks[k];
    if (x < 1 || static_cast<size_t>(x) >= preparedAt_.size())
      continue;
    const auto at = static_cast<size_t>(x);
    // A clock listed twice keeps its first value, as VariableValue reads it.
    if (preparedAt_[at] == prepared_)
      continue;
    preparedAt_[at] = prepared_;
    values_[at] = VariableValue(tests_.Model(), state, x);
    const std::optional<LUBound> bound = intervals_.Bounds(state, x);
    waitEnds_[at] = bound ? int64_t{std::max(bound->L, bound->U)} + 1 - values_[at] : kNoBound;
  }
  // Every transition of the state meets the same waiting bounds and invariants.
  frozenWaitEnd_ = WaitEnd(state, frozen, [](int32_t) { return true; });
  advancingWaitEnd_ =
      WaitEnd(state, state.activeClocks, [&](int32_t x) { return !Contains(frozen, x); });
  invariantBounds_.upper.clear();
  invariantBounds_.lower.clear();
  const CSystem& model = tests_.Model();
  for (size_t p = 0; p < model.processes.size(); ++p) {
    for (int32_t id : tests_.LocationOf(state, p).invariantExpIds)
      Record(state, id, invariantBounds_);
  }
}

bool DelayWindows::IsActive(const DsState& state, int32_t x) const {
  if (x >= 1 && static_cast<size_t>(x) < preparedAt_.size())
    return preparedAt_[static_cast<size_t>(x)] == prepared_;
  return Contains(state.activeClocks, x);
}

void DelayWindows::Record(const DsState& state, int32_t expression, DelayBounds& bounds) const {
  // Only the state's clocks change while time passes: a comparison of an integer, or of a clock
  // the state does not carry, keeps its answer, which the guard test and the state's own
  // invariants give.
  const ComparisonFacts facts = tests_.Facts(expression);
  if (!IsActive(state, facts.variable))
    return;
  const int32_t code = facts.code;
  const DelayConstraint constraint{facts.variable,
                                   expression,
                                   code,
                                   tests_.Bound(facts, expression, state),
                                   ValueOf(state, facts.variable),
                                   Contains(frozen_, facts.variable)};
  // x <= Max holds for ever, x == Max from the delay that reaches it on.
  if (SideOf(code) != BoundSide::kLower && !tests_.HoldsAtMax(state, facts, expression))
    bounds.upper.push_back(constraint);
  if (SideOf(code) != BoundSide::kUpper)
    bounds.lower.push_back(constraint);
}

int64_t DelayWindows::ValueOf(const DsState& state, int32_t x) const {
  if (x >= 1 && static_cast<size_t>(x) < preparedAt_.size() &&
      preparedAt_[static_cast<size_t>(x)] == prepared_)
    return values_[static_cast<size_t>(x)];
  return VariableValue(tests_.Model(), state, x);
}

std::optional<int64_t> DelayWindows::WaitEnd(const DsState& state, int32_t x) const {
  if (x >= 1 && static_cast<size_t>(x) < preparedAt_.size() &&
      preparedAt_[static_cast<size_t>(x)] == prepared_) {
    const int64_t end = waitEnds_[static_cast<size_t>(x)];
    return end == kNoBound ? std::nullopt : std::optional<int64_t>(end);
  }
  const std::optional<LUBound> bound = intervals_.Bounds(state, x);
  if (!bound)
    return std::nullopt;
  return int64_t{std::max(bound->L, bound->U)} + 1 - VariableValue(tests_.Model(), state, x);
}

void DelayWindows::Collect(const DsState& state, const CComposedTransition& transition,
                           DelayBounds& bounds) const {
  bounds.upper = invariantBounds_.upper;
  bounds.lower = invariantBounds_.lower;
  for (int32_t id : transition.guardExpId)
    Record(state, id, bounds);
}

Windows DelayWindows::Of(const DelayBounds& bounds) const {
  Windows windows{{0, frozenWaitEnd_}, {0, advancingWaitEnd_}};
  for (const DelayConstraint& constraint : bounds.lower) {
    Window& window = constraint.frozen ? windows.frozen : windows.advancing;
    window.lo =
        std::max(window.lo, LowestAdmitted(constraint.code, constraint.bound) - constraint.value);
  }
  for (const DelayConstraint& constraint : bounds.upper) {
    Window& window = constraint.frozen ? windows.frozen : windows.advancing;
    window.hi =
        std::min(window.hi, HighestAdmitted(constraint.code, constraint.bound) - constraint.value);
  }
  return windows;
}

}  // namespace tickcheck
