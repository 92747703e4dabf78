#include "lang/ranges.h"

#include <algorithm>
#include <limits>

#include "lang/operators.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
constexpr Interval kAll{kMin, kMax};
constexpr Interval kBoolean{0, 1};

Interval Fit(int64_t lower, int64_t upper) {
  if (lower < kMin || upper > kMax)
    return kAll;
  return {lower, upper};
}

Interval Join(Interval a, Interval b) {
  return {std::min(a.lower, b.lower), std::max(a.upper, b.upper)};
}

int64_t Magnitude(Interval a) {
  return std::max(-a.lower, a.upper);
}

// The least 2^k - 1 at or above `value` (>= 0).
int64_t AllOnes(int64_t value) {
  int64_t ones = 0;
  while (ones < value)
    ones = ones * 2 + 1;
  return ones;
}

Interval Arithmetic(int32_t op, Interval a, Interval b) {
  switch (op) {
    case ExpType::kAdd:
      return Fit(a.lower + b.lower, a.upper + b.upper);
    case ExpType::kSubtract:
      return Fit(a.lower - b.upper, a.upper - b.lower);
    case ExpType::kMultiply: {
      const int64_t corners[] = {a.lower * b.lower, a.lower * b.upper, a.upper * b.lower,
                                 a.upper * b.upper};
      return Fit(*std::min_element(std::begin(corners), std::end(corners)),
                 *std::max_element(std::begin(corners), std::end(corners)));
    }
    case ExpType::kDivide: {
      // |x / y| <= |x|; -2147483648 / -1 stays in range by wrapping.
      const int64_t m = std::min(Magnitude(a), kMax);
      return {-m, m};
    }
    case ExpType::kRemainder: {
      const int64_t m = std::min(Magnitude(a), std::max<int64_t>(Magnitude(b) - 1, 0));
      return {a.lower >= 0 ? 0 : -m, a.upper <= 0 ? 0 : m};
    }
    case ExpType::kBitAnd:
      if (a.lower >= 0 || b.lower >= 0)
        return {0, a.lower >= 0 && b.lower >= 0 ? std::min(a.upper, b.upper)
                                                : (a.lower >= 0 ? a.upper : b.upper)};
      return kAll;
    case ExpType::kBitOr:
    case ExpType::kBitXor:
      if (a.lower >= 0 && b.lower >= 0)
        return {0, AllOnes(std::max(a.upper, b.upper))};
      return kAll;
    case ExpType::kShiftLeft:
      if (a.lower >= 0 && b.lower >= 0 && b.upper <= 31)
        return Fit(a.lower << b.lower, a.upper << b.upper);
      return kAll;
    case ExpType::kShiftRight:
      // An arithmetic shift moves a value towards 0 or -1.
      return {std::min<int64_t>(a.lower, 0), std::max<int64_t>(a.upper, 0)};
    default:
      return kBoolean;
  }
}

Interval CellRange(const CellType& cell) {
  return {cell.lower, cell.upper};
}

}  // namespace

Interval RangeOf(const Term& term, const Network& network) {
  switch (term.kind) {
    case Term::Kind::kConst:
      return {term.value, term.value};
    case Term::Kind::kBound: {
      const Binder& binder = network.binders[static_cast<size_t>(term.value)];
      return {binder.lower, binder.upper};
    }
    case Term::Kind::kRead: {
      const Term& place = term.operands[0];
      if (place.space != Space::kConstant)
        return CellRange(place.cells[0]);
      const auto first = network.constants.begin() + place.value;
      const auto [lowest, highest] = std::minmax_element(first, first + place.size);
      return {*lowest, *highest};
    }
    case Term::Kind::kAssign:
    case Term::Kind::kIncrement:
      return term.operands[0].kind == Term::Kind::kPlace ? CellRange(term.operands[0].cells[0])
                                                         : Interval{0, kMax};
    case Term::Kind::kCall: {
      const Function& function = network.functions[static_cast<size_t>(term.value)];
      return function.result ? Join(CellRange(*function.result), {0, 0}) : Interval{0, 0};
    }
    case Term::Kind::kClock:
      return {0, kMax};
    case Term::Kind::kNot:
    case Term::Kind::kLocation:
    case Term::Kind::kDeadlock:
      return kBoolean;
    case Term::Kind::kNegate: {
      const Interval a = RangeOf(term.operands[0], network);
      return Fit(-a.upper, -a.lower);
    }
    case Term::Kind::kBitNot: {
      const Interval a = RangeOf(term.operands[0], network);
      return {-a.upper - 1, -a.lower - 1};
    }
    case Term::Kind::kCond:
      return Join(RangeOf(term.operands[1], network), RangeOf(term.operands[2], network));
    case Term::Kind::kCheck: {
      const Interval a = RangeOf(term.operands[0], network);
      return {std::max<int64_t>(a.lower, 0), std::min<int64_t>(a.upper, term.size - 1)};
    }
    case Term::Kind::kQuantifier: {
      if (term.value != static_cast<int32_t>(Quantifier::kSum))
        return kBoolean;
      const Binder& binder = network.binders[static_cast<size_t>(term.size)];
      const int64_t count = int64_t{binder.upper} - binder.lower + 1;
      const Interval body = RangeOf(term.operands[0], network);
      return Fit(std::min<int64_t>(body.lower * count, 0),
                 std::max<int64_t>(body.upper * count, 0));
    }
    case Term::Kind::kBinary:
      if (IsTruthOperator(term.value))
        return kBoolean;
      return Arithmetic(term.value, RangeOf(term.operands[0], network),
                        RangeOf(term.operands[1], network));
    case Term::Kind::kPlace:
      break;
  }
  return kAll;
}

}  // namespace tickcheck::lang
