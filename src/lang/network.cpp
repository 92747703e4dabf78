#include "lang/network.h"

#include <algorithm>

#include "model/expression_record.h"

namespace tickcheck::lang {

Term Term::Const(int32_t value, SourcePos pos) {
  Term term;
  term.value = value;
  term.pos = pos;
  return term;
}

Term Term::Binary(int32_t op, Term left, Term right, SourcePos pos) {
  Term term;
  term.kind = Kind::kBinary;
  term.value = op;
  term.operands = {std::move(left), std::move(right)};
  term.pos = pos;
  return term;
}

Term Term::Place(Space space, int32_t first, std::vector<CellType> cells, SourcePos pos) {
  Term term;
  term.kind = Kind::kPlace;
  term.space = space;
  term.value = first;
  term.size = static_cast<int32_t>(cells.size());
  term.cells = std::move(cells);
  term.pos = pos;
  return term;
}

Term Term::Read(Term place, SourcePos pos) {
  Term term;
  term.kind = Kind::kRead;
  term.operands = {std::move(place)};
  term.pos = pos;
  return term;
}

bool Term::IsClockComparison() const {
  return kind == Kind::kBinary && IsRelationCode(value) && operands[0].kind == Kind::kClock;
}

bool Term::HasClock() const {
  if (kind == Kind::kClock)
    return true;
  return std::any_of(operands.begin(), operands.end(),
                     [](const Term& operand) { return operand.HasClock(); });
}

int32_t Term::FixedVariable() const {
  if (kind != Kind::kPlace || space != Space::kGlobal || !operands.empty() || cells.size() != 1)
    return -1;
  return value;
}

}  // namespace tickcheck::lang
