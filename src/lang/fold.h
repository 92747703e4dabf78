#pragma once
// Builds terms of the instantiated model, folding operators whose operands are constants, so
// that template parameters and declared constants disappear from guards and assignments.
//
// With `diagnostics` (the constants that the source writes), a constant division by zero, a
// constant shift count outside 0 .. 31 or a constant result outside 32 bits is reported at `pos`
// and gives nullopt. Without it (values bound later, such as a select name's, whose faults are
// errors when the model runs), such an operator is left unfolded and results wrap in 32 bits.

#include <cstdint>
#include <optional>

#include "lang/diagnostics.h"
#include "lang/network.h"

namespace tickcheck::lang {

// `left op right`. `&&` and `||` with a constant left operand decide alone or give the right
// operand's truth value; with a neutral constant right operand they give the left one's.
std::optional<Term> FoldBinary(int32_t op, Term left, Term right, SourcePos pos,
                               Diagnostics* diagnostics);
// `!operand`.
Term FoldNot(Term operand, SourcePos pos);
// `-operand`.
std::optional<Term> FoldNegate(Term operand, SourcePos pos, Diagnostics* diagnostics);
// `~operand`.
Term FoldBitNot(Term operand, SourcePos pos);
// `condition ? then : otherwise`; a constant condition selects its branch.
Term FoldCond(Term condition, Term then, Term otherwise, SourcePos pos);
// The truth value of `term` as 0 or 1: the term itself when it already is one.
Term Truth(Term term);
// True when `term`'s value is always 0 or 1.
bool IsTruthValued(const Term& term);

}  // namespace tickcheck::lang
