#pragma once
// A small expression tree for writing model files. Compile() gives the record that evaluates to
// the tree's value under the expression table's rules:
//  - a tree without variables is folded into one constant;
//  - `!v` and `-v` of a single variable become the two-node record whose root carries the
//    variable's value; inside larger trees they become `e == 0` and `0 - e`;
//  - everything else is flattened in pre-order with the root at node 0, one binding per variable
//    leaf, so `x < 5` is the three-node record with the constant on the right.

#include <cstdint>
#include <memory>
#include <vector>

#include "model/expression_record.h"

namespace tickcheck {

class Expr {
 public:
  static Expr Const(int32_t value);
  static Expr Var(int32_t variable);
  // `type` is a comparison (1 to 6) or an arithmetic or logical operator code.
  static Expr Op(int32_t type, const Expr& left, const Expr& right);
  static Expr Not(const Expr& operand);
  static Expr Negate(const Expr& operand);
  // The value of `then` when `condition` is non-zero, else the value of `otherwise`.
  static Expr Cond(const Expr& condition, const Expr& then, const Expr& otherwise);

  ExpressionRecord Compile() const;

 private:
  enum class Kind { kConst, kVar, kOp, kNot, kNegate, kCond };
  struct Node;
  using NodePtr = std::shared_ptr<const Node>;
  struct Node {
    Kind kind;
    int32_t value;  // constant value, variable id, or operator code
    std::vector<NodePtr> children;
    bool hasVariable;
  };

  explicit Expr(NodePtr root) : root_(std::move(root)) {}
  static Expr Combine(Kind kind, int32_t value, std::vector<NodePtr> children);
  static int32_t Fold(const Node& node);
  static int Emit(const Node& node, ExpressionRecord& record);

  NodePtr root_;  // subtrees are shared between expressions, never copied
};

// `variable relation bound`, the comparison shape of guards and invariants.
inline ExpressionRecord Comparison(int32_t variable, int32_t relation, int32_t bound) {
  return Expr::Op(relation, Expr::Var(variable), Expr::Const(bound)).Compile();
}

}  // namespace tickcheck
