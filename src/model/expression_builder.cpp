#include "model/expression_builder.h"

namespace tickcheck {

Expr Expr::Combine(Kind kind, int32_t value, const std::vector<const Expr*>& parts) {
  Expr result;
  Node node{kind, value, {}};
  for (const Expr* part : parts) {
    const int offset = static_cast<int>(result.nodes_.size());
    for (Node copy : part->nodes_) {
      for (int& child : copy.children) child += offset;
      result.nodes_.push_back(copy);
    }
    node.children.push_back(static_cast<int>(result.nodes_.size()) - 1);
  }
  result.nodes_.push_back(node);
  return result;
}

Expr Expr::Const(int32_t value) { return Combine(Kind::kConst, value, {}); }
Expr Expr::Var(int32_t variable) { return Combine(Kind::kVar, variable, {}); }
Expr Expr::Op(int32_t type, const Expr& left, const Expr& right) {
  return Combine(Kind::kOp, type, {&left, &right});
}
Expr Expr::Not(const Expr& operand) { return Combine(Kind::kNot, ExpType::kNot, {&operand}); }
Expr Expr::Negate(const Expr& operand) {
  return Combine(Kind::kNegate, ExpType::kSubtract, {&operand});
}
Expr Expr::Cond(const Expr& condition, const Expr& then, const Expr& otherwise) {
  return Combine(Kind::kCond, ExpType::kConditional, {&condition, &then, &otherwise});
}

bool Expr::HasVariable(int node) const {
  const Node& n = nodes_[node];
  if (n.kind == Kind::kVar) return true;
  for (int child : n.children) {
    if (HasVariable(child)) return true;
  }
  return false;
}

int32_t Expr::Fold(int node) const {
  const Node& n = nodes_[node];
  switch (n.kind) {
    case Kind::kConst:
    case Kind::kVar:
      return n.value;
    case Kind::kNot:
      return Fold(n.children[0]) == 0 ? 1 : 0;
    case Kind::kNegate:
      return ApplyOperator(ExpType::kSubtract, 0, Fold(n.children[0]));
    case Kind::kCond:
      return Fold(n.children[0]) != 0 ? Fold(n.children[1]) : Fold(n.children[2]);
    case Kind::kOp:
      break;
  }
  return ApplyOperator(n.value, Fold(n.children[0]), Fold(n.children[1]));
}

// Appends the subtree in pre-order and returns the index of its top node.
int Expr::Emit(int node, ExpressionRecord& record) const {
  const Node& n = nodes_[node];
  const int index = static_cast<int>(record.nodes.size());
  record.nodes.push_back(ExpNode{});
  ExpNode emitted;
  if (!HasVariable(node)) {
    emitted.value = Fold(node);
  } else if (n.kind == Kind::kVar) {
    emitted.variable = n.value;
    record.bindings.push_back(ExpBinding{index, n.value});
  } else if (n.kind == Kind::kCond) {
    // The right child only links the two branches; its own type is never read.
    emitted.type = ExpType::kConditional;
    emitted.left = Emit(n.children[0], record);
    const int branches = static_cast<int>(record.nodes.size());
    record.nodes.push_back(ExpNode{});
    ExpNode link;
    link.left = Emit(n.children[1], record);
    link.right = Emit(n.children[2], record);
    record.nodes[branches] = link;
    emitted.right = branches;
  } else if (n.kind == Kind::kOp) {
    emitted.type = n.value;
    emitted.left = Emit(n.children[0], record);
    emitted.right = Emit(n.children[1], record);
  } else {
    // `!e` is `e == 0` and `-e` is `0 - e` inside a tree: the tree evaluator has no unary codes.
    const bool isNot = n.kind == Kind::kNot;
    emitted.type = isNot ? ExpType::kEqual : ExpType::kSubtract;
    const int zero = static_cast<int>(record.nodes.size());
    record.nodes.push_back(ExpNode{});
    const int operand = Emit(n.children[0], record);
    emitted.left = isNot ? operand : zero;
    emitted.right = isNot ? zero : operand;
  }
  record.nodes[index] = emitted;
  return index;
}

ExpressionRecord Expr::Compile() const {
  ExpressionRecord record;
  const int top = static_cast<int>(nodes_.size()) - 1;
  const Node& root = nodes_[top];
  const bool unaryOfVariable = (root.kind == Kind::kNot || root.kind == Kind::kNegate) &&
                               nodes_[root.children[0]].kind == Kind::kVar;
  if (unaryOfVariable) {
    // The two-node shape: the root is bound to the variable and carries the operator.
    const int32_t variable = nodes_[root.children[0]].value;
    record.nodes = {ExpNode{0, variable, root.value, 1, -1}, ExpNode{0, variable, ExpType::kLeaf, -1, -1}};
    record.bindings = {ExpBinding{0, variable}};
  } else {
    Emit(top, record);
  }
  record.bindingCount = static_cast<int32_t>(record.bindings.size());
  record.nodeCount = static_cast<int32_t>(record.nodes.size());
  record.root = 0;
  return record;
}

}  // namespace tickcheck
