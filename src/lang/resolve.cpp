// The resolver's expressions: operators, conditions, quantifiers, assignments and the checks of
// where each may stand.
#include "lang/resolve.h"

#include "expr/comparison.h"
#include "lang/fold.h"
#include "lang/operators.h"
#include "lang/substitute.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

const TypeRef& IntegerValue() {
  static const TypeRef type = IntType(kIntLower, kIntUpper);
  return type;
}

const TypeRef& BoolValue() {
  static const TypeRef type = BoolType();
  return type;
}

constexpr const char* kScalarUse =
    "a scalar value can only be compared with == and !=, assigned and used as an index";

}  // namespace

std::string WrittenName(const SyntaxExpr& expr) {
  switch (expr.kind) {
    case SyntaxExpr::Kind::kName:
      return expr.text;
    case SyntaxExpr::Kind::kIndex:
      return WrittenName(expr.operands[0]) + "[" +
             (expr.operands[1].kind == SyntaxExpr::Kind::kNumber ? expr.operands[1].text : "...") +
             "]";
    case SyntaxExpr::Kind::kMember:
      return WrittenName(expr.operands[0]) + "." + expr.text;
    default:
      return "...";
  }
}

std::string Resolver::PositionName() const {
  switch (position_) {
    case Position::kConstant:
      return "a constant expression";
    case Position::kGuard:
      return "a guard";
    case Position::kInvariant:
      return "an invariant";
    case Position::kSync:
      return "a sync";
    case Position::kQuery:
      return "a query";
    case Position::kUpdate:
    case Position::kFunction:
      break;
  }
  return "an assignment";
}

std::optional<Typed> Resolver::Value(const SyntaxExpr& expr) {
  return Expression(expr, Mode::kValue);
}

std::optional<Term> Resolver::Condition(const SyntaxExpr& expr) {
  std::optional<Typed> condition =
      Expression(expr, ClocksAllowed() ? Mode::kCondition : Mode::kValue);
  if (!condition || !RequireInteger(*condition, expr.pos))
    return std::nullopt;
  return std::move(condition->term);
}

std::optional<int32_t> Resolver::Constant(const SyntaxExpr& expr, const std::string& what) {
  const std::optional<Typed> value = Value(expr);
  if (!value)
    return std::nullopt;
  if (!value->term.IsConst()) {
    diagnostics_.Error(expr.pos, what + " must be a constant expression");
    return std::nullopt;
  }
  return value->term.value;
}

bool Resolver::IsClockDifference(const SyntaxExpr& expr, const Typed& left, const Typed& right) {
  if (left.term.kind != Term::Kind::kClock || right.term.kind != Term::Kind::kClock)
    return false;
  diagnostics_.Error(expr.pos, "clock differences (" + WrittenName(expr.operands[0]) + " - " +
                                   WrittenName(expr.operands[1]) + ") are not supported");
  return true;
}

bool Resolver::RequireInteger(const Typed& value, SourcePos pos) {
  if (value.type->kind == Type::Kind::kScalar) {
    diagnostics_.Error(pos, kScalarUse);
    return false;
  }
  if (value.type->kind == Type::Kind::kVoid) {
    diagnostics_.Error(pos, "the call gives no value (its function is void)");
    return false;
  }
  return true;
}

std::optional<Term> Resolver::ValueFor(const SyntaxExpr& expr, const Type& cell,
                                       const std::string& what) {
  std::optional<Typed> value = Value(expr);
  if (!value)
    return std::nullopt;
  if (value->type->kind == Type::Kind::kVoid) {
    RequireInteger(*value, expr.pos);
    return std::nullopt;
  }
  const bool scalarValue = value->type->kind == Type::Kind::kScalar;
  if (cell.kind == Type::Kind::kScalar) {
    // A constant may name a value of the set: the set's values are 0 .. size - 1.
    if ((scalarValue && value->type->scalarSet != cell.scalarSet) ||
        (!scalarValue && !value->term.IsConst())) {
      diagnostics_.Error(expr.pos, what + " needs a value of its scalar set");
      return std::nullopt;
    }
    return std::move(value->term);
  }
  if (scalarValue) {
    diagnostics_.Error(expr.pos, kScalarUse);
    return std::nullopt;
  }
  return std::move(value->term);
}

