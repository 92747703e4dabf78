#include "lang/substitute.h"

#include "lang/fold.h"

namespace tickcheck::lang {
namespace {

// Folds the node of `term`, whose operands are folded already.
Term FoldNode(Term term, const Network& network) {
  const SourcePos pos = term.pos;
  switch (term.kind) {
    case Term::Kind::kNot:
      return FoldNot(std::move(term.operands[0]), pos);
    case Term::Kind::kNegate:
      return *FoldNegate(std::move(term.operands[0]), pos, nullptr);
    case Term::Kind::kBitNot:
      return FoldBitNot(std::move(term.operands[0]), pos);
    case Term::Kind::kBinary:
      return *FoldBinary(term.value, std::move(term.operands[0]), std::move(term.operands[1]), pos,
                         nullptr);
    case Term::Kind::kCond:
      return FoldCond(std::move(term.operands[0]), std::move(term.operands[1]),
                      std::move(term.operands[2]), pos);
    case Term::Kind::kCheck:
      if (term.operands[0].IsConst() && term.operands[0].value >= 0 &&
          term.operands[0].value < term.size) {
        return std::move(term.operands[0]);
      }
      return term;
    case Term::Kind::kPlace:
    case Term::Kind::kClock: {
      // A constant offset inside the extent names its cells (or clock) directly.
      const int32_t width =
          term.kind == Term::Kind::kPlace ? static_cast<int32_t>(term.cells.size()) : 1;
      if (term.operands.empty() || !term.operands[0].IsConst() ||
          (term.kind == Term::Kind::kPlace && term.space == Space::kReference)) {
        return term;
      }
      const int32_t offset = term.operands[0].value;
      if (offset < 0 || offset > term.size - width)
        return term;
      term.value += offset;
      term.size = term.kind == Term::Kind::kPlace ? width : 0;
      term.operands.clear();
      return term;
    }
    case Term::Kind::kRead: {
      const Term& place = term.operands[0];
      if (place.space == Space::kConstant && place.operands.empty() && place.cells.size() == 1)
        return Term::Const(network.constants[static_cast<size_t>(place.value)], pos);
      return term;
    }
    default:
      return term;
  }
}

}  // namespace

Term Bind(const Term& term, int32_t binder, int32_t value, const Network& network) {
  if (term.kind == Term::Kind::kBound && term.value == binder)
    return Term::Const(value, term.pos);
  Term bound = term;
  for (Term& operand : bound.operands)
    operand = Bind(operand, binder, value, network);
  return FoldNode(std::move(bound), network);
}

Sync Bind(const Sync& sync, int32_t binder, int32_t value, const Network& network) {
  Sync bound = sync;
  if (!sync.index)
    return bound;
  bound.index = Bind(*sync.index, binder, value, network);
  const int32_t index = bound.index->value;
  if (bound.index->IsConst() && index >= 0 && index < static_cast<int32_t>(sync.channels.size())) {
    bound.channels = {sync.channels[static_cast<size_t>(index)]};
    bound.index.reset();
  }
  return bound;
}

}  // namespace tickcheck::lang
