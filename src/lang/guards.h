#pragma once
// The normal form of guards and invariants that the model file can hold: a guard becomes a
// disjunction of conjunctions, each conjunction one jump of the model file. Clock comparisons
// stay single comparisons (the checker's delay windows read them); the integer parts stay whole
// conditions, since an integer condition is tested as one comparison. `x != e` becomes
// `x < e || x > e`; a quantifier over clock comparisons is unrolled.

#include <cstdint>
#include <optional>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/network.h"

namespace tickcheck::lang {

// The most jumps one edge may become.
inline constexpr size_t kMaxGuardDisjuncts = 64;

// `clock relation bound`, the relation one of ==, <, <=, >, >= (codes 1 to 5).
struct ClockAtom {
  int32_t clock = 0;
  int32_t relation = 0;
  Term bound;
  SourcePos pos;  // the comparison's
};

struct GuardDisjunct {
  std::vector<ClockAtom> clocks;
  std::vector<Term> conditions;  // integer conditions, each with the value 0 or 1
};

// The disjuncts of `guard` (a condition as Resolver::Condition makes it), with constant-false
// ones left out: an empty list means the edge can never be taken; a guard without clocks gives
// at most one disjunct. More than kMaxGuardDisjuncts is an error at `pos`.
std::optional<std::vector<GuardDisjunct>> GuardDisjuncts(const Term& guard, SourcePos pos,
                                                         const Network& network,
                                                         Diagnostics& diagnostics);

// The parts of an invariant: clock upper bounds (`x < e`, `x <= e`) and conditions without
// clocks (a false invariant gives the condition 0). Any other shape is an error.
std::optional<GuardDisjunct> InvariantParts(const Term& invariant, SourcePos pos,
                                            const Network& network, Diagnostics& diagnostics);

}  // namespace tickcheck::lang
