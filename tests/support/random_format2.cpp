#include "support/random_format2.h"

#include <algorithm>
#include <utility>

namespace tickcheck::testing {
namespace {

const char* RelationText(int32_t code) {
  static constexpr const char* kText[] = {"?", "==", "<", "<=", ">", ">=", "!="};
  return kText[code];
}

Term Constant(int32_t value) {
  return {Expr::Const(value), std::to_string(value)};
}

Term Read(const IntegerSlot& slot) {
  return {Expr::Var(slot.id), slot.name};
}

Term Binary(int32_t code, const Term& left, const Term& right, const std::string& symbol) {
  return {Expr::Op(code, left.expression, right.expression),
          "(" + left.text + " " + symbol + " " + right.text + ")"};
}

Term Relation(int32_t code, const Term& left, const Term& right) {
  return Binary(code, left, right, RelationText(code));
}

Term Local(int32_t slot) {
  return {Expr::Local(slot), std::string("t").append(std::to_string(slot))};
}

Term SetLocal(int32_t slot, const Term& value) {
  return {Expr::AssignLocal(slot, value.expression),
          std::string("t").append(std::to_string(slot)).append(" = ").append(value.text)};
}

Term Assign(const IntegerSlot& target, const Term& value) {
  return {Expr::Assign(target.id, value.expression), target.name + " = " + value.text};
}

Term Block(const std::vector<Term>& statements) {
  std::vector<Expr> expressions;
  std::string text = "{";
  for (const Term& statement : statements) {
    expressions.push_back(statement.expression);
    text += " " + statement.text + ";";
  }
  return {Expr::Sequence(expressions), text + " }"};
}

Term If(const Term& condition, const Term& then) {
  return {Expr::Cond(condition.expression, then.expression, Expr::Const(0)),
          "if " + condition.text + " " + then.text};
}

}  // namespace

Format2Terms::Format2Terms(std::mt19937_64& random, std::vector<IntegerSlot> scalars,
                           std::vector<IntegerSlot> array)
    : random_(random), scalars_(std::move(scalars)), array_(std::move(array)) {}

int32_t Format2Terms::NewLoop(const std::string& function) {
  loops_.push_back({function, static_cast<int32_t>(loops_.size()) + 1});
  return static_cast<int32_t>(loops_.size());
}

Term Format2Terms::TwoVariables() {
  const int32_t code = Pick(1, 6);
  const Term left = Read(AnyScalar());
  return Relation(code, left, Read(AnyScalar()));
}

Term Format2Terms::Index() {
  const int32_t offset = Pick(-1, 2);
  const IntegerSlot& n = AnyScalar();
  if (offset == 0)
    return Read(n);
  return Binary(ExpType::kAdd, Read(n), Constant(offset), "+");
}

Term Format2Terms::Element(const Term& index) {
  return {Expr::ArrayRead(array_.front().id, static_cast<int32_t>(array_.size()), index.expression),
          "a[" + index.text + "]"};
}

Term Format2Terms::Operand() {
  const int32_t roll = Pick(1, 10);
  if (roll <= 5)
    return Read(AnyScalar());
  if (roll <= 7 || array_.empty())
    return Constant(Pick(-2, 4));
  return Element(Constant(Pick(0, static_cast<int32_t>(array_.size()) - 1)));
}

Term Format2Terms::ArraySum() {
  const int32_t loop = NewLoop("sum");
  const Term i = Local(0);
  const Term sum = Local(1);
  const Term add = SetLocal(1, Binary(ExpType::kAdd, sum, Element(i), "+"));
  const Term step = SetLocal(0, Binary(ExpType::kAdd, i, Constant(1), "+"));
  const Term below = Relation(ExpType::kLess, i, Constant(static_cast<int32_t>(array_.size())));
  const Term body = {Expr::For(loop, below.expression, add.expression, step.expression),
                     "for (; " + below.text + "; " + step.text + ") " + add.text};
  return {Expr::Function(Expr::Sequence({body.expression, Expr::Return(sum.expression)})),
          "sum() { " + body.text + "; return t1; }"};
}

Term Format2Terms::Condition() {
  const int32_t roll = Pick(1, array_.empty() ? 5 : 8);
  switch (roll) {
    case 1:
      return TwoVariables();
    case 2: {
      const Term dividend = Constant(Pick(-6, 6));
      const Term divisor = Read(AnyScalar());
      const Term quotient = Binary(ExpType::kDivide, dividend, divisor, "/");
      const int32_t code = Pick(1, 6);
      return Relation(code, quotient, Constant(Pick(-2, 2)));
    }
    case 3: {
      const Term n = Read(AnyScalar());
      if (Chance(0.5)) {
        const Term masked = Binary(ExpType::kBitAnd, n, Constant(Pick(1, 3)), "&");
        return Relation(ExpType::kNotEqual, masked, Constant(0));
      }
      const Term shifted = Binary(ExpType::kShiftRight, Constant(16), n, ">>");
      const int32_t code = Pick(1, 6);
      return Relation(code, shifted, Constant(Pick(0, 8)));
    }
    case 4: {
      const int32_t code = Pick(1, 6);
      const Term n = Read(AnyScalar());
      const Term left = Relation(code, n, Constant(Pick(-2, 3)));
      const Term right = TwoVariables();
      const Term negated = {Expr::Unary(ExpType::kLogicalNot, left.expression), "!" + left.text};
      return Chance(0.5) ? Binary(ExpType::kAnd, negated, right, "&&")
                         : Binary(ExpType::kOr, left, right, "||");
    }
    case 5: {
      const Term test = Relation(ExpType::kGreater, Read(AnyScalar()), Constant(0));
      const Term then = Read(AnyScalar());
      const Term chosen = {Expr::Cond(test.expression, then.expression, Expr::Const(1)),
                           "(" + test.text + " ? " + then.text + " : 1)"};
      const int32_t code = Pick(1, 6);
      return Relation(code, chosen, Constant(Pick(-1, 2)));
    }
    case 6:
    case 7: {
      const Term element = Element(Index());
      const int32_t code = Pick(1, 6);
      return Relation(code, element, Constant(Pick(0, 3)));
    }
    default: {
      const Term sum = ArraySum();
      const int32_t code = Pick(1, 6);
      return Relation(code, sum, Constant(Pick(0, 8)));
    }
  }
}

Term Format2Terms::Value(const IntegerSlot& target) {
  switch (Pick(1, 4)) {
    case 1: {
      const Term dividend = Operand();
      return Binary(ExpType::kDivide, dividend, Read(AnyScalar()), "/");
    }
    case 2:
      return Constant(Pick(target.min, target.max));
    case 3:
      return Binary(ExpType::kAdd, Read(target), Constant(1), "+");
    default: {
      const Term n = Read(AnyScalar());
      return {Expr::Unary(ExpType::kNegation, n.expression), "-" + n.text};
    }
  }
}

Term Format2Terms::Effect() {
  const IntegerSlot& m = AnyScalar();
  const int32_t roll = Pick(1, array_.empty() ? 3 : 6);
  switch (roll) {
    case 1: {
      // t0 = n; while (t0 > 0) { m = m - 1; t0 = t0 - 1; }
      const int32_t loop = NewLoop("countdown");
      const Term t = Local(0);
      const Term body = Block({Assign(m, Binary(ExpType::kSubtract, Read(m), Constant(1), "-")),
                               SetLocal(0, Binary(ExpType::kSubtract, t, Constant(1), "-"))});
      const Term positive = Relation(ExpType::kGreater, t, Constant(0));
      const Term start = SetLocal(0, Read(AnyScalar()));
      return Block({start,
                    {Expr::While(loop, positive.expression, body.expression),
                     "while " + positive.text + " " + body.text}});
    }
    case 2: {
      // do { m = m + 1; if (m >= k) break; } while (1)
      const int32_t loop = NewLoop("climb");
      const Term reached = Relation(ExpType::kAtLeast, Read(m), Constant(Pick(m.min, m.max + 1)));
      const Term body = Block({Assign(m, Binary(ExpType::kAdd, Read(m), Constant(1), "+")),
                               If(reached, {Expr::Break(), "break"})});
      return {Expr::DoWhile(loop, body.expression, Expr::Const(1)), "do " + body.text + " while 1"};
    }
    case 3: {
      // t1 = n1; n1 = n2; n2 = t1
      const IntegerSlot& other = AnyScalar();
      return Block({SetLocal(1, Read(m)), Assign(m, Read(other)), Assign(other, Local(1))});
    }
    case 4: {
      const Term index = Index();
      const Term value = Operand();
      return {Expr::AssignElement(array_.front().id, static_cast<int32_t>(array_.size()),
                                  index.expression, value.expression),
              "a[" + index.text + "] = " + value.text};
    }
    case 5: {
      // for (t0 = 0; t0 < size; t0++) a[t0] = (a[t0] + 1) % (max + 1)
      const int32_t loop = NewLoop("rotate");
      const Term i = Local(0);
      const Term next =
          Binary(ExpType::kRemainder, Binary(ExpType::kAdd, Element(i), Constant(1), "+"),
                 Constant(array_.front().max + 1), "%");
      const Term write = {
          Expr::AssignElement(array_.front().id, static_cast<int32_t>(array_.size()), i.expression,
                              next.expression),
          "a[t0] = " + next.text};
      const Term below = Relation(ExpType::kLess, i, Constant(static_cast<int32_t>(array_.size())));
      const Term step = SetLocal(0, Binary(ExpType::kAdd, i, Constant(1), "+"));
      return {Expr::For(loop, below.expression, write.expression, step.expression),
              "for (t0 = 0; " + below.text + "; " + step.text + ") " + write.text};
    }
    default: {
      // m = first() where first() returns the first index of an element above k, or -1
      const int32_t loop = NewLoop("first");
      const Term i = Local(0);
      const Term above = Relation(ExpType::kGreater, Element(i), Constant(Pick(0, 2)));
      const Term found = If(above, {Expr::Return(i.expression), "return t0"});
      const Term below = Relation(ExpType::kLess, i, Constant(static_cast<int32_t>(array_.size())));
      const Term step = SetLocal(0, Binary(ExpType::kAdd, i, Constant(1), "+"));
      const Term search = {
          Expr::Function(
              Expr::Sequence({Expr::For(loop, below.expression, found.expression, step.expression),
                              Expr::Return(Expr::Const(-1))})),
          "first() { for (; " + below.text + "; " + step.text + ") " + found.text +
              "; return -1; }"};
      return Assign(m, search);
    }
  }
}

Term Format2Terms::Property(const std::vector<int32_t>& processes,
                            const std::vector<ClockSlot>& clocks, std::vector<ClockUse>& uses) {
  const auto leaf = [&]() -> Term {
    const int32_t roll = Pick(1, 10);
    if (roll <= 3) {
      const int32_t p = Pick(1, static_cast<int32_t>(processes.size()));
      const int32_t l = Pick(1, processes[static_cast<size_t>(p) - 1]);
      return {Expr::AtLocation(p, l),
              std::string("P").append(std::to_string(p)).append(".l").append(std::to_string(l))};
    }
    if (roll <= 6 && !clocks.empty()) {
      const ClockSlot& x =
          clocks[static_cast<size_t>(Pick(0, static_cast<int32_t>(clocks.size()) - 1))];
      const Term clock = {Expr::Var(x.id), x.name};
      const int32_t code = Pick(1, 6);
      if (Chance(0.5)) {
        const int32_t bound = Pick(0, x.max);
        uses.push_back({x.id, bound});
        return Relation(code, clock, Constant(bound));
      }
      const IntegerSlot& n = AnyScalar();
      const int32_t offset = Pick(0, 3);
      uses.push_back({x.id, std::min(n.max + offset, x.max)});
      return Relation(code, clock, Binary(ExpType::kAdd, Read(n), Constant(offset), "+"));
    }
    if (roll <= 8 || array_.empty())
      return TwoVariables();
    const Term element = Element(Index());
    const int32_t code = Pick(1, 6);
    return Relation(code, element, Constant(Pick(0, 3)));
  };
  Term property = leaf();
  const int32_t more = Pick(0, 2);
  for (int32_t k = 0; k < more; ++k) {
    const Term other = leaf();
    switch (Pick(1, 4)) {
      case 1:
        property = Binary(ExpType::kAnd, property, other, "&&");
        break;
      case 2:
        property = Binary(ExpType::kOr, property, other, "||");
        break;
      case 3:
        property = {Expr::Unary(ExpType::kLogicalNot,
                                Binary(ExpType::kAnd, property, other, "&&").expression),
                    "!(" + property.text + " && " + other.text + ")"};
        break;
      default:
        property = {Expr::Cond(property.expression, other.expression, Expr::Const(1)),
                    "(" + property.text + " ? " + other.text + " : 1)"};
        break;
    }
  }
  return property;
}

}  // namespace tickcheck::testing
