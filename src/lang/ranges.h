#pragma once
// The values an integer term can take, from the declared ranges of the cells it reads, the
// binders' ranges and the functions' result types. Used to bound clock comparisons and clock
// settings whose values are not constants, and to leave out the channels that a variable channel
// index never selects.

#include <cstdint>

#include "lang/network.h"

namespace tickcheck::lang {

struct Interval {
  int64_t lower = 0;
  int64_t upper = 0;
};

// An interval that holds every value of `term` in every state whose cells lie in their ranges
// (an evaluation that fails has no value). Arithmetic wraps in 32 bits, so a result that could
// leave the 32-bit range gives the whole 32-bit range. A clock gives 0 .. 2^31 - 1.
Interval RangeOf(const Term& term, const Network& network);

}  // namespace tickcheck::lang
