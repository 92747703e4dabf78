#pragma once
// The one reading of a comparison `x code bound` (relation codes 1 to 6: ==, <, <=, >, >=, !=)
// as bounds on the values of x: which side it bounds and the first and last value it admits.
// Every consumer that turns a guard or invariant comparison into limits, delays or clock bounds
// asks here instead of switching on the relation code itself.

#include <cstdint>

#include "model/expression_record.h"

namespace tickcheck {

// < and <= bound x from above, > and >= from below; == and != count as both; any other code as
// none.
enum class BoundSide { kNone, kLower, kUpper, kBoth };

constexpr BoundSide SideOf(int32_t code) {
  switch (code) {
    case ExpType::kEqual:
    case ExpType::kNotEqual:
      return BoundSide::kBoth;
    case ExpType::kLess:
    case ExpType::kAtMost:
      return BoundSide::kUpper;
    case ExpType::kGreater:
    case ExpType::kAtLeast:
      return BoundSide::kLower;
    default:
      return BoundSide::kNone;
  }
}

constexpr bool BoundsFromBelow(int32_t code) {
  const BoundSide side = SideOf(code);
  return side == BoundSide::kLower || side == BoundSide::kBoth;
}

constexpr bool BoundsFromAbove(int32_t code) {
  const BoundSide side = SideOf(code);
  return side == BoundSide::kUpper || side == BoundSide::kBoth;
}

// The smallest value of x that a comparison bounding x from below admits: bound + 1 for >, the
// bound itself for >= and ==.
constexpr int64_t LowestAdmitted(int32_t code, int64_t bound) {
  return code == ExpType::kGreater ? bound + 1 : bound;
}

// The largest value of x that a comparison bounding x from above admits: bound - 1 for <, the
// bound itself for <= and ==.
constexpr int64_t HighestAdmitted(int32_t code, int64_t bound) {
  return code == ExpType::kLess ? bound - 1 : bound;
}

}  // namespace tickcheck
