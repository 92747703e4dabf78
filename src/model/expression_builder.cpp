#include "model/expression_builder.h"

namespace tickcheck {

Expr Expr::Combine(Kind kind, int32_t value, std::vector<NodePtr> children) {
  bool hasVariable = kind == Kind::kVar;
  for (const NodePtr& child : children)
    hasVariable = hasVariable || child->hasVariable;
  return Expr(std::make_shared<const Node>(Node{kind, value, std::move(children), hasVariable}));
}

Expr Expr::Const(int32_t value) {
  return Combine(Kind::kConst, value, {});
}
Expr Expr::Var(int32_t variable) {
  return Combine(Kind::kVar, variable, {});
}
Expr Expr::Op(int32_t type, const Expr& left, const Expr& right) {
  return Combine(Kind::kOp, type, {left.root_, right.root_});
}
Expr Expr::Not(const Expr& operand) {
  return Combine(Kind::kNot, ExpType::kNot, {operand.root_});
}
Expr Expr::Negate(const Expr& operand) {
  return Combine(Kind::kNegate, ExpType::kSubtract, {operand.root_});
}
Expr Expr::Cond(const Expr& condition, const Expr& then, const Expr& otherwise) {
  return Combine(Kind::kCond, ExpType::kConditional,
                 {condition.root_, then.root_, otherwise.root_});
}

int32_t Expr::Fold(const Node& n) {
  switch (n.kind) {
    case Kind::kConst:
    case Kind::kVar:
      return n.value;
    case Kind::kNot:
      return Fold(*n.children[0]) == 0 ? 1 : 0;
    case Kind::kNegate:
      return ApplyOperator(ExpType::kSubtract, 0, Fold(*n.children[0]));
    case Kind::kCond:
      return Fold(*n.children[0]) != 0 ? Fold(*n.children[1]) : Fold(*n.children[2]);
    case Kind::kOp:
      break;
  }
  return ApplyOperator(n.value, Fold(*n.children[0]), Fold(*n.children[1]));
}

// Appends the subtree in pre-order and returns the index of its top node.
int Expr::Emit(const Node& n, ExpressionRecord& record) {
  const int index = static_cast<int>(record.nodes.size());
  record.nodes.push_back(ExpNode{});
  ExpNode emitted;
  if (!n.hasVariable) {
    emitted.value = Fold(n);
  } else if (n.kind == Kind::kVar) {
    emitted.variable = n.value;
    record.bindings.push_back(ExpBinding{index, n.value});
  } else if (n.kind == Kind::kCond) {
    // The right child only links the two branches; its own type is never read.
    emitted.type = ExpType::kConditional;
    emitted.left = Emit(*n.children[0], record);
    const int branches = static_cast<int>(record.nodes.size());
    record.nodes.push_back(ExpNode{});
    ExpNode link;
    link.left = Emit(*n.children[1], record);
    link.right = Emit(*n.children[2], record);
    record.nodes[branches] = link;
    emitted.right = branches;
  } else if (n.kind == Kind::kOp) {
    emitted.type = n.value;
    emitted.left = Emit(*n.children[0], record);
    emitted.right = Emit(*n.children[1], record);
  } else {
    // `!e` is `e == 0` and `-e` is `0 - e` inside a tree: the tree evaluator has no unary codes.
    const bool isNot = n.kind == Kind::kNot;
    emitted.type = isNot ? ExpType::kEqual : ExpType::kSubtract;
    const int zero = static_cast<int>(record.nodes.size());
    record.nodes.push_back(ExpNode{});
    const int operand = Emit(*n.children[0], record);
    emitted.left = isNot ? operand : zero;
    emitted.right = isNot ? zero : operand;
  }
  record.nodes[index] = emitted;
  return index;
}

ExpressionRecord Expr::Compile() const {
  ExpressionRecord record;
  const Node& root = *root_;
  const bool unaryOfVariable = (root.kind == Kind::kNot || root.kind == Kind::kNegate) &&
                               root.children[0]->kind == Kind::kVar;
  if (unaryOfVariable) {
    // The two-node shape: the root is bound to the variable and carries the operator.
    const int32_t variable = root.children[0]->value;
    record.nodes = {ExpNode{0, variable, root.value, 1, -1},
                    ExpNode{0, variable, ExpType::kLeaf, -1, -1}};
    record.bindings = {ExpBinding{0, variable}};
  } else {
    Emit(root, record);
  }
  record.bindingCount = static_cast<int32_t>(record.bindings.size());
  record.nodeCount = static_cast<int32_t>(record.nodes.size());
  record.root = 0;
  return record;
}

}  // namespace tickcheck
