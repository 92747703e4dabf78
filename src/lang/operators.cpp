#include "lang/operators.h"

#include <array>
#include <limits>
#include <utility>

#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

constexpr std::array<std::pair<std::string_view, int32_t>, 18> kCodes = {{
    {"==", ExpType::kEqual},
    {"<", ExpType::kLess},
    {"<=", ExpType::kAtMost},
    {">", ExpType::kGreater},
    {">=", ExpType::kAtLeast},
    {"!=", ExpType::kNotEqual},
    {"%", ExpType::kRemainder},
    {"&&", ExpType::kAnd},
    {"*", ExpType::kMultiply},
    {"+", ExpType::kAdd},
    {"-", ExpType::kSubtract},
    {"/", ExpType::kDivide},
    {"||", ExpType::kOr},
    {"&", ExpType::kBitAnd},
    {"|", ExpType::kBitOr},
    {"^", ExpType::kBitXor},
    {"<<", ExpType::kShiftLeft},
    {">>", ExpType::kShiftRight},
}};

}  // namespace

std::optional<int32_t> BinaryOperatorCode(std::string_view spelling) {
  for (const auto& [text, code] : kCodes) {
    if (text == spelling)
      return code;
  }
  return std::nullopt;
}

bool IsTruthOperator(int32_t op) {
  return IsRelationCode(op) || op == ExpType::kAnd || op == ExpType::kOr;
}

std::optional<int32_t> ApplyBinary(int32_t op, int32_t left, int32_t right) {
  // Wrapping arithmetic goes through unsigned values: signed overflow would be undefined.
  const uint32_t l = static_cast<uint32_t>(left);
  const uint32_t r = static_cast<uint32_t>(right);
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  switch (op) {
    case ExpType::kEqual:
      return left == right;
    case ExpType::kLess:
      return left < right;
    case ExpType::kAtMost:
      return left <= right;
    case ExpType::kGreater:
      return left > right;
    case ExpType::kAtLeast:
      return left >= right;
    case ExpType::kNotEqual:
      return left != right;
    case ExpType::kAnd:
      return left != 0 && right != 0;
    case ExpType::kOr:
      return left != 0 || right != 0;
    case ExpType::kAdd:
      return static_cast<int32_t>(l + r);
    case ExpType::kSubtract:
      return static_cast<int32_t>(l - r);
    case ExpType::kMultiply:
      return static_cast<int32_t>(l * r);
    case ExpType::kDivide:
      if (right == 0)
        return std::nullopt;
      return left == kMin && right == -1 ? kMin : left / right;
    case ExpType::kRemainder:
      if (right == 0)
        return std::nullopt;
      return right == -1 ? 0 : left % right;
    case ExpType::kBitAnd:
      return left & right;
    case ExpType::kBitOr:
      return left | right;
    case ExpType::kBitXor:
      return left ^ right;
    case ExpType::kShiftLeft:
      if (right < 0 || right > 31)
        return std::nullopt;
      return static_cast<int32_t>(l << right);
    case ExpType::kShiftRight:
      if (right < 0 || right > 31)
        return std::nullopt;
      return left >> right;
    default:
      return std::nullopt;
  }
}

}  // namespace tickcheck::lang
