#include "lang/resolve.h"

#include "expr/comparison.h"
#include "lang/fold.h"
#include "lang/operators.h"
#include "lang/ranges.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

std::string Range(int64_t lower, int64_t upper) {
  return std::to_string(lower) + " .. " + std::to_string(upper);
}

}  // namespace

std::optional<Term> Resolver::Value(const SyntaxExpr& expr) {
  return Resolve(expr, Mode::kValue);
}

std::optional<Term> Resolver::Condition(const SyntaxExpr& expr) {
  return Resolve(expr, Mode::kCondition);
}

std::optional<int32_t> Resolver::Constant(const SyntaxExpr& expr, const std::string& what) {
  const std::optional<Term> term = Value(expr);
  if (!term)
    return std::nullopt;
  if (!term->IsConst()) {
    diagnostics_.Error(expr.pos, what + " must be a constant expression");
    return std::nullopt;
  }
  return term->value;
}

const Symbol* Resolver::Lookup(const SyntaxExpr& expr) {
  const Symbol* symbol = scope_.Find(expr.text);
  if (symbol == nullptr)
    diagnostics_.Error(expr.pos, "unknown name " + expr.text);
  return symbol;
}

std::optional<Term> Resolver::Index(const SyntaxExpr& expr, const std::string& array,
                                    int32_t size) {
  std::optional<Term> index = Value(expr);
  if (!index)
    return std::nullopt;
  const Interval range =
      index->IsConst() ? Interval{index->value, index->value} : RangeOf(*index, network_);
  if (range.lower < 0 || range.upper >= size) {
    const std::string values = index->IsConst() ? "the index " + std::to_string(index->value)
                                                : "the index (" + Range(range.lower, range.upper) +
                                                      " by the ranges of its variables)";
    diagnostics_.Error(expr.pos, values + " is outside the array " + array + " (0 .. " +
                                     std::to_string(size - 1) + ")");
    return std::nullopt;
  }
  return index;
}

std::optional<Term> Resolver::Reference(const SyntaxExpr& expr, Mode mode, bool target) {
  const bool indexed = expr.kind == SyntaxExpr::Kind::kIndex;
  const SyntaxExpr& base = indexed ? expr.operands[0] : expr;
  if (base.kind != SyntaxExpr::Kind::kName) {
    diagnostics_.Error(base.pos, "only a declared array can be indexed");
    return std::nullopt;
  }
  const Symbol* symbol = Lookup(base);
  if (symbol == nullptr)
    return std::nullopt;
  const std::string described = Describe(*symbol, base.text);
  switch (symbol->kind) {
    case Symbol::Kind::kConst:
      if (target) {
        diagnostics_.Error(base.pos, "cannot assign to " + described);
        return std::nullopt;
      }
      if (indexed)
        break;
      return Term::Const(symbol->value, expr.pos);
    case Symbol::Kind::kInt:
    case Symbol::Kind::kClock: {
      const bool clock = symbol->kind == Symbol::Kind::kClock;
      if (clock && mode != Mode::kComparand && !target) {
        diagnostics_.Error(base.pos, described + " is used as an integer value");
        return std::nullopt;
      }
      if (indexed != (symbol->size > 0)) {
        diagnostics_.Error(
            base.pos, indexed ? base.text + " is not an array" : described + " needs an index");
        return std::nullopt;
      }
      const Term::Kind kind = clock ? Term::Kind::kClock : Term::Kind::kInt;
      if (!indexed)
        return Term{kind, symbol->first, {}, {}, expr.pos};
      std::optional<Term> index = Index(expr.operands[1], base.text, symbol->size);
      if (!index)
        return std::nullopt;
      if (index->IsConst())
        return Term{kind, symbol->first + index->value, {}, {}, expr.pos};
      if (clock) {
        diagnostics_.Error(expr.operands[1].pos, "a clock array needs a constant index");
        return std::nullopt;
      }
      Term element{Term::Kind::kElement, 0, {}, {std::move(*index)}, expr.pos};
      for (int32_t k = 0; k < symbol->size; ++k)
        element.elements.push_back(symbol->first + k);
      return element;
    }
    case Symbol::Kind::kChannel:
      diagnostics_.Error(base.pos, described + " is used as a value");
      return std::nullopt;
    case Symbol::Kind::kType:
      diagnostics_.Error(base.pos, described + " is not a value");
      return std::nullopt;
    case Symbol::Kind::kTemplate:
    case Symbol::Kind::kInstance:
      diagnostics_.Error(base.pos, described + " is not a value");
      return std::nullopt;
  }
  diagnostics_.Error(base.pos, base.text + " is not an array");
  return std::nullopt;
}

std::optional<Term> Resolver::Comparison(const SyntaxExpr& expr, int32_t relation, Mode mode) {
  const Mode operandMode = mode == Mode::kCondition ? Mode::kComparand : Mode::kValue;
  std::optional<Term> left = Resolve(expr.operands[0], operandMode);
  std::optional<Term> right = Resolve(expr.operands[1], operandMode);
  if (!left || !right)
    return std::nullopt;
  const bool leftClock = left->kind == Term::Kind::kClock;
  const bool rightClock = right->kind == Term::Kind::kClock;
  if (leftClock && rightClock) {
    diagnostics_.Error(expr.pos, "comparing two clocks (a clock difference) is not supported");
    return std::nullopt;
  }
  if (rightClock)
    return Term::Binary(MirroredRelation(relation), std::move(*right), std::move(*left), expr.pos);
  return FoldBinary(relation, std::move(*left), std::move(*right), expr.pos, diagnostics_);
}