std::optional<Typed> Resolver::Expression(const SyntaxExpr& expr, Mode mode) {
  switch (expr.kind) {
    case SyntaxExpr::Kind::kNumber:
      return Typed{Term::Const(static_cast<int32_t>(expr.number), expr.pos), IntegerValue()};
    case SyntaxExpr::Kind::kBool:
      return Typed{Term::Const(static_cast<int32_t>(expr.number), expr.pos), BoolValue()};
    case SyntaxExpr::Kind::kName:
    case SyntaxExpr::Kind::kIndex:
    case SyntaxExpr::Kind::kMember: {
      const std::optional<Resolved> resolved = Access(expr);
      if (!resolved)
        return std::nullopt;
      return Read(*resolved, expr, mode);
    }
    case SyntaxExpr::Kind::kCall:
      return Call(expr);
    case SyntaxExpr::Kind::kUnary: {
      const Mode operandMode = expr.text == "!" && mode == Mode::kCondition ? mode : Mode::kValue;
      std::optional<Typed> operand = Expression(expr.operands[0], operandMode);
      if (!operand || !RequireInteger(*operand, expr.operands[0].pos))
        return std::nullopt;
      if (expr.text == "!")
        return Typed{FoldNot(std::move(operand->term), expr.pos), BoolValue()};
      if (expr.text == "~")
        return Typed{FoldBitNot(std::move(operand->term), expr.pos), IntegerValue()};
      std::optional<Term> negated = FoldNegate(std::move(operand->term), expr.pos, &diagnostics_);
      if (!negated)
        return std::nullopt;
      return Typed{std::move(*negated), IntegerValue()};
    }
    case SyntaxExpr::Kind::kConditional: {
      std::optional<Typed> condition = Value(expr.operands[0]);
      std::optional<Typed> then = Value(expr.operands[1]);
      std::optional<Typed> otherwise = Value(expr.operands[2]);
      if (!condition || !then || !otherwise || !RequireInteger(*condition, expr.operands[0].pos))
        return std::nullopt;
      const bool scalar = then->type->kind == Type::Kind::kScalar;
      if (scalar != (otherwise->type->kind == Type::Kind::kScalar) ||
          (scalar && then->type->scalarSet != otherwise->type->scalarSet)) {
        diagnostics_.Error(expr.pos, "the two branches of '?:' have different types");
        return std::nullopt;
      }
      if (!scalar && (!RequireInteger(*then, expr.operands[1].pos) ||
                      !RequireInteger(*otherwise, expr.operands[2].pos))) {
        return std::nullopt;
      }
      TypeRef type = then->type;
      return Typed{FoldCond(std::move(condition->term), std::move(then->term),
                            std::move(otherwise->term), expr.pos),
                   std::move(type)};
    }
    case SyntaxExpr::Kind::kBinary:
      return Operator(expr, mode);
    case SyntaxExpr::Kind::kAssign:
      return Assignment(expr, false);
    case SyntaxExpr::Kind::kIncrement:
      return Increment(expr);
    case SyntaxExpr::Kind::kQuantifier:
      return Quantified(expr, mode);
    case SyntaxExpr::Kind::kDeadlock:
      if (!Allows(Position::kQuery)) {
        diagnostics_.Error(expr.pos, "deadlock can only stand in a query");
        return std::nullopt;
      }
      Term deadlock;
      deadlock.kind = Term::Kind::kDeadlock;
      deadlock.pos = expr.pos;
      return Typed{std::move(deadlock), BoolValue()};
  }
  return std::nullopt;
}

std::optional<Typed> Resolver::Operator(const SyntaxExpr& expr, Mode mode) {
  if (expr.text == "imply" || expr.text == "&&" || expr.text == "||")
    return Logical(expr, mode);
  const int32_t op = *BinaryOperatorCode(expr.text);
  if (IsRelationCode(op))
    return Comparison(expr, op, mode);
  // Clocks are resolved as comparands so that a clock difference is named as such.
  std::optional<Typed> left = Expression(expr.operands[0], Mode::kComparand);
  std::optional<Typed> right = Expression(expr.operands[1], Mode::kComparand);
  if (!left || !right)
    return std::nullopt;
  if (IsClockDifference(expr, *left, *right))
    return std::nullopt;
  const bool leftClock = left->term.kind == Term::Kind::kClock;
  const bool rightClock = right->term.kind == Term::Kind::kClock;
  if (leftClock || rightClock) {
    const SyntaxExpr& clock = expr.operands[leftClock ? 0 : 1];
    diagnostics_.Error(clock.pos,
                       "the clock " + WrittenName(clock) + " is used as an integer value");
    return std::nullopt;
  }
  if (!RequireInteger(*left, expr.operands[0].pos) ||
      !RequireInteger(*right, expr.operands[1].pos)) {
    return std::nullopt;
  }
  std::optional<Term> folded =
      FoldBinary(op, std::move(left->term), std::move(right->term), expr.pos, &diagnostics_);
  if (!folded)
    return std::nullopt;
  return Typed{std::move(*folded), IntegerValue()};
}

