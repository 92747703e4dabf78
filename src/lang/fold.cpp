#include "lang/fold.h"

#include <limits>

#include "lang/operators.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

// The exact value of + - * / on two constants, to find results that leave 32 bits.
std::optional<int64_t> Exact(int32_t op, int64_t a, int64_t b) {
  switch (op) {
    case ExpType::kAdd:
      return a + b;
    case ExpType::kSubtract:
      return a - b;
    case ExpType::kMultiply:
      return a * b;
    case ExpType::kDivide:
      return b == 0 ? std::nullopt : std::optional<int64_t>(a / b);
    default:
      return std::nullopt;
  }
}

}  // namespace

bool IsTruthValued(const Term& term) {
  switch (term.kind) {
    case Term::Kind::kConst:
      return term.value == 0 || term.value == 1;
    case Term::Kind::kNot:
    case Term::Kind::kLocation:
    case Term::Kind::kDeadlock:
      return true;
    case Term::Kind::kBinary:
      return IsTruthOperator(term.value);
    case Term::Kind::kQuantifier:
      return term.value != static_cast<int32_t>(Quantifier::kSum);
    default:
      return false;
  }
}

Term Truth(Term term) {
  if (IsTruthValued(term))
    return term;
  if (term.IsConst())
    return Term::Const(term.value != 0 ? 1 : 0, term.pos);
  const SourcePos pos = term.pos;
  return Term::Binary(ExpType::kNotEqual, std::move(term), Term::Const(0, pos), pos);
}

std::optional<Term> FoldBinary(int32_t op, Term left, Term right, SourcePos pos,
                               Diagnostics* diagnostics) {
  if (op == ExpType::kAnd || op == ExpType::kOr) {
    const bool isAnd = op == ExpType::kAnd;
    // `false && x` and `true || x` decide alone; a neutral constant leaves the other side. An
    // absorbing constant on the right keeps the left side, which is evaluated first.
    if (left.IsConst()) {
      if ((left.value == 0) == isAnd)
        return Term::Const(isAnd ? 0 : 1, pos);
      return Truth(std::move(right));
    }
    if (right.IsConst() && (right.value != 0) == isAnd)
      return Truth(std::move(left));
    return Term::Binary(op, std::move(left), std::move(right), pos);
  }
  if (!left.IsConst() || !right.IsConst())
    return Term::Binary(op, std::move(left), std::move(right), pos);
  const std::optional<int32_t> result = ApplyBinary(op, left.value, right.value);
  if (diagnostics == nullptr) {
    if (!result)
      return Term::Binary(op, std::move(left), std::move(right), pos);
    return Term::Const(*result, pos);
  }
  if ((op == ExpType::kDivide || op == ExpType::kRemainder) && right.value == 0) {
    diagnostics->Error(pos, "division by zero in a constant expression");
    return std::nullopt;
  }
  if ((op == ExpType::kShiftLeft || op == ExpType::kShiftRight) && !result) {
    diagnostics->Error(pos,
                       "the shift count " + std::to_string(right.value) + " is outside 0 .. 31");
    return std::nullopt;
  }
  if (const std::optional<int64_t> exact = Exact(op, left.value, right.value);
      exact && !FitsInt32(*exact)) {
    diagnostics->Error(pos, "the constant expression's value " + std::to_string(*exact) +
                                " does not fit in 32 bits");
    return std::nullopt;
  }
  return Term::Const(*result, pos);
}

Term FoldNot(Term operand, SourcePos pos) {
  if (operand.IsConst())
    return Term::Const(operand.value == 0 ? 1 : 0, pos);
  Term term;
  term.kind = Term::Kind::kNot;
  term.operands = {std::move(operand)};
  term.pos = pos;
  return term;
}

std::optional<Term> FoldNegate(Term operand, SourcePos pos, Diagnostics* diagnostics) {
  if (operand.IsConst()) {
    if (operand.value != std::numeric_limits<int32_t>::min())
      return Term::Const(-operand.value, pos);
    if (diagnostics == nullptr)
      return Term::Const(operand.value, pos);
    diagnostics->Error(pos, "the constant expression's value 2147483648 does not fit in 32 bits");
    return std::nullopt;
  }
  Term term;
  term.kind = Term::Kind::kNegate;
  term.operands = {std::move(operand)};
  term.pos = pos;
  return term;
}

Term FoldBitNot(Term operand, SourcePos pos) {
  if (operand.IsConst())
    return Term::Const(~operand.value, pos);
  Term term;
  term.kind = Term::Kind::kBitNot;
  term.operands = {std::move(operand)};
  term.pos = pos;
  return term;
}

Term FoldCond(Term condition, Term then, Term otherwise, SourcePos pos) {
  if (condition.IsConst())
    return condition.value != 0 ? then : otherwise;
  Term term;
  term.kind = Term::Kind::kCond;
  term.operands = {std::move(condition), std::move(then), std::move(otherwise)};
  term.pos = pos;
  return term;
}

}  // namespace tickcheck::lang
