#include "lang/ranges.h"

#include <algorithm>
#include <limits>

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
      // |x / y| <= |x|, and x / 0 gives 0; -2147483648 / -1 stays in range by wrapping.
      const int64_t m = std::min(Magnitude(a), kMax);
      return {-m, m};
    }
    case ExpType::kRemainder: {
      const int64_t m = std::min(Magnitude(a), std::max<int64_t>(Magnitude(b) - 1, 0));
      return {a.lower >= 0 ? 0 : -m, a.upper <= 0 ? 0 : m};
    }
    default:
      return kBoolean;
  }
}

}  // namespace

Interval RangeOf(const Term& term, const Network& network) {
  switch (term.kind) {
    case Term::Kind::kConst:
      return {term.value, term.value};
    case Term::Kind::kInt: {
      const IntVariable& variable = network.variables[static_cast<size_t>(term.value)];
      return {variable.lower, variable.upper};
    }
    case Term::Kind::kElement: {
      Interval all{kMax, kMin};
      for (int32_t element : term.elements) {
        const IntVariable& variable = network.variables[static_cast<size_t>(element)];
        all = Join(all, {variable.lower, variable.upper});
      }
      return all;
    }
    case Term::Kind::kClock:
      return {0, kMax};
    case Term::Kind::kNot:
      return kBoolean;
    case Term::Kind::kNegate: {
      const Interval a = RangeOf(term.operands[0], network);
      return Fit(-a.upper, -a.lower);
    }
    case Term::Kind::kCond:
      return Join(RangeOf(term.operands[1], network), RangeOf(term.operands[2], network));
    case Term::Kind::kBinary:
      if (IsRelationCode(term.value) || term.value == ExpType::kAnd || term.value == ExpType::kOr)
        return kBoolean;
      return Arithmetic(term.value, RangeOf(term.operands[0], network),
                        RangeOf(term.operands[1], network));
  }
  return kAll;
}

}  // namespace tickcheck::lang
