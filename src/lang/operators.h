#pragma once
// The operators of the modelling language as codes of the expression records
// (model/expression_record.h). Relations turned around or negated: expr/comparison.h.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tickcheck::lang {

// The code of a binary operator's spelling ("==", "<", "+", "&&", ...), or nullopt.
std::optional<int32_t> BinaryOperatorCode(std::string_view spelling);

}  // namespace tickcheck::lang
