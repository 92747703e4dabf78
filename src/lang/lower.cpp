#include "lang/lower.h"

#include "lang/fold.h"
#include "lang/substitute.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

// Joins the items with `op` as a balanced tree, so that long unrollings stay shallow.
Expr Balanced(int32_t op, const std::vector<Expr>& items, size_t first, size_t count) {
  if (count == 1)
    return items[first];
  const size_t half = count / 2;
  return Expr::Op(op, Balanced(op, items, first, half),
                  Balanced(op, items, first + half, count - half));
}

// The value of cell `index` among `values`, by a balanced search over `index`.
Expr Select(const std::vector<int32_t>& values, const Expr& index, size_t first, size_t count) {
  if (count == 1)
    return Expr::Const(values[first]);
  const size_t half = count / 2;
  return Expr::Cond(
      Expr::Op(ExpType::kLess, index, Expr::Const(static_cast<int32_t>(first + half))),
      Select(values, index, first, half), Select(values, index, first + half, count - half));
}

}  // namespace

Expr Lowering::LowerValue(const Term& term) {
  slots_ = 0;
  budget_ = kMaxLoweredTerms;
  root_ = term.pos;
  return Lower(term, Frame{});
}

Expr Lowering::LowerEffect(const Term& term) {
  return LowerValue(term);
}

int32_t Lowering::NewSlots(int32_t count) {
  const int32_t first = slots_;
  slots_ += count;
  return first;
}

Expr Lowering::Lower(const Term& term, const Frame& frame) {
  // Calls of calls and nested quantifiers multiply: a budget keeps the record finite.
  if (--budget_ < 0) {
    if (budget_ == -1) {
      diagnostics_.Error(root_, "the expression has more than " + std::to_string(kMaxLoweredTerms) +
                                    " terms once its calls are inlined and its quantifiers "
                                    "unrolled");
    }
    return Expr::Const(0);
  }
  switch (term.kind) {
    case Term::Kind::kConst:
      return Expr::Const(term.value);
    case Term::Kind::kRead:
      return Read(Locate(term.operands[0], frame), 0);
    case Term::Kind::kClock:
      if (term.size > 0) {
        diagnostics_.Error(term.pos, "the index of the clock lies outside its array");
        return Expr::Const(0);
      }
      return Expr::Var(clockIds_[static_cast<size_t>(term.value)]);
    case Term::Kind::kNot:
      return Expr::Unary(ExpType::kLogicalNot, Lower(term.operands[0], frame));
    case Term::Kind::kNegate:
      return Expr::Unary(ExpType::kNegation, Lower(term.operands[0], frame));
    case Term::Kind::kBitNot:
      return Expr::Unary(ExpType::kBitNot, Lower(term.operands[0], frame));
    case Term::Kind::kBinary:
      return Expr::Op(term.value, Lower(term.operands[0], frame), Lower(term.operands[1], frame));
    case Term::Kind::kCond:
      return Expr::Cond(Lower(term.operands[0], frame), Lower(term.operands[1], frame),
                        Lower(term.operands[2], frame));
    case Term::Kind::kCheck:
      return Expr::IndexCheck(term.size, Lower(term.operands[0], frame));
    case Term::Kind::kAssign:
      return Assign(term, frame);
    case Term::Kind::kIncrement:
      return Increment(term, frame);
    case Term::Kind::kCall:
      return Call(term, frame);
    case Term::Kind::kQuantifier:
      return Quantified(term, frame);
    case Term::Kind::kLocation:
      return Expr::AtLocation(term.value + 1, term.size + 1);
    case Term::Kind::kDeadlock:
      return Expr::Deadlock();
    case Term::Kind::kBound:
    case Term::Kind::kPlace:
      break;
  }
  // Binders are bound before lowering, and places are read or written through their terms.
  diagnostics_.Error(term.pos, "internal error: a term that cannot be lowered");
  return Expr::Const(0);
}

Expr Lowering::Quantified(const Term& term, const Frame& frame) {
  const Binder& binder = network_.binders[static_cast<size_t>(term.size)];
  std::vector<Expr> items;
  for (int32_t v = binder.lower; v <= binder.upper; ++v)
    items.push_back(Lower(Bind(term.operands[0], term.size, v, network_), frame));
  switch (static_cast<Quantifier>(term.value)) {
    case Quantifier::kForall:
      return Balanced(ExpType::kAnd, items, 0, items.size());
    case Quantifier::kExists:
      return Balanced(ExpType::kOr, items, 0, items.size());
    case Quantifier::kSum:
      break;
  }
  return Balanced(ExpType::kAdd, items, 0, items.size());
}

