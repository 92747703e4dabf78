#pragma once
// Gives a binder (a select name, a quantifier's name) a value in a term, and folds what becomes
// constant: an edge with `select` becomes one edge per combination of values, and code
// generation unrolls quantifiers. Nothing is reported: an operator whose constant operands it
// cannot fold (a division by zero, a shift count outside 0 .. 31) and an index outside its range
// are left for evaluation, where they are errors.

#include <cstdint>

#include "lang/network.h"

namespace tickcheck::lang {

// `term` with binder `binder` replaced by `value`, folded.
Term Bind(const Term& term, int32_t binder, int32_t value, const Network& network);
// The sync with `binder` replaced by `value`: a channel index that becomes a constant inside
// the array selects its channel.
Sync Bind(const Sync& sync, int32_t binder, int32_t value, const Network& network);

}  // namespace tickcheck::lang