std::optional<Typed> Resolver::Comparison(const SyntaxExpr& expr, int32_t relation, Mode mode) {
  const Mode operandMode = mode == Mode::kCondition ? Mode::kComparand : Mode::kValue;
  std::optional<Typed> left = Expression(expr.operands[0], operandMode);
  std::optional<Typed> right = Expression(expr.operands[1], operandMode);
  if (!left || !right)
    return std::nullopt;
  if (IsClockDifference(expr, *left, *right))
    return std::nullopt;
  const bool rightClock = right->term.kind == Term::Kind::kClock;
  const bool leftScalar = left->type->kind == Type::Kind::kScalar;
  const bool rightScalar = right->type->kind == Type::Kind::kScalar;
  if (leftScalar || rightScalar) {
    const bool equality = relation == ExpType::kEqual || relation == ExpType::kNotEqual;
    const bool sameSet =
        leftScalar && rightScalar && left->type->scalarSet == right->type->scalarSet;
    // A scalar value compares with another of its set, or with a constant naming a value.
    if (!equality || !(sameSet || (leftScalar && right->term.IsConst()) ||
                       (rightScalar && left->term.IsConst()))) {
      diagnostics_.Error(expr.pos, kScalarUse);
      return std::nullopt;
    }
  } else if (!RequireInteger(*left, expr.operands[0].pos) ||
             !RequireInteger(*right, expr.operands[1].pos)) {
    return std::nullopt;
  }
  if (rightClock) {
    return Typed{Term::Binary(MirroredRelation(relation), std::move(right->term),
                              std::move(left->term), expr.pos),
                 BoolValue()};
  }
  std::optional<Term> folded =
      FoldBinary(relation, std::move(left->term), std::move(right->term), expr.pos, &diagnostics_);
  if (!folded)
    return std::nullopt;
  return Typed{std::move(*folded), BoolValue()};
}

std::optional<Typed> Resolver::Logical(const SyntaxExpr& expr, Mode mode) {
  const Mode operandMode = mode == Mode::kCondition ? mode : Mode::kValue;
  std::optional<Typed> left = Expression(expr.operands[0], operandMode);
  std::optional<Typed> right = Expression(expr.operands[1], operandMode);
  if (!left || !right || !RequireInteger(*left, expr.operands[0].pos) ||
      !RequireInteger(*right, expr.operands[1].pos)) {
    return std::nullopt;
  }
  std::optional<Term> folded;
  if (expr.text == "imply") {
    folded = FoldBinary(ExpType::kOr, FoldNot(std::move(left->term), expr.pos),
                        std::move(right->term), expr.pos, &diagnostics_);
  } else {
    folded = FoldBinary(expr.text == "&&" ? ExpType::kAnd : ExpType::kOr, std::move(left->term),
                        std::move(right->term), expr.pos, &diagnostics_);
  }
  if (!folded)
    return std::nullopt;
  return Typed{std::move(*folded), BoolValue()};
}

std::optional<int32_t> Resolver::NewBinder(const SyntaxName& name, const Type& type,
                                           const std::string& what) {
  if (!type.IsValue()) {
    diagnostics_.Error(
        name.pos, what + " needs an integer range, bool or a scalar set, not " + TypeText(type));
    return std::nullopt;
  }
  if (type.kind == Type::Kind::kInt && type.lower == kIntLower && type.upper == kIntUpper) {
    diagnostics_.Error(name.pos, what +
                                     " needs a bounded type such as int[0,3], bool or a "
                                     "scalar set, not int");
    return std::nullopt;
  }
  if (int64_t{type.upper} - type.lower + 1 > kMaxBinderValues) {
    diagnostics_.Error(name.pos, what + " ranges over " +
                                     std::to_string(int64_t{type.upper} - type.lower + 1) +
                                     " values, more than " + std::to_string(kMaxBinderValues));
    return std::nullopt;
  }
  network_.binders.push_back({name.text, type.lower, type.upper});
  return static_cast<int32_t>(network_.binders.size()) - 1;
}

