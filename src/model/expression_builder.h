#pragma once
// A small expression tree for writing model files. Compile() gives the record that evaluates to
// the tree's value under the expression table's rules:
//  - a subtree that reads nothing of a state, writes nothing and cannot fail is folded into one
//    constant (a division by 0 is not folded: in format 2 it fails when it runs);
//  - `!v` and `-v` of a single variable (Not, Negate) become the two-node record whose root
//    carries the variable's value; inside larger trees they become `e == 0` and `0 - e`;
//  - everything else is flattened in pre-order with the root at node 0, one binding per variable
//    leaf, so `x < 5` is the three-node record with the constant on the right.
// The nodes of codes 200 and up (model/expression_record.h, ExpType) have a meaning only in model
// files of format 2; each has a function below, named after what it does.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "model/expression_record.h"

namespace tickcheck {

class Expr {
 public:
  static Expr Const(int32_t value);
  static Expr Var(int32_t variable);
  // `type` is a comparison (1 to 6), an arithmetic or logical operator code, or one of the
  // binary codes of format 2 (203 to 207: & | ^ << >>).
  static Expr Op(int32_t type, const Expr& left, const Expr& right);
  static Expr Not(const Expr& operand);
  static Expr Negate(const Expr& operand);
  // The value of `then` when `condition` is non-zero, else the value of `otherwise`.
  static Expr Cond(const Expr& condition, const Expr& then, const Expr& otherwise);

  // Format 2. `code` is 200 (logical not), 201 (negation) or 202 (bitwise not).
  static Expr Unary(int32_t code, const Expr& operand);
  // The value of variable `firstVariable + index` (elements have consecutive ids); the index must
  // lie in 0 .. count - 1.
  static Expr ArrayRead(int32_t firstVariable, int32_t count, const Expr& index);
  // The index itself when it lies in 0 .. count - 1.
  static Expr IndexCheck(int32_t count, const Expr& index);
  // The value itself when it lies in lower .. upper (reported as a value outside its range).
  static Expr RangeCheck(int32_t lower, int32_t upper, const Expr& value);
  // The items in order, the value of the last one; a balanced tree of sequence nodes, so that
  // long blocks stay shallow. No item: Const(0).
  static Expr Sequence(const std::vector<Expr>& items);
  // Stores the value into integer variable `variable` (range checked); its value is the value.
  static Expr Assign(int32_t variable, const Expr& value);
  static Expr AssignElement(int32_t firstVariable, int32_t count, const Expr& index,
                            const Expr& value);
  // Local slots of the evaluation's frame (all 0 when it starts).
  static Expr Local(int32_t slot);
  static Expr AssignLocal(int32_t slot, const Expr& value);
  static Expr LocalElement(int32_t firstSlot, int32_t count, const Expr& index);
  static Expr AssignLocalElement(int32_t firstSlot, int32_t count, const Expr& index,
                                 const Expr& value);
  // Loops; `loop` is the loop id of [Loops] (from 1). Their value is 0.
  static Expr While(int32_t loop, const Expr& condition, const Expr& body);
  static Expr DoWhile(int32_t loop, const Expr& body, const Expr& condition);
  // while (condition) { body; step }, `continue` going to the step.
  static Expr For(int32_t loop, const Expr& condition, const Expr& body, const Expr& step);
  static Expr Break();
  static Expr Continue();
  // Leaves the innermost function body, whose value becomes `value` (0 without one).
  static Expr Return(const Expr& value);
  static Expr Return();
  static Expr Function(const Expr& body);
  // 1 when the state is a deadlock (properties only).
  static Expr Deadlock();
  // 1 when process `process` (1-based) is in location `location` (1-based).
  static Expr AtLocation(int32_t process, int32_t location);

  ExpressionRecord Compile() const;

 private:
  enum class Kind { kConst, kVar, kOp, kNot, kNegate, kCond, kNode };
  struct Node;
  using NodePtr = std::shared_ptr<const Node>;
  struct Node {
    Kind kind;
    int32_t value;  // constant value, variable id, or operator code
    std::vector<NodePtr> children;
    bool hasVariable;
    // The subtree's value when it can be folded into a constant.
    std::optional<int32_t> folded;
    // kNode: the node's own value and variable fields; children[0] and [1] are its left and
    // right child, null for none.
    int32_t fieldValue = 0;
    int32_t fieldVariable = 0;
  };

  explicit Expr(NodePtr root) : root_(std::move(root)) {}
  static Expr Combine(Kind kind, int32_t value, std::vector<NodePtr> children);
  static Expr Make(int32_t code, int32_t value, int32_t variable, const Expr* left,
                   const Expr* right);
  static std::optional<int32_t> Fold(const Node& node);
  static int Emit(const Node& node, ExpressionRecord& record);

  NodePtr root_;  // subtrees are shared between expressions, never copied
};

// `variable relation bound`, the comparison shape of guards and invariants.
inline ExpressionRecord Comparison(int32_t variable, int32_t relation, int32_t bound) {
  return Expr::Op(relation, Expr::Var(variable), Expr::Const(bound)).Compile();
}

}  // namespace tickcheck
