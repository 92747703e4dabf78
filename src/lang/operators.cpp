#include "lang/operators.h"

#include <array>
#include <utility>

#include "model/expression_record.h"

namespace tickcheck::lang {

std::optional<int32_t> BinaryOperatorCode(std::string_view spelling) {
  static constexpr std::array<std::pair<std::string_view, int32_t>, 13> kCodes = {{
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
  }};
  for (const auto& [text, code] : kCodes) {
    if (text == spelling)
      return code;
  }
  return std::nullopt;
}

}  // namespace tickcheck::lang
