#include "check/constraints.h"

#include "expr/evaluation.h"

namespace tickcheck {

const CVariable* ConstraintTests::Variable(int32_t id) const {
  if (id < 1 || static_cast<size_t>(id) > model_.variables.size())
    return nullptr;
  return &model_.variables[static_cast<size_t>(id) - 1];
}

bool ConstraintTests::Satisfied(const DsState& state, int32_t expression) const {
  const ComparisonFacts facts = Facts(expression);
  if (!IsRelationCode(facts.code)) {
    messages_.Problem("Error type in satisfy");
    return false;
  }
  const int32_t bound = Bound(facts, expression, state);
  return ApplyRelation(facts.code, VariableValue(model_, state, facts.variable), bound);
}

bool ConstraintTests::GuardHolds(const DsState& state,
                                 const CComposedTransition& transition) const {
  for (int32_t id : transition.guardExpId) {
    const CVariable* variable = Facts(id).record;
    if (variable == nullptr || variable->Type != VarType::kInteger)
      continue;
    if (!Satisfied(state, id))
      return false;
  }
  return true;
}

std::optional<ExpressionError> ConstraintTests::BoundError(
    const DsState& state, std::span<const int32_t> constraints) const {
  for (int32_t id : constraints) {
    if (!Facts(id).mayFail)
      continue;
    const Evaluated bound = RightValueChecked(model_.expressions[id], model_, state);
    if (!bound.Ok())
      return ExpressionError{*bound.error, id};
  }
  return std::nullopt;
}

std::optional<ExpressionError> ConstraintTests::InvariantError(const DsState& state) const {
  for (size_t p = 0; p < model_.processes.size(); ++p) {
    if (std::optional<ExpressionError> error =
            BoundError(state, LocationOf(state, p).invariantExpIds))
      return error;
  }
  return std::nullopt;
}

std::optional<int32_t> ConstraintTests::FailingConstraint(
    const DsState& state, std::span<const int32_t> constraints) const {
  for (int32_t id : constraints) {
    if (!Satisfied(state, id))
      return id;
  }
  return std::nullopt;
}

std::optional<int32_t> ConstraintTests::FailingInvariant(const DsState& state) const {
  for (size_t p = 0; p < model_.processes.size(); ++p) {
    if (const std::optional<int32_t> failing =
            FailingConstraint(state, LocationOf(state, p).invariantExpIds))
      return failing;
  }
  return std::nullopt;
}

bool ConstraintTests::HoldsAtMax(const DsState& state, const ComparisonFacts& facts,
                                 int32_t expression) const {
  const CVariable* variable = facts.record;
  return variable != nullptr && variable->Type == VarType::kClock &&
         ApplyRelation(facts.code, variable->Max, Bound(facts, expression, state));
}

bool ConstraintTests::ReadsClock(int32_t expression, bool exceptCompared) const {
  const ComparisonFacts facts = Facts(expression);
  return exceptCompared ? facts.readsClockBesideCompared : facts.readsClock;
}

}  // namespace tickcheck
