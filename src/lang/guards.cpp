#include "lang/guards.h"

#include "expr/comparison.h"
#include "lang/fold.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

using Disjuncts = std::vector<GuardDisjunct>;

struct Normaliser {
  SourcePos pos;
  Diagnostics& diagnostics;
  bool tooLarge = false;

  void Limit(const Disjuncts& disjuncts) {
    if (disjuncts.size() > kMaxGuardDisjuncts && !tooLarge) {
      tooLarge = true;
      diagnostics.Error(pos, "the guard's normal form has more than " +
                                 std::to_string(kMaxGuardDisjuncts) +
                                 " disjuncts over clocks: split the edge");
    }
  }

  Disjuncts Product(const Disjuncts& left, const Disjuncts& right) {
    Disjuncts product;
    for (const GuardDisjunct& a : left) {
      for (const GuardDisjunct& b : right) {
        GuardDisjunct joined = a;
        joined.clocks.insert(joined.clocks.end(), b.clocks.begin(), b.clocks.end());
        joined.conditions.insert(joined.conditions.end(), b.conditions.begin(), b.conditions.end());
        product.push_back(std::move(joined));
        if (product.size() > kMaxGuardDisjuncts) {
          Limit(product);
          return product;
        }
      }
    }
    return product;
  }

  // The disjuncts of `term`, or of its negation.
  Disjuncts Of(const Term& term, bool negated) {
    if (tooLarge)
      return {};
    if (!term.HasClock()) {
      Term condition = Truth(negated ? FoldNot(term, term.pos) : term);
      if (condition.IsConst())
        return condition.value != 0 ? Disjuncts{GuardDisjunct{}} : Disjuncts{};
      return {GuardDisjunct{{}, {std::move(condition)}}};
    }
    if (term.kind == Term::Kind::kNot)
      return Of(term.operands[0], !negated);
    if (term.IsClockComparison()) {
      const int32_t relation = negated ? NegatedRelation(term.value) : term.value;
      const int32_t clock = term.operands[0].value;
      const Term& bound = term.operands[1];
      if (relation != ExpType::kNotEqual)
        return {GuardDisjunct{{{clock, relation, bound}}, {}}};
      return {GuardDisjunct{{{clock, ExpType::kLess, bound}}, {}},
              GuardDisjunct{{{clock, ExpType::kGreater, bound}}, {}}};
    }
    // What is left with clocks inside is `&&` or `||` (Resolver::Condition allows no other).
    const bool conjunction = (term.value == ExpType::kAnd) != negated;
    Disjuncts left = Of(term.operands[0], negated);
    Disjuncts right = Of(term.operands[1], negated);
    if (conjunction)
      return Product(left, right);
    left.insert(left.end(), right.begin(), right.end());
    Limit(left);
    return left;
  }
};

}  // namespace

std::optional<std::vector<GuardDisjunct>> GuardDisjuncts(const Term& guard, SourcePos pos,
                                                         Diagnostics& diagnostics) {
  Normaliser normaliser{pos, diagnostics};
  Disjuncts disjuncts = normaliser.Of(guard, false);
  if (normaliser.tooLarge)
    return std::nullopt;
  return disjuncts;
}

}  // namespace tickcheck::lang
