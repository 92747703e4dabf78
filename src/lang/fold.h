#pragma once
// Builds terms of the instantiated model, folding operators whose operands are constants, so
// that template parameters and declared constants disappear from guards and assignments.

#include <cstdint>
#include <optional>

#include "lang/diagnostics.h"
#include "lang/network.h"

namespace tickcheck::lang {

// `left op right` for an operator code of Term::Kind::kBinary. Constant operands are folded; a
// constant division by zero or a constant result outside 32 bits is reported at `pos` and gives
// nullopt. `&&` and `||` with one constant operand simplify to a constant or to the other
// operand's truth value.
std::optional<Term> FoldBinary(int32_t op, Term left, Term right, SourcePos pos,
                               Diagnostics& diagnostics);
// `!operand` (a constant is folded).
Term FoldNot(Term operand, SourcePos pos);
// `-operand`; nullopt after an error when the constant negation leaves 32 bits.
std::optional<Term> FoldNegate(Term operand, SourcePos pos, Diagnostics& diagnostics);
// `condition ? then : otherwise`; a constant condition selects its branch.
Term FoldCond(Term condition, Term then, Term otherwise, SourcePos pos);
// The truth value of `term` as 0 or 1: the term itself when it already is one.
Term Truth(Term term);

}  // namespace tickcheck::lang
