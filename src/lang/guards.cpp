#include "lang/guards.h"

#include "expr/comparison.h"
#include "lang/fold.h"
#include "lang/substitute.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

using Disjuncts = std::vector<GuardDisjunct>;

struct Normaliser {
  SourcePos pos;
  const Network& network;
  Diagnostics& diagnostics;
  bool failed = false;

  void Limit(const Disjuncts& disjuncts) {
    if (disjuncts.size() > kMaxGuardDisjuncts && !failed) {
      failed = true;
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

  Disjuncts Combine(Disjuncts left, const Disjuncts& right, bool conjunction) {
    if (conjunction)
      return Product(left, right);
    left.insert(left.end(), right.begin(), right.end());
    Limit(left);
    return left;
  }

  // The disjuncts of `term`, or of its negation.
  Disjuncts Of(const Term& term, bool negated) {
    if (failed)
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
      const Term& clock = term.operands[0];
      if (clock.size > 0) {
        failed = true;
        diagnostics.Error(clock.pos, "the index of the clock lies outside its array");
        return {};
      }
      const int32_t relation = negated ? NegatedRelation(term.value) : term.value;
      const Term& bound = term.operands[1];
      if (relation != ExpType::kNotEqual)
        return {GuardDisjunct{{{clock.value, relation, bound, term.pos}}, {}}};
      return {GuardDisjunct{{{clock.value, ExpType::kLess, bound, term.pos}}, {}},
              GuardDisjunct{{{clock.value, ExpType::kGreater, bound, term.pos}}, {}}};
    }
    if (term.kind == Term::Kind::kQuantifier) {
      // forall is a conjunction over the binder's values, exists a disjunction.
      const bool conjunction = (term.value == static_cast<int32_t>(Quantifier::kForall)) != negated;
      const Binder& binder = network.binders[static_cast<size_t>(term.size)];
      Disjuncts result = conjunction ? Disjuncts{GuardDisjunct{}} : Disjuncts{};
      for (int32_t v = binder.lower; v <= binder.upper && !failed; ++v) {
        result = Combine(std::move(result),
                         Of(Bind(term.operands[0], term.size, v, network), negated), conjunction);
      }
      return result;
    }
    // What is left with clocks inside is `&&` or `||` (Resolver::Condition allows no other).
    const bool conjunction = (term.value == ExpType::kAnd) != negated;
    return Combine(Of(term.operands[0], negated), Of(term.operands[1], negated), conjunction);
  }
};

}  // namespace

std::optional<std::vector<GuardDisjunct>> GuardDisjuncts(const Term& guard, SourcePos pos,
                                                         const Network& network,
                                                         Diagnostics& diagnostics) {
  Normaliser normaliser{pos, network, diagnostics};
  Disjuncts disjuncts = normaliser.Of(guard, false);
  if (normaliser.failed)
    return std::nullopt;
  return disjuncts;
}

std::optional<GuardDisjunct> InvariantParts(const Term& invariant, SourcePos pos,
                                            const Network& network, Diagnostics& diagnostics) {
  const std::optional<std::vector<GuardDisjunct>> disjuncts =
      GuardDisjuncts(invariant, pos, network, diagnostics);
  if (!disjuncts)
    return std::nullopt;
  if (disjuncts->empty())
    return GuardDisjunct{{}, {Term::Const(0, pos)}};
  const char* const refused =
      "an invariant must be a conjunction of clock upper bounds (x < e, x <= e) and conditions "
      "without clocks";
  if (disjuncts->size() > 1) {
    diagnostics.Error(pos, refused);
    return std::nullopt;
  }
  for (const ClockAtom& atom : (*disjuncts)[0].clocks) {
    if (atom.relation != ExpType::kLess && atom.relation != ExpType::kAtMost) {
      diagnostics.Error(atom.pos, refused);
      return std::nullopt;
    }
  }
  return (*disjuncts)[0];
}

}  // namespace tickcheck::lang
