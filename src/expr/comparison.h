#pragma once
// The one reading of a comparison `x code bound` (relation codes 1 to 6: ==, <, <=, >, >=, !=)
// as bounds on the values of x: which side it bounds and the first and last value it admits;
// and the relation negated or with its operands exchanged.
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

// The relation that holds exactly when `code` does not; any other code stays as it is.
constexpr int32_t NegatedRelation(int32_t code) {
  switch (code) {
    case ExpType::kEqual:
      return ExpType::kNotEqual;
    case ExpType::kLess:
      return ExpType::kAtLeast;
    case ExpType::kAtMost:
      return ExpType::kGreater;
    case ExpType::kGreater:
      return ExpType::kAtMost;
    case ExpType::kAtLeast:
      return ExpType::kLess;
    case ExpType::kNotEqual:
      return ExpType::kEqual;
    default:
      return code;
  }
}

// The relation with its operands exchanged: `5 < x` is `x > 5`; == and != stay.
constexpr int32_t MirroredRelation(int32_t code) {
  switch (code) {
    case ExpType::kLess:
      return ExpType::kGreater;
    case ExpType::kAtMost:
      return ExpType::kAtLeast;
    case ExpType::kGreater:
      return ExpType::kLess;
    case ExpType::kAtLeast:
      return ExpType::kAtMost;
    default:
      return code;
  }
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
