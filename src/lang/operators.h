#pragma once
// The operators of the modelling language as codes of the expression records
// (model/expression_record.h), and the relations turned around or negated.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tickcheck::lang {

// The code of a binary operator's spelling ("==", "<", "+", "&&", ...), or nullopt.
std::optional<int32_t> BinaryOperatorCode(std::string_view spelling);

// The relation with its operands exchanged: `5 < x` is `x > 5`.
int32_t MirroredRelation(int32_t relation);

// The relation that holds exactly when `relation` does not.
int32_t NegatedRelation(int32_t relation);

}  // namespace tickcheck::lang
