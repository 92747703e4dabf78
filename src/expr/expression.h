#pragma once
// One entry of the expression table: a compiled expression tree read from its binary record
// (B bindings, N nodes, a root; see model/expression_record.h) and evaluated against the current
// discrete state. Every guard comparison, invariant comparison and assignment right-hand side of
// the model is such an entry.
//
// When an entry is loaded, its evaluation strategy is chosen once from the record's shape, so the
// common shapes of the inner checking loop cost one or two array reads:
//   CConstExpression     B = 0                        Compute: value of node 0
//   CVarExpression       N = 1                        Compute: value of node 0
//   CUnaryExpression     N = 2                        Compute: !root (type 33) or -root
//   CVarConstExpression  B = 1, N = 3, the binding    RightValue: root's right child, no refresh
//                        not on the root's right child
//   CBinaryExpression    N = 3 otherwise              RightValue: refresh, root's right child
//   CTreeExpression      any other N                  Compute: the tree evaluator from the root
// An entry that is not loaded (strategy "CExpression") has B = 0 and N = 0.
//
// A record is refused at load, with one console line naming the expression, when its counts are
// negative or disagree, the file ends inside it, the root, a child or a binding lies outside the
// node array, its links do not form a tree (a cycle or a shared node), an operator lacks an
// operand, or the tree is nested more deeply than the evaluator's limit. The entry then stays
// unloaded, so evaluation never reads outside the arrays, never loops and never overflows the
// stack.
//
// Division and remainder by 0 give 0; -2147483648 / -1 gives -2147483648 (and remainder 0);
// arithmetic wraps in 32 bits.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/expression_record.h"

namespace tickcheck {

struct DsState;
class CExpression;

// How a value is found for a bound variable: (evaluation state, variable id) -> value.
using ValueLookup = int32_t (*)(const DsState* state, int32_t variable);

// Installs the lookup that RefreshBindings uses; the driver installs it once, before evaluation.
void SetValueLookup(ValueLookup lookup);
// Sets the state that the following refreshes read. Without a state (or a lookup) a refresh
// leaves the node values as they stand, which are the values of the file.
void SetEvaluationState(const DsState* state);

// The two operations that differ between record shapes. One shared, immutable instance of each
// strategy serves all entries.
class ExpressionStrategy {
 public:
  virtual ~ExpressionStrategy() = default;
  virtual int32_t RightValue(CExpression& expression) const = 0;
  virtual int32_t Compute(const CExpression& expression) const = 0;
  // The strategy's name, for instance "CVarConstExpression".
  virtual const char* Name() const = 0;
};

class CExpression {
 public:
  CExpression();

  // Reads the record of key "exp-<index>" in section "Expressions" of the model file. False when
  // the file cannot be opened (after a message on standard error), the key is missing, or the
  // record is refused (after a console line).
  bool Load(const std::string& path, int32_t index);
  // Reads a record from `file`, positioned on the first byte behind the key's `=`.
  bool LoadRecord(std::FILE* file, int32_t index);

  // The value of the right-hand side of a comparison shaped `variable OP right-hand side`; 0 for
  // shapes that have no right-hand side (unloaded, constants, single variables, unary records).
  int32_t RightValue() { return strategy_->RightValue(*this); }
  // The value of the whole expression from the node values as they stand.
  int32_t Compute() const { return strategy_->Compute(*this); }
  // RefreshBindings, then Compute.
  int32_t Evaluate();
  // For each binding in order, the bound node takes the variable's value in the evaluation state.
  void RefreshBindings();
  // The variable id of the root's left child (0 when there is none): the compared variable.
  int32_t LeftVariable() const;
  // The root's type (0 when there is no node): the relation code of a comparison.
  int32_t RootType() const;
  // The tree evaluator: operators apply to their children (both sides of a logical operator only
  // when needed); a conditional continues with the chosen branch without recursing; anything
  // else is the node's value. `node` must be -1 (giving 0) or a node of a loaded record.
  int32_t EvalNode(int32_t node) const;

  const char* StrategyName() const { return strategy_->Name(); }
  bool Loaded() const;
  const std::vector<ExpNode>& Nodes() const { return nodes_; }
  const std::vector<ExpBinding>& Bindings() const { return bindings_; }
  int32_t Root() const { return root_; }
  int32_t BindingCount() const { return bindingCount_; }
  int32_t NodeCount() const { return nodeCount_; }

 private:
  void SelectStrategy();
  void ApplyBindings();
  // Why the record read into the arrays cannot be evaluated, or "" when it can.
  std::string Validate() const;
  void Unload();

  const ExpressionStrategy* strategy_;
  std::vector<ExpNode> nodes_;
  std::vector<ExpBinding> bindings_;
  int32_t root_ = 0;
  int32_t bindingCount_ = 0;
  int32_t nodeCount_ = 0;
};

}  // namespace tickcheck