std::optional<Term> Resolver::Resolve(const SyntaxExpr& expr, Mode mode) {
  switch (expr.kind) {
    case SyntaxExpr::Kind::kNumber:
    case SyntaxExpr::Kind::kBool:
      return Term::Const(static_cast<int32_t>(expr.number), expr.pos);
    case SyntaxExpr::Kind::kName:
    case SyntaxExpr::Kind::kIndex:
      return Reference(expr, mode, false);
    case SyntaxExpr::Kind::kCall:
      diagnostics_.Error(expr.pos, "functions are not supported (" + expr.text + "(...))");
      return std::nullopt;
    case SyntaxExpr::Kind::kMember:
      diagnostics_.Error(expr.pos, "'." + expr.text +
                                       "' names a process's location or variable: only queries "
                                       "may use it");
      return std::nullopt;
    case SyntaxExpr::Kind::kUnary: {
      if (expr.text == "!") {
        std::optional<Term> operand =
            Resolve(expr.operands[0], mode == Mode::kCondition ? mode : Mode::kValue);
        if (!operand)
          return std::nullopt;
        return FoldNot(std::move(*operand), expr.pos);
      }
      std::optional<Term> operand = Resolve(expr.operands[0], Mode::kValue);
      if (!operand)
        return std::nullopt;
      return FoldNegate(std::move(*operand), expr.pos, diagnostics_);
    }
    case SyntaxExpr::Kind::kConditional: {
      std::optional<Term> condition = Resolve(expr.operands[0], Mode::kValue);
      std::optional<Term> then = Resolve(expr.operands[1], Mode::kValue);
      std::optional<Term> otherwise = Resolve(expr.operands[2], Mode::kValue);
      if (!condition || !then || !otherwise)
        return std::nullopt;
      return FoldCond(std::move(*condition), std::move(*then), std::move(*otherwise), expr.pos);
    }
    case SyntaxExpr::Kind::kBinary:
      break;
  }
  const Mode logical = mode == Mode::kCondition ? mode : Mode::kValue;
  if (expr.text == "imply") {
    std::optional<Term> premise = Resolve(expr.operands[0], logical);
    std::optional<Term> conclusion = Resolve(expr.operands[1], logical);
    if (!premise || !conclusion)
      return std::nullopt;
    return FoldBinary(ExpType::kOr, FoldNot(std::move(*premise), expr.pos), std::move(*conclusion),
                      expr.pos, diagnostics_);
  }
  const int32_t op = *BinaryOperatorCode(expr.text);
  if (IsRelationCode(op))
    return Comparison(expr, op, mode);
  const Mode operandMode = (op == ExpType::kAnd || op == ExpType::kOr) ? logical : Mode::kValue;
  std::optional<Term> left = Resolve(expr.operands[0], operandMode);
  std::optional<Term> right = Resolve(expr.operands[1], operandMode);
  if (!left || !right)
    return std::nullopt;
  return FoldBinary(op, std::move(*left), std::move(*right), expr.pos, diagnostics_);
}

std::optional<Term> Resolver::Target(const SyntaxExpr& expr) {
  if (expr.kind != SyntaxExpr::Kind::kName && expr.kind != SyntaxExpr::Kind::kIndex) {
    diagnostics_.Error(expr.pos, "only a variable, an array element or a clock can be assigned");
    return std::nullopt;
  }
  return Reference(expr, Mode::kValue, true);
}

std::optional<Sync> Resolver::Channel(const SyntaxExpr& expr) {
  const bool indexed = expr.kind == SyntaxExpr::Kind::kIndex;
  const SyntaxExpr& base = indexed ? expr.operands[0] : expr;
  if (base.kind != SyntaxExpr::Kind::kName) {
    diagnostics_.Error(expr.pos, "a sync needs a channel");
    return std::nullopt;
  }
  const Symbol* symbol = Lookup(base);
  if (symbol == nullptr)
    return std::nullopt;
  if (symbol->kind != Symbol::Kind::kChannel) {
    diagnostics_.Error(base.pos, Describe(*symbol, base.text) + " is not a channel");
    return std::nullopt;
  }
  if (indexed != (symbol->size > 0)) {
    diagnostics_.Error(base.pos, indexed ? base.text + " is not an array"
                                         : Describe(*symbol, base.text) + " needs an index");
    return std::nullopt;
  }
  Sync sync;
  sync.pos = expr.pos;
  if (!indexed) {
    sync.channels = {symbol->first};
    return sync;
  }
  std::optional<Term> index = Index(expr.operands[1], base.text, symbol->size);
  if (!index)
    return std::nullopt;
  if (index->IsConst()) {
    sync.channels = {symbol->first + index->value};
    return sync;
  }
  for (int32_t k = 0; k < symbol->size; ++k)
    sync.channels.push_back(symbol->first + k);
  sync.index = std::move(*index);
  return sync;
}

}  // namespace tickcheck::lang
