#include "expr/value_bounds.h"

#include <algorithm>
#include <limits>

namespace tickcheck {
namespace {

using Interval = std::optional<ValueInterval>;

constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();

// The interval when it stays within 32 bits (where the arithmetic wraps), else nothing.
Interval Within(int64_t lo, int64_t hi) {
  if (lo < kIntMin || hi > kIntMax)
    return std::nullopt;
  return ValueInterval{lo, hi};
}

Interval Union(const Interval& a, const Interval& b) {
  if (!a || !b)
    return std::nullopt;
  return ValueInterval{std::min(a->lo, b->lo), std::max(a->hi, b->hi)};
}

// `a` cut to lo .. hi; a check that fails outside them leaves only those values.
Interval Intersect(const Interval& a, int64_t lo, int64_t hi) {
  const ValueInterval whole{lo, hi};
  if (!a)
    return whole;
  return ValueInterval{std::max(a->lo, lo), std::min(a->hi, hi)};
}

class Estimate {
 public:
  Estimate(const CExpression& expression, const CSystem& model)
      : expression_(expression), nodes_(expression.Nodes()), model_(model) {}

  Interval Of(int32_t index) const {
    if (index < 0)
      return std::nullopt;
    const ExpNode& node = nodes_[static_cast<size_t>(index)];
    const bool program = expression_.Shape() == ExpressionShape::kProgram;
    switch (node.type) {
      case ExpType::kConditional: {
        const ExpNode& link = nodes_[static_cast<size_t>(node.right)];
        return Union(Of(link.left), Of(link.right));
      }
      case ExpType::kAnd:
      case ExpType::kOr:
      case ExpType::kLogicalNot:
        return ValueInterval{0, 1};
      case ExpType::kAdd:
      case ExpType::kSubtract:
      case ExpType::kMultiply:
        return Arithmetic(node);
      case ExpType::kDivide:
      case ExpType::kRemainder:
        return Division(node);
      case ExpType::kNegation: {
        const Interval operand = Of(node.left);
        return operand ? Within(-operand->hi, -operand->lo) : std::nullopt;
      }
      case ExpType::kBitAnd: {
        const Interval left = Of(node.left);
        const Interval right = Of(node.right);
        if (!left || !right || left->lo < 0 || right->lo < 0)
          return std::nullopt;
        return ValueInterval{0, std::min(left->hi, right->hi)};
      }
      case ExpType::kArrayRead: {
        Interval values = Variable(node.variable);
        for (int32_t k = 1; k < node.value; ++k)
          values = Union(values, Variable(node.variable + k));
        return values;
      }
      case ExpType::kIndexCheck:
        return Intersect(Of(node.left), 0, int64_t{node.value} - 1);
      case ExpType::kRangeCheck:
        return Intersect(Of(node.left), node.value, node.variable);
      default:
        break;
    }
    if (IsRelationCode(node.type) || node.type == ExpType::kAtLocation ||
        node.type == ExpType::kDeadlock)
      return ValueInterval{0, 1};
    // A code of format 2 in a format-1 record is a leaf.
    if (IsOperatorCode(node.type) || (program && IsFormat2Code(node.type)))
      return std::nullopt;
    if (expression_.IsBound(index))
      return Variable(node.variable);
    return ValueInterval{node.value, node.value};
  }

 private:
  Interval Variable(int32_t id) const {
    if (id < 1 || static_cast<size_t>(id) > model_.variables.size())
      return std::nullopt;
    const CVariable& variable = model_.variables[static_cast<size_t>(id) - 1];
    if (variable.Type != VarType::kInteger || variable.Min > variable.Max)
      return std::nullopt;
    return ValueInterval{variable.Min, variable.Max};
  }

  Interval Arithmetic(const ExpNode& node) const {
    const Interval left = Of(node.left);
    const Interval right = Of(node.right);
    if (!left || !right)
      return std::nullopt;
    if (node.type == ExpType::kAdd)
      return Within(left->lo + right->lo, left->hi + right->hi);
    if (node.type == ExpType::kSubtract)
      return Within(left->lo - right->hi, left->hi - right->lo);
    const int64_t products[] = {left->lo * right->lo, left->lo * right->hi, left->hi * right->lo,
                                left->hi * right->hi};
    return Within(*std::min_element(std::begin(products), std::end(products)),
                  *std::max_element(std::begin(products), std::end(products)));
  }

  Interval Division(const ExpNode& node) const {
    const Interval left = Of(node.left);
    const Interval right = Of(node.right);
    if (!left || !right || right->lo != right->hi || right->lo <= 0)
      return std::nullopt;
    const int64_t divisor = right->lo;
    if (node.type == ExpType::kDivide)
      return ValueInterval{left->lo / divisor, left->hi / divisor};
    if (left->lo >= 0)
      return ValueInterval{0, std::min(left->hi, divisor - 1)};
    return ValueInterval{-(divisor - 1), divisor - 1};
  }

  const CExpression& expression_;
  const std::vector<ExpNode>& nodes_;
  const CSystem& model_;
};

}  // namespace

std::optional<ValueInterval> ValuesOf(const CExpression& expression, int32_t node,
                                      const CSystem& model) {
  if (!expression.Loaded())
    return std::nullopt;
  return Estimate(expression, model).Of(node);
}

}  // namespace tickcheck