Lowering::Address Lowering::Locate(const Term& place, const Frame& frame) {
  Address address;
  address.cells = place.cells;
  std::optional<Expr> inner;
  int32_t innerFixed = 0;
  if (!place.operands.empty()) {
    const Term& offset = place.operands[0];
    const int32_t width = static_cast<int32_t>(place.cells.size());
    if (offset.IsConst() && offset.value >= 0 && offset.value <= place.size - width)
      innerFixed = offset.value;
    else
      inner = Lower(offset, frame);
  }
  if (place.space == Space::kReference) {
    address = frame.references[static_cast<size_t>(place.value)];
    address.cells = place.cells;
    address.fixed += innerFixed;
    if (inner)
      address.offset = address.offset ? Expr::Op(ExpType::kAdd, *address.offset, *inner) : *inner;
    return address;
  }
  address.space = place.space;
  address.base = place.space == Space::kLocal ? frame.slotBase + place.value : place.value;
  address.extent = place.size;
  address.fixed = innerFixed;
  address.offset = inner;
  return address;
}

void Lowering::Fix(Address& address, bool checked, std::vector<Expr>& prologue) {
  if (!address.offset)
    return;
  Expr offset = CellIndex(address, 0);
  if (checked) {
    const auto width = static_cast<int32_t>(address.cells.size());
    offset = Expr::IndexCheck(address.extent - width + 1, offset);
  }
  const int32_t slot = NewSlots(1);
  prologue.push_back(Expr::AssignLocal(slot, offset));
  address.offset = Expr::Local(slot);
  address.fixed = 0;
}

Expr Lowering::CellIndex(const Address& address, int32_t cell) const {
  const int32_t fixed = address.fixed + cell;
  if (!address.offset)
    return Expr::Const(fixed);
  if (fixed == 0)
    return *address.offset;
  return Expr::Op(ExpType::kAdd, *address.offset, Expr::Const(fixed));
}

Expr Lowering::Read(const Address& address, int32_t cell) {
  const int32_t fixed = address.base + address.fixed + cell;
  switch (address.space) {
    case Space::kGlobal:
      if (!address.offset)
        return Expr::Var(VariableId(fixed));
      return Expr::ArrayRead(VariableId(address.base), address.extent, CellIndex(address, cell));
    case Space::kLocal:
      if (!address.offset)
        return Expr::Local(fixed);
      return Expr::LocalElement(address.base, address.extent, CellIndex(address, cell));
    case Space::kConstant: {
      if (!address.offset)
        return Expr::Const(network_.constants[static_cast<size_t>(fixed)]);
      const std::vector<int32_t> values(network_.constants.begin() + address.base,
                                        network_.constants.begin() + address.base + address.extent);
      const int32_t slot = NewSlots(1);
      return Expr::Sequence(
          {Expr::AssignLocal(slot, Expr::IndexCheck(address.extent, CellIndex(address, cell))),
           Select(values, Expr::Local(slot), 0, values.size())});
    }
    case Space::kReference:
      break;
  }
  return Expr::Const(0);
}

Expr Lowering::Write(const Address& address, int32_t cell, Expr value, bool truthValued) {
  const CellType& type = address.cells[static_cast<size_t>(cell)];
  if (type.boolean && !truthValued)
    value = Expr::Op(ExpType::kNotEqual, value, Expr::Const(0));
  const int32_t fixed = address.base + address.fixed + cell;
  if (address.space == Space::kGlobal) {
    if (!address.offset)
      return Expr::Assign(VariableId(fixed), value);
    return Expr::AssignElement(VariableId(address.base), address.extent, CellIndex(address, cell),
                               value);
  }
  // Locals have no declared range in the model file: their writes check it.
  value = Expr::RangeCheck(type.lower, type.upper, value);
  if (!address.offset)
    return Expr::AssignLocal(fixed, value);
  return Expr::AssignLocalElement(address.base, address.extent, CellIndex(address, cell), value);
}

Expr Lowering::Assign(const Term& term, const Frame& frame) {
  const Term& target = term.operands[0];
  const Term& source = term.operands[1];
  if (target.kind == Term::Kind::kClock) {
    diagnostics_.Error(term.pos, "a clock can only be set in an edge's assignments");
    return Expr::Const(0);
  }
  std::vector<Expr> items;
  Address address = Locate(target, frame);
  const auto width = static_cast<int32_t>(target.cells.size());
  if (width > 1) {
    // A whole record or array: both places are fixed first, then copied cell by cell.
    Fix(address, true, items);
    Address from = Locate(source.operands[0], frame);
    Fix(from, true, items);
    for (int32_t k = 0; k < width; ++k) {
      const bool truth = from.cells[static_cast<size_t>(k)].boolean;
      items.push_back(Write(address, k, Read(from, k), truth));
    }
    items.push_back(Expr::Const(0));
    return Expr::Sequence(items);
  }
  if (term.value == 0)
    return Write(address, 0, Lower(source, frame), IsTruthValued(source));
  // `x op= e`: the place once, then its value, then e.
  Fix(address, false, items);
  const Expr value = Expr::Op(term.value, Read(address, 0), Lower(source, frame));
  items.push_back(Write(address, 0, value, false));
  return Expr::Sequence(items);
}