std::optional<Typed> Resolver::Quantified(const SyntaxExpr& expr, Mode mode) {
  const std::optional<TypeRef> type = ResolveType(expr.binderType[0], "");
  if (!type)
    return std::nullopt;
  const std::optional<int32_t> binder = NewBinder(expr.binder, **type, expr.text);
  if (!binder)
    return std::nullopt;
  Scope inner(scope_);
  inner.Declare(expr.binder, Symbol{.kind = Symbol::Kind::kBinder, .type = *type, .value = *binder},
                diagnostics_);
  const Scope* outer = scope_;
  scope_ = &inner;
  const bool sum = expr.text == "sum";
  std::optional<Typed> body =
      Expression(expr.operands[0], !sum && mode == Mode::kCondition ? mode : Mode::kValue);
  scope_ = outer;
  if (!body || !RequireInteger(*body, expr.operands[0].pos))
    return std::nullopt;
  Term folded = Term::Const(sum ? 0 : expr.text == "forall" ? 1 : 0, expr.pos);
  const Binder binderRange = network_.binders[static_cast<size_t>(*binder)];
  for (int32_t v = binderRange.lower; v <= binderRange.upper && folded.IsConst(); ++v) {
    Term value = Bind(body->term, *binder, v, network_);
    if (!value.IsConst()) {
      folded = std::move(value);
      break;
    }
    const int32_t op = sum ? ExpType::kAdd : expr.text == "forall" ? ExpType::kAnd : ExpType::kOr;
    folded = *FoldBinary(op, std::move(folded), std::move(value), expr.pos, nullptr);
  }
  if (folded.IsConst())
    return Typed{std::move(folded), sum ? IntegerValue() : BoolValue()};
  Term term;
  term.kind = Term::Kind::kQuantifier;
  term.value = static_cast<int32_t>(sum                     ? Quantifier::kSum
                                    : expr.text == "forall" ? Quantifier::kForall
                                                            : Quantifier::kExists);
  term.size = *binder;
  term.operands = {sum ? std::move(body->term) : Truth(std::move(body->term))};
  term.pos = expr.pos;
  return Typed{std::move(term), sum ? IntegerValue() : BoolValue()};
}

std::optional<Term> Resolver::Effect(const SyntaxExpr& expr) {
  std::optional<Typed> effect;
  switch (expr.kind) {
    case SyntaxExpr::Kind::kAssign:
      effect = Assignment(expr, true);
      break;
    case SyntaxExpr::Kind::kIncrement:
      effect = Increment(expr);
      break;
    case SyntaxExpr::Kind::kCall:
      effect = Call(expr);
      break;
    default:
      diagnostics_.Error(expr.pos, "an assignment, an increment or a call is needed here");
      return std::nullopt;
  }
  if (!effect)
    return std::nullopt;
  return std::move(effect->term);
}

std::optional<Typed> Resolver::Assignment(const SyntaxExpr& expr, bool effect) {
  if (!SideEffectsAllowed()) {
    diagnostics_.Error(expr.pos, PositionName() + " cannot have side effects");
    return std::nullopt;
  }
  const SyntaxExpr& targetExpr = expr.operands[0];
  std::optional<Resolved> target = Target(targetExpr, "an assignment");
  if (!target)
    return std::nullopt;
  Term assign;
  assign.kind = Term::Kind::kAssign;
  assign.pos = expr.pos;
  if (expr.text != "=") {
    assign.value = *BinaryOperatorCode(expr.text.substr(0, expr.text.size() - 1));
    if (target->kind != Resolved::Kind::kPlace || !target->type->IsValue() ||
        target->type->kind == Type::Kind::kScalar) {
      diagnostics_.Error(expr.pos, "'" + expr.text + "' needs an integer variable");
      return std::nullopt;
    }
  }
  if (target->kind == Resolved::Kind::kClock) {
    if (!effect || !Allows(Position::kUpdate)) {
      diagnostics_.Error(expr.pos, "a clock can only be set in an edge's assignments");
      return std::nullopt;
    }
    std::optional<Typed> value = Value(expr.operands[1]);
    if (!value || !RequireInteger(*value, expr.operands[1].pos))
      return std::nullopt;
    assign.operands = {std::move(target->term), std::move(value->term)};
    return Typed{std::move(assign), VoidType()};
  }
  const Type& type = *target->type;
  if (!type.IsValue()) {
    if (!effect) {
      diagnostics_.Error(expr.pos,
                         "a whole record or array can only be assigned in a statement "
                         "or an edge's assignments");
      return std::nullopt;
    }
    std::optional<Term> source = WholeValue(expr.operands[1], type, target->name);
    if (!source)
      return std::nullopt;
    assign.operands = {std::move(target->term), std::move(*source)};
    return Typed{std::move(assign), VoidType()};
  }
  std::optional<Term> value = ValueFor(expr.operands[1], type, target->name);
  if (!value)
    return std::nullopt;
  assign.operands = {std::move(target->term), std::move(*value)};
  return Typed{std::move(assign), target->type};
}

