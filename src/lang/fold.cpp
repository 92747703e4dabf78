#include "lang/fold.h"

#include <limits>

#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

bool IsTruthValued(const Term& term) {
  switch (term.kind) {
    case Term::Kind::kConst:
      return term.value == 0 || term.value == 1;
    case Term::Kind::kNot:
      return true;
    case Term::Kind::kBinary:
      return IsRelationCode(term.value) || term.value == ExpType::kAnd ||
             term.value == ExpType::kOr;
    default:
      return false;
  }
}

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

}  // namespace

Term Truth(Term term) {
  if (IsTruthValued(term))
    return term;
  if (term.IsConst())
    return Term::Const(term.value != 0 ? 1 : 0, term.pos);
  const SourcePos pos = term.pos;
  return Term::Binary(ExpType::kNotEqual, std::move(term), Term::Const(0, pos), pos);
}

std::optional<Term> FoldBinary(int32_t op, Term left, Term right, SourcePos pos,
                               Diagnostics& diagnostics) {
  if (op == ExpType::kAnd || op == ExpType::kOr) {
    const bool isAnd = op == ExpType::kAnd;
    for (int side = 0; side < 2; ++side) {
      const Term& constant = side == 0 ? left : right;
      if (!constant.IsConst())
        continue;
      // `false && x` and `true || x` decide alone; the neutral constant leaves the other side.
      if ((constant.value == 0) == isAnd)
        return Term::Const(isAnd ? 0 : 1, pos);
      return Truth(side == 0 ? std::move(right) : std::move(left));
    }
    return Term::Binary(op, std::move(left), std::move(right), pos);
  }
  if (!left.IsConst() || !right.IsConst())
    return Term::Binary(op, std::move(left), std::move(right), pos);
  const int64_t a = left.value;
  const int64_t b = right.value;
  if ((op == ExpType::kDivide || op == ExpType::kRemainder) && b == 0) {
    diagnostics.Error(pos, "division by zero in a constant expression");
    return std::nullopt;
  }
  int64_t result = 0;
  switch (op) {
    case ExpType::kAdd:
      result = a + b;
      break;
    case ExpType::kSubtract:
      result = a - b;
      break;
    case ExpType::kMultiply:
      result = a * b;
      break;
    case ExpType::kDivide:
      result = a / b;
      break;
    case ExpType::kRemainder:
      result = a % b;
      break;
    default:
      result = ApplyOperator(op, left.value, right.value);
      break;
  }
  if (!FitsInt32(result)) {
    diagnostics.Error(pos, "the constant expression's value " + std::to_string(result) +
                               " does not fit in 32 bits");
    return std::nullopt;
  }
  return Term::Const(static_cast<int32_t>(result), pos);
}

Term FoldNot(Term operand, SourcePos pos) {
  if (operand.IsConst())
    return Term::Const(operand.value == 0 ? 1 : 0, pos);
  return Term{Term::Kind::kNot, 0, {}, {std::move(operand)}, pos};
}

std::optional<Term> FoldNegate(Term operand, SourcePos pos, Diagnostics& diagnostics) {
  if (!operand.IsConst())
    return Term{Term::Kind::kNegate, 0, {}, {std::move(operand)}, pos};
  if (operand.value == std::numeric_limits<int32_t>::min()) {
    diagnostics.Error(pos, "the constant expression's value 2147483648 does not fit in 32 bits");
    return std::nullopt;
  }
  return Term::Const(-operand.value, pos);
}

Term FoldCond(Term condition, Term then, Term otherwise, SourcePos pos) {
  if (condition.IsConst())
    return condition.value != 0 ? then : otherwise;
  return Term{
      Term::Kind::kCond, 0, {}, {std::move(condition), std::move(then), std::move(otherwise)}, pos};
}

}  // namespace tickcheck::lang
