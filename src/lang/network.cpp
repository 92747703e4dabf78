#include "lang/network.h"

#include <algorithm>

#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

void CollectIntegers(const Term& term, std::vector<int32_t>& out) {
  auto add = [&out](int32_t variable) {
    if (std::find(out.begin(), out.end(), variable) == out.end())
      out.push_back(variable);
  };
  if (term.kind == Term::Kind::kInt)
    add(term.value);
  for (int32_t element : term.elements)
    add(element);
  for (const Term& operand : term.operands)
    CollectIntegers(operand, out);
}

}  // namespace

Term Term::Const(int32_t value, SourcePos pos) {
  return Term{Kind::kConst, value, {}, {}, pos};
}

Term Term::Int(int32_t variable, SourcePos pos) {
  return Term{Kind::kInt, variable, {}, {}, pos};
}

Term Term::Binary(int32_t op, Term left, Term right, SourcePos pos) {
  return Term{Kind::kBinary, op, {}, {std::move(left), std::move(right)}, pos};
}

bool Term::IsClockComparison() const {
  return kind == Kind::kBinary && IsRelationCode(value) && operands[0].kind == Kind::kClock;
}

bool Term::HasClock() const {
  if (kind == Kind::kClock || IsClockComparison())
    return true;
  return std::any_of(operands.begin(), operands.end(),
                     [](const Term& operand) { return operand.HasClock(); });
}

std::vector<int32_t> Term::IntegersRead() const {
  std::vector<int32_t> read;
  CollectIntegers(*this, read);
  return read;
}

}  // namespace tickcheck::lang
