#pragma once
// The operators of the modelling language as codes of the network's terms (network.h: those of
// the model file's expression records), and their arithmetic on constants. Relations turned
// around or negated: expr/comparison.h.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tickcheck::lang {

// The code of a binary operator's spelling ("==", "<", "+", "&&", "<<", ...), or nullopt.
std::optional<int32_t> BinaryOperatorCode(std::string_view spelling);

// True for the operators whose value is 0 or 1: relations, `&&`, `||`.
bool IsTruthOperator(int32_t op);

// `left op right` in 32-bit arithmetic that wraps (-2147483648 / -1 gives -2147483648, its
// remainder 0); relations, `&&` and `||` give 0 or 1. nullopt for a division or remainder by 0
// and a shift count outside 0 .. 31: errors when a model evaluates them.
std::optional<int32_t> ApplyBinary(int32_t op, int32_t left, int32_t right);

}  // namespace tickcheck::lang
