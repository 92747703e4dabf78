#pragma once
// The tests of guard and invariant comparisons `x code bound` on a state: x's value in the state
// (a clock the state does not carry has the value -1) against the bound evaluated in the state.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "compose/composition.h"
#include "expr/comparison_table.h"
#include "expr/program.h"
#include "model/ds_state.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

class ConstraintTests {
 public:
  // `model` and `messages` must outlive the object.
  ConstraintTests(const CSystem& model, MessageSink& messages)
      : model_(model), comparisons_(model), messages_(messages) {}

  const CSystem& Model() const { return model_; }
  // The facts of comparison `expression`, and its bound in `state`.
  ComparisonFacts Facts(int32_t expression) const { return comparisons_.Facts(expression); }
  int32_t Bound(const ComparisonFacts& facts, int32_t expression, const DsState& state) const {
    return comparisons_.Bound(facts, expression, state);
  }
  // The variable record of `id`, or null for an id outside the model.
  const CVariable* Variable(int32_t id) const;
  // The current location of process `process` (0-based) in `state`.
  const CLocation& LocationOf(const DsState& state, size_t process) const {
    return model_.processes[process].locations[static_cast<size_t>(state.locations[process]) - 1];
  }

  // Relation code between the value of the comparison's variable and its bound, in `state`. A
  // code outside 1 to 6 writes the problem line "Error type in satisfy" and fails.
  bool Satisfied(const DsState& state, int32_t expression) const;
  // The integer-variable comparisons of the transition's guard hold in `state` (an empty guard
  // holds); its clock comparisons are the delay window's.
  bool GuardHolds(const DsState& state, const CComposedTransition& transition) const;
  // Format 2: the first run-time error of the bounds of `constraints` in `state`, each bound
  // evaluated in order whatever the answers of the comparisons before it. A bound reads no clock
  // (the loader sees to it), so the answer is the same for every delay of the state.
  std::optional<ExpressionError> BoundError(const DsState& state,
                                            std::span<const int32_t> constraints) const;
  // The same for the invariants of every process's current location.
  std::optional<ExpressionError> InvariantError(const DsState& state) const;
  // The first of `constraints` that fails in `state`, clocks included, if any.
  std::optional<int32_t> FailingConstraint(const DsState& state,
                                           std::span<const int32_t> constraints) const;
  // The first invariant comparison of the state's locations that fails, if any.
  std::optional<int32_t> FailingInvariant(const DsState& state) const;
  // Every comparison of every process's current location invariant holds in `state`.
  bool InvariantsHold(const DsState& state) const { return !FailingInvariant(state); }
  // Whether the comparison is of a clock and holds when the clock stands at its Max (its bound
  // read in `state`).
  bool HoldsAtMax(const DsState& state, int32_t expression) const {
    return HoldsAtMax(state, Facts(expression), expression);
  }
  bool HoldsAtMax(const DsState& state, const ComparisonFacts& facts, int32_t expression) const;
  // Whether the expression reads a variable other than an integer (a clock, whose value changes
  // with a delay); with `exceptCompared`, the compared variable of a comparison is not counted.
  bool ReadsClock(int32_t expression, bool exceptCompared) const;
  // Where the problem lines of the check go.
  MessageSink& Messages() const { return messages_; }

 private:
  const CSystem& model_;
  const ComparisonTable comparisons_;
  MessageSink& messages_;
};

}  // namespace tickcheck
