#pragma once
// The values an integer term can take, from the declared ranges of the variables it reads. Used
// to prove that a variable array index stays inside its array and to bound clock comparisons
// whose bound is not a constant.

#include <cstdint>

#include "lang/network.h"

namespace tickcheck::lang {

struct Interval {
  int64_t lower = 0;
  int64_t upper = 0;
};

// An interval that holds every value of `term` in every state whose variables lie in their
// ranges. Arithmetic wraps in 32 bits, so a result that could leave the 32-bit range gives the
// whole 32-bit range. A clock comparison gives [0, 1].
Interval RangeOf(const Term& term, const Network& network);

}  // namespace tickcheck::lang