std::optional<Term> Resolver::WholeValue(const SyntaxExpr& expr, const Type& type,
                                         const std::string& what) {
  std::optional<Resolved> source = Access(expr);
  if (!source)
    return std::nullopt;
  if (source->kind != Resolved::Kind::kPlace || !SameShape(type, *source->type)) {
    diagnostics_.Error(expr.pos,
                       what + " (" + TypeText(type) + ") needs a value of the same type, not " +
                           (source->type ? TypeText(*source->type) : std::string("this")));
    return std::nullopt;
  }
  return Term::Read(std::move(source->term), expr.pos);
}

std::optional<Typed> Resolver::Increment(const SyntaxExpr& expr) {
  if (!SideEffectsAllowed()) {
    diagnostics_.Error(expr.pos, PositionName() + " cannot have side effects");
    return std::nullopt;
  }
  std::optional<Resolved> target = Target(expr.operands[0], "'" + expr.text + "'");
  if (!target)
    return std::nullopt;
  if (target->kind != Resolved::Kind::kPlace || target->type->kind != Type::Kind::kInt ||
      target->type->boolean) {
    diagnostics_.Error(expr.pos, "'" + expr.text + "' needs an integer variable");
    return std::nullopt;
  }
  Term increment;
  increment.kind = Term::Kind::kIncrement;
  increment.value = expr.text == "++" ? 1 : -1;
  increment.size = static_cast<int32_t>(expr.number);
  increment.operands = {std::move(target->term)};
  increment.pos = expr.pos;
  return Typed{std::move(increment), IntegerValue()};
}

const Term* Resolver::SideEffect(const Term& term, const Network& network) {
  const bool assigns = term.kind == Term::Kind::kAssign || term.kind == Term::Kind::kIncrement;
  if (assigns &&
      (term.operands[0].kind == Term::Kind::kClock || term.operands[0].space == Space::kGlobal)) {
    return &term;
  }
  if (term.kind == Term::Kind::kCall) {
    const Function& function = network.functions[static_cast<size_t>(term.value)];
    if (function.writesGlobals)
      return &term;
    for (size_t k = 0; k < function.parameters.size(); ++k) {
      const Parameter& parameter = function.parameters[k];
      if (parameter.reference && function.writesReferences[static_cast<size_t>(parameter.first)] &&
          term.operands[k].space == Space::kGlobal) {
        return &term;
      }
    }
  }
  for (const Term& operand : term.operands) {
    if (const Term* effect = SideEffect(operand, network))
      return effect;
  }
  return nullptr;
}

bool SameShape(const Type& a, const Type& b) {
  if (a.kind != b.kind || a.cells != b.cells)
    return false;
  switch (a.kind) {
    case Type::Kind::kScalar:
      return a.scalarSet == b.scalarSet;
    case Type::Kind::kArray:
      return a.Length() == b.Length() && SameShape(*a.element, *b.element);
    case Type::Kind::kRecord:
      if (a.fields.size() != b.fields.size())
        return false;
      for (size_t f = 0; f < a.fields.size(); ++f) {
        if (!SameShape(*a.fields[f].type, *b.fields[f].type))
          return false;
      }
      return true;
    default:
      return true;
  }
}

}  // namespace tickcheck::lang
