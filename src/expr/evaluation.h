#pragma once
// Evaluation of the model's expressions against a valuation: the model and the discrete state
// whose values the bound nodes read. Evaluation reads the expression, the model and the state and
// changes none of them.
//
// Each shape of entry (see model/expression.h) is evaluated its own way:
//   CConstExpression     value of node 0 (not of the root)
//   CVarExpression       value of node 0
//   CUnaryExpression     !root (type 33) or -root
//   CVarConstExpression  the root's type applied to its two leaves; the right-hand side of a
//                        comparison is the right leaf's value field, read without the state
//   CBinaryExpression    the root's type applied to its two leaves
//   CTreeExpression      the tree evaluator from the root
//   CProgramExpression   the checked evaluator of format 2 (expr/program.h), 0 after a run-time
//                        error; without a state, bound nodes read their value fields and
//                        location atoms do not hold
//   unloaded             0; no right-hand side (0)
// A bound node's value is its variable's value in the state; every other node's value is its
// value field. Without a state, bound nodes keep the value fields that the file gives them.
//
// Division and remainder by 0 give 0; -2147483648 / -1 gives -2147483648 (and remainder 0);
// arithmetic wraps in 32 bits.

#include <cstdint>

#include "model/ds_state.h"
#include "model/expression.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

// What the bound nodes of an expression read: the values of one state of a model, or none.
class Valuation {
 public:
  Valuation(const CSystem& model, const DsState& state) : model_(model), state_(&state) {}
  // The values that the file gives the bound nodes: used where bounds are needed before any
  // state exists (the per-location clock limits, the clock-bound analysis).
  static Valuation WithoutState(const CSystem& model) { return Valuation(model); }

  bool HasState() const { return state_ != nullptr; }
  const CSystem& Model() const { return model_; }
  // The state, or null without one.
  const DsState* State() const { return state_; }
  // The value of variable `variable` in the state (VariableValue).
  int32_t Value(int32_t variable) const { return VariableValue(model_, *state_, variable); }

 private:
  explicit Valuation(const CSystem& model) : model_(model), state_(nullptr) {}

  const CSystem& model_;
  const DsState* state_;
};

// The value of the whole expression.
int32_t Evaluate(const CExpression& expression, const Valuation& valuation);
// Evaluate, for the stages that run a model: an entry that is not loaded (a refused or missing
// record) also writes the problem line "Exp Compute" to `messages`, each time.
int32_t EvaluateInRun(const CExpression& expression, const Valuation& valuation,
                      MessageSink& messages);
// The value of the right-hand side of a comparison shaped `variable OP right-hand side`; 0 for
// shapes that have no right-hand side (unloaded, constants, single variables, unary records).
int32_t RightValue(const CExpression& expression, const Valuation& valuation);
// The tree evaluator: operators apply to their children (both sides of a logical operator only
// when needed); a conditional continues with the chosen branch without recursing; anything
// else is the node's value. `node` must be -1 (giving 0) or a node of a loaded record.
int32_t EvalNode(const CExpression& expression, int32_t node, const Valuation& valuation);

}  // namespace tickcheck
