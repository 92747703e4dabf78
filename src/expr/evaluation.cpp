#include "expr/evaluation.h"

#include "expr/program.h"

namespace tickcheck {
namespace {

int32_t NodeValue(const CExpression& e, int32_t index, const Valuation& valuation) {
  const ExpNode& node = e.Nodes()[static_cast<size_t>(index)];
  return valuation.HasState() && e.IsBound(index) ? valuation.Value(node.variable) : node.value;
}

// The three-node shapes: a root applied to two leaves.
int32_t ComputeThreeNodes(const CExpression& e, const Valuation& valuation) {
  const ExpNode& root = e.Nodes()[static_cast<size_t>(e.Root())];
  return ApplyOperator(root.type, NodeValue(e, root.left, valuation),
                       NodeValue(e, root.right, valuation));
}

}  // namespace

int32_t Evaluate(const CExpression& e, const Valuation& valuation) {
  switch (e.Shape()) {
    case ExpressionShape::kUnloaded:
      return 0;
    case ExpressionShape::kConst:
      return e.Nodes().empty() ? 0 : e.Nodes()[0].value;
    case ExpressionShape::kVar:
      return NodeValue(e, 0, valuation);
    case ExpressionShape::kUnary: {
      const int32_t root = NodeValue(e, e.Root(), valuation);
      if (e.Nodes()[static_cast<size_t>(e.Root())].type == ExpType::kNot)
        return root == 0 ? 1 : 0;
      return ApplyOperator(ExpType::kSubtract, 0, root);
    }
    case ExpressionShape::kBinary:
    case ExpressionShape::kVarConst:
      return ComputeThreeNodes(e, valuation);
    case ExpressionShape::kTree:
      return EvalNode(e, e.Root(), valuation);
    case ExpressionShape::kProgram:
      return ProgramValue(e, e.Root(), valuation);
  }
  return 0;
}

int32_t EvaluateInRun(const CExpression& e, const Valuation& valuation, MessageSink& messages) {
  if (e.Shape() == ExpressionShape::kUnloaded)
    messages.Problem("Exp Compute");
  return Evaluate(e, valuation);
}

int32_t RightValue(const CExpression& e, const Valuation& valuation) {
  switch (e.Shape()) {
    case ExpressionShape::kBinary:
    case ExpressionShape::kVarConst:
      return NodeValue(e, e.Nodes()[static_cast<size_t>(e.Root())].right, valuation);
    case ExpressionShape::kTree:
      return EvalNode(e, e.Nodes()[static_cast<size_t>(e.Root())].right, valuation);
    case ExpressionShape::kProgram:
      return ProgramValue(e, e.Nodes()[static_cast<size_t>(e.Root())].right, valuation);
    default:
      return 0;
  }
}

int32_t EvalNode(const CExpression& e, int32_t index, const Valuation& valuation) {
  const std::vector<ExpNode>& nodes = e.Nodes();
  for (;;) {
    if (index < 0)
      return 0;
    const ExpNode& node = nodes[static_cast<size_t>(index)];
    switch (node.type) {
      case ExpType::kConditional: {
        const ExpNode& link = nodes[static_cast<size_t>(node.right)];
        index = EvalNode(e, node.left, valuation) != 0 ? link.left : link.right;
        continue;
      }
      case ExpType::kAnd:
        if (EvalNode(e, node.left, valuation) == 0)
          return 0;
        return EvalNode(e, node.right, valuation) != 0 ? 1 : 0;
      case ExpType::kOr:
        if (EvalNode(e, node.left, valuation) != 0)
          return 1;
        return EvalNode(e, node.right, valuation) != 0 ? 1 : 0;
      default:
        if (!IsOperatorCode(node.type))
          return NodeValue(e, index, valuation);
        const int32_t right = EvalNode(e, node.right, valuation);
        const int32_t left = EvalNode(e, node.left, valuation);
        return ApplyOperator(node.type, left, right);
    }
  }
}

}  // namespace tickcheck