Expr Lowering::Increment(const Term& term, const Frame& frame) {
  std::vector<Expr> items;
  Address address = Locate(term.operands[0], frame);
  Fix(address, false, items);
  const Expr delta = Expr::Const(term.value);
  if (term.size == 1) {
    items.push_back(Write(address, 0, Expr::Op(ExpType::kAdd, Read(address, 0), delta), false));
    return Expr::Sequence(items);
  }
  const int32_t old = NewSlots(1);
  items.push_back(Expr::AssignLocal(old, Read(address, 0)));
  items.push_back(Write(address, 0, Expr::Op(ExpType::kAdd, Expr::Local(old), delta), false));
  items.push_back(Expr::Local(old));
  return Expr::Sequence(items);
}

Expr Lowering::Call(const Term& term, const Frame& frame) {
  const Function& callee = network_.functions[static_cast<size_t>(term.value)];
  Frame inner;
  inner.function = &callee;
  inner.slotBase = NewSlots(static_cast<int32_t>(callee.slots.size()));
  inner.references.resize(static_cast<size_t>(callee.references));
  std::vector<Expr> items;
  for (size_t k = 0; k < callee.parameters.size(); ++k) {
    const Parameter& parameter = callee.parameters[k];
    const Term& argument = term.operands[k];
    if (parameter.reference) {
      Address address = Locate(argument, frame);
      Fix(address, true, items);
      inner.references[static_cast<size_t>(parameter.first)] = std::move(address);
      continue;
    }
    Address slots;
    slots.space = Space::kLocal;
    slots.base = inner.slotBase + parameter.first;
    slots.extent = parameter.width;
    slots.cells.assign(callee.slots.begin() + parameter.first,
                       callee.slots.begin() + parameter.first + parameter.width);
    if (parameter.width == 1) {
      items.push_back(Write(slots, 0, Lower(argument, frame), IsTruthValued(argument)));
      continue;
    }
    Address from = Locate(argument.operands[0], frame);
    Fix(from, true, items);
    for (int32_t c = 0; c < parameter.width; ++c)
      items.push_back(Write(slots, c, Read(from, c), from.cells[static_cast<size_t>(c)].boolean));
  }
  items.push_back(Expr::Function(Body(callee.body, inner)));
  return Expr::Sequence(items);
}

Expr Lowering::Body(const lang::Statement& statement, const Frame& frame) {
  auto loop = [&]() {
    loops_.push_back({frame.function->name, statement.line});
    return static_cast<int32_t>(loops_.size());
  };
  switch (statement.kind) {
    case Statement::Kind::kBlock: {
      std::vector<Expr> items;
      for (const lang::Statement& inner : statement.body)
        items.push_back(Body(inner, frame));
      return Expr::Sequence(items);
    }
    case Statement::Kind::kExpression:
      return Lower(statement.terms[0], frame);
    case Statement::Kind::kIf:
      return Expr::Cond(
          Lower(statement.terms[0], frame), Body(statement.body[0], frame),
          statement.body.size() > 1 ? Body(statement.body[1], frame) : Expr::Const(0));
    case Statement::Kind::kWhile: {
      const int32_t id = loop();
      return Expr::While(id, Lower(statement.terms[0], frame), Body(statement.body[0], frame));
    }
    case Statement::Kind::kDoWhile: {
      const int32_t id = loop();
      return Expr::DoWhile(id, Body(statement.body[0], frame), Lower(statement.terms[0], frame));
    }
    case Statement::Kind::kFor: {
      const int32_t id = loop();
      return Expr::For(
          id, Lower(statement.terms[0], frame), Body(statement.body[0], frame),
          statement.terms.size() > 1 ? Lower(statement.terms[1], frame) : Expr::Const(0));
    }
    case Statement::Kind::kBreak:
      return Expr::Break();
    case Statement::Kind::kContinue:
      return Expr::Continue();
    case Statement::Kind::kReturn: {
      if (statement.terms.empty())
        return Expr::Return();
      const CellType& result = *frame.function->result;
      const Term& value = statement.terms[0];
      Expr returned = Lower(value, frame);
      if (result.boolean && !IsTruthValued(value))
        returned = Expr::Op(ExpType::kNotEqual, returned, Expr::Const(0));
      return Expr::Return(Expr::RangeCheck(result.lower, result.upper, returned));
    }
  }
  return Expr::Const(0);
}

}  // namespace tickcheck::lang
