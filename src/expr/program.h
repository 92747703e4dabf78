#pragma once
// The checked evaluation of format-2 models (`[General] Format=2`): the value of an expression
// in a state, or the run-time error that ended its evaluation, and the run of an expression for
// its effects on a target state. No domain error is an exception and nothing is kept between
// evaluations: each one has its own frame of local slots and loop counters.
//
// Records of the shape CProgramExpression (model/expression.h) run here from their root: every
// binary operator evaluates its left operand first, then its right one; &&, || and ?: evaluate
// lazily; the format-2 nodes do what model/expression_record.h lists. The other shapes cannot
// fail and are evaluated as in format 1 (expr/evaluation.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "expr/evaluation.h"
#include "model/ds_state.h"
#include "model/expression.h"
#include "model/system.h"

namespace tickcheck {

// Why an evaluation ended without a value.
struct RunTimeError {
  enum class Kind {
    kDivisionByZero,   // `value` is the dividend
    kIndexOutOfRange,  // `value` is the index, `lower .. upper` the array's, `variable` its
                       // element 0 (kLocalArray for a local array, 0 for an index check)
    kShiftOutOfRange,  // `value` is the shift count
    kValueOutOfRange,  // `value` outside `lower .. upper`, `variable` the variable assigned (0
                       // for a range check)
    kLoopBound,        // loop `loop` ran more than kLoopBound iterations
    kNoDeadlockHook,   // `deadlock` asked where no one can answer it
  };
  Kind kind = Kind::kDivisionByZero;
  int32_t value = 0;
  int32_t lower = 0;
  int32_t upper = 0;
  int32_t variable = 0;
  int32_t loop = 0;
  bool operator==(const RunTimeError&) const = default;
};

// RunTimeError::variable of an index outside a local array.
inline constexpr int32_t kLocalArray = -1;

// A run-time error and the expression whose evaluation met it.
struct ExpressionError {
  RunTimeError error;
  int32_t expression = -1;
};

// The most iterations that one loop node may run in one evaluation, nested runs added up.
inline constexpr int64_t kLoopBound = 1000000;

// The value of an evaluation, or the first run-time error, which ended it.
struct Evaluated {
  int32_t value = 0;
  std::optional<RunTimeError> error;
  bool Ok() const { return !error; }
};

// Answers node 240 (`deadlock`): whether a state of the model is a deadlock. The program that
// evaluates properties provides it; without one, asking is a run-time error.
class DeadlockHook {
 public:
  virtual ~DeadlockHook() = default;
  virtual bool IsDeadlock(const DsState& state) const = 0;
};

// The value of `expression` in `state` (bound nodes read its values; a location atom its
// locations). The expression must not write variables (the loader refuses guards, invariants and
// properties that do); a write here would be computed but not stored.
Evaluated EvaluateChecked(const CExpression& expression, const CSystem& model, const DsState& state,
                          const DeadlockHook* deadlock = nullptr);
// The same for the right-hand side of a comparison `variable OP right-hand side` (the bound of a
// guard or invariant comparison, which may depend on integer variables); 0 for the shapes that
// have none, as RightValue.
Evaluated RightValueChecked(const CExpression& expression, const CSystem& model,
                            const DsState& state);
// Runs `expression` on `target`: reads see the writes made so far, assignments (221, 222) store
// into its integer values after checking the variable's range. On an error the writes made
// before it stay in `target`.
Evaluated Execute(const CExpression& expression, const CSystem& model, DsState& target);

// A comparison of a clock that an evaluation met: clock `clock`, relation code `relation` (1 to
// 6), and the value `bound` of its right side.
struct ClockComparison {
  int32_t clock = 0;
  int32_t relation = 0;
  int32_t bound = 0;
  bool operator==(const ClockComparison&) const = default;
};

// EvaluateChecked that also appends to `met` every comparison of a clock (a relation node whose
// left child is a bound clock leaf) that the evaluation met, in the order met. Between two values
// of the clocks at which none of them changes its answer, the evaluation takes the same path and
// gives the same value (or error): the places where an expression of clock comparisons may change
// its answer as time passes are found from the comparisons met.
Evaluated EvaluateObserved(const CExpression& expression, const CSystem& model,
                           const DsState& state, const DeadlockHook* deadlock,
                           std::vector<ClockComparison>& met);

// EvaluateObserved of the subtree at node `node` of the expression (its root, or any node of a
// tree that the checked evaluator runs: shapes other than constant, variable and unary), as if
// that subtree were the whole expression.
Evaluated EvaluateObservedAt(const CExpression& expression, int32_t node, const CSystem& model,
                             const DsState& state, const DeadlockHook* deadlock,
                             std::vector<ClockComparison>& met);

// The value of node `node` (-1: 0) of a CProgramExpression under `valuation`, 0 after a run-time
// error: the unchecked reading of expr/evaluation.h.
int32_t ProgramValue(const CExpression& expression, int32_t node, const Valuation& valuation);

// One line that says what went wrong, without the place: "division by 0", "index 5 outside 0 ..
// 3 of array <name of element 0>" ("of a local array"), "shift count 40 outside 0 .. 31",
// "value 9 outside its range 0 .. 3" (with "of variable <name>"), "loop <function> (line <n>) ran
// more than 1000000 iterations", "deadlock cannot be asked here".
std::string Describe(const RunTimeError& error, const CSystem& model);

}  // namespace tickcheck
