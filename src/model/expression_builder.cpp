#include "model/expression_builder.h"

namespace tickcheck {

Expr Expr::Combine(Kind kind, int32_t value, std::vector<NodePtr> children) {
  bool hasVariable = kind == Kind::kVar;
  for (const NodePtr& child : children)
    hasVariable = hasVariable || (child && child->hasVariable);
  Node node{kind, value, std::move(children), hasVariable, std::nullopt};
  node.folded = Fold(node);
  return Expr(std::make_shared<const Node>(std::move(node)));
}

Expr Expr::Make(int32_t code, int32_t value, int32_t variable, const Expr* left,
                const Expr* right) {
  Node node{
      Kind::kNode, code,         {left ? left->root_ : nullptr, right ? right->root_ : nullptr},
      false,       std::nullopt, value,
      variable};
  for (const NodePtr& child : node.children)
    node.hasVariable = node.hasVariable || (child && child->hasVariable);
  node.folded = Fold(node);
  return Expr(std::make_shared<const Node>(std::move(node)));
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

Expr Expr::Unary(int32_t code, const Expr& operand) {
  return Make(code, 0, 0, &operand, nullptr);
}
Expr Expr::ArrayRead(int32_t firstVariable, int32_t count, const Expr& index) {
  return Make(ExpType::kArrayRead, count, firstVariable, &index, nullptr);
}
Expr Expr::IndexCheck(int32_t count, const Expr& index) {
  return Make(ExpType::kIndexCheck, count, 0, &index, nullptr);
}
Expr Expr::RangeCheck(int32_t lower, int32_t upper, const Expr& value) {
  return Make(ExpType::kRangeCheck, lower, upper, &value, nullptr);
}
Expr Expr::Sequence(const std::vector<Expr>& items) {
  if (items.empty())
    return Const(0);
  if (items.size() == 1)
    return items.front();
  const auto middle = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
  const Expr first = Sequence(std::vector<Expr>(items.begin(), middle));
  const Expr second = Sequence(std::vector<Expr>(middle, items.end()));
  return Make(ExpType::kSequence, 0, 0, &first, &second);
}
Expr Expr::Assign(int32_t variable, const Expr& value) {
  return Make(ExpType::kAssign, 0, variable, nullptr, &value);
}
Expr Expr::AssignElement(int32_t firstVariable, int32_t count, const Expr& index,
                         const Expr& value) {
  return Make(ExpType::kAssignElement, count, firstVariable, &index, &value);
}
Expr Expr::Local(int32_t slot) {
  return Make(ExpType::kLocal, slot, 0, nullptr, nullptr);
}
Expr Expr::AssignLocal(int32_t slot, const Expr& value) {
  return Make(ExpType::kAssignLocal, slot, 0, nullptr, &value);
}
Expr Expr::LocalElement(int32_t firstSlot, int32_t count, const Expr& index) {
  return Make(ExpType::kLocalElement, firstSlot, count, &index, nullptr);
}
Expr Expr::AssignLocalElement(int32_t firstSlot, int32_t count, const Expr& index,
                              const Expr& value) {
  return Make(ExpType::kAssignLocalElement, firstSlot, count, &index, &value);
}
Expr Expr::While(int32_t loop, const Expr& condition, const Expr& body) {
  return Make(ExpType::kWhile, loop, 0, &condition, &body);
}
Expr Expr::DoWhile(int32_t loop, const Expr& body, const Expr& condition) {
  return Make(ExpType::kDoWhile, loop, 0, &body, &condition);
}
Expr Expr::For(int32_t loop, const Expr& condition, const Expr& body, const Expr& step) {
  const Expr pair = Make(ExpType::kForBody, 0, 0, &body, &step);
  return Make(ExpType::kFor, loop, 0, &condition, &pair);
}
Expr Expr::Break() {
  return Make(ExpType::kBreak, 0, 0, nullptr, nullptr);
}
Expr Expr::Continue() {
  return Make(ExpType::kContinue, 0, 0, nullptr, nullptr);
}
Expr Expr::Return(const Expr& value) {
  return Make(ExpType::kReturn, 0, 0, &value, nullptr);
}
Expr Expr::Return() {
  return Make(ExpType::kReturn, 0, 0, nullptr, nullptr);
}
Expr Expr::Function(const Expr& body) {
  return Make(ExpType::kFunction, 0, 0, &body, nullptr);
}
Expr Expr::Deadlock() {
  return Make(ExpType::kDeadlock, 0, 0, nullptr, nullptr);
}
Expr Expr::AtLocation(int32_t process, int32_t location) {
  return Make(ExpType::kAtLocation, process, location, nullptr, nullptr);
}

// The children's folded values are known when a node is made, so folding looks one level down.
std::optional<int32_t> Expr::Fold(const Node& n) {
  std::vector<int32_t> values;
  for (const NodePtr& child : n.children) {
    if (!child || !child->folded)
      break;
    values.push_back(*child->folded);
  }
  const bool allFolded = values.size() == n.children.size();
  switch (n.kind) {
    case Kind::kConst:
      return n.value;
    case Kind::kVar:
      return std::nullopt;
    case Kind::kNot:
      return allFolded ? std::optional<int32_t>(values[0] == 0 ? 1 : 0) : std::nullopt;
    case Kind::kNegate:
      return allFolded ? std::optional<int32_t>(ApplyOperator(ExpType::kSubtract, 0, values[0]))
                       : std::nullopt;
    case Kind::kCond:
      return allFolded ? std::optional<int32_t>(values[0] != 0 ? values[1] : values[2])
                       : std::nullopt;
    case Kind::kOp:
      return allFolded ? ApplyCheckedOperator(n.value, values[0], values[1]) : std::nullopt;
    case Kind::kNode:
      break;
  }
  const bool leftFolded = n.children[0] && n.children[0]->folded;
  const int32_t left = leftFolded ? *n.children[0]->folded : 0;
  switch (n.value) {
    case ExpType::kLogicalNot:
    case ExpType::kNegation:
    case ExpType::kBitNot:
      return leftFolded ? std::optional<int32_t>(ApplyUnary(n.value, left)) : std::nullopt;
    case ExpType::kIndexCheck:
      return leftFolded && left >= 0 && left < n.fieldValue ? std::optional<int32_t>(left)
                                                            : std::nullopt;
    case ExpType::kRangeCheck:
      return leftFolded && left >= n.fieldValue && left <= n.fieldVariable
                 ? std::optional<int32_t>(left)
                 : std::nullopt;
    default:
      // Reads of variables, locals and locations, side effects and control flow stay.
      return std::nullopt;
  }
}

// Appends the subtree in pre-order and returns the index of its top node.
int Expr::Emit(const Node& n, ExpressionRecord& record) {
  const int index = static_cast<int>(record.nodes.size());
  record.nodes.push_back(ExpNode{});
  ExpNode emitted;
  if (n.folded) {
    emitted.value = *n.folded;
  } else if (n.kind == Kind::kVar) {
    emitted.variable = n.value;
    record.bindings.push_back(ExpBinding{index, n.value});
  } else if (n.kind == Kind::kNode) {
    emitted.type = n.value;
    emitted.value = n.fieldValue;
    emitted.variable = n.fieldVariable;
    emitted.left = n.children[0] ? Emit(*n.children[0], record) : -1;
    emitted.right = n.children[1] ? Emit(*n.children[1], record) : -1;
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
