#pragma once
// The binary record of one expression, as the model compiler stores it behind the key
// `exp-<i>=` of section "Expressions": B (binding count), N (node count) and the root index as
// 32-bit little-endian integers, then B bindings of 8 bytes and N nodes of 20 bytes, node 0
// first. This header holds the record's vocabulary, shared by the expression table, which reads
// records, and the model-file writer, which writes them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tickcheck {

// One node of an expression tree; 20 bytes in the file and in memory.
struct ExpNode {
  int32_t value = 0;     // a constant, or the bound variable's value after a refresh
  int32_t variable = 0;  // variable id bound to this node
  int32_t type = 10;     // operator or leaf code (ExpType)
  int32_t left = -1;     // index of the left child, -1 for none
  int32_t right = -1;    // index of the right child, -1 for none
  bool operator==(const ExpNode&) const = default;
};

// Says that node `node` takes the current value of variable `variable` before evaluation.
struct ExpBinding {
  int32_t node = 0;
  int32_t variable = 0;
  bool operator==(const ExpBinding&) const = default;
};

static_assert(sizeof(ExpNode) == 20 && sizeof(ExpBinding) == 8);

// Node type codes. 1 to 6 are also the relation codes of the whole system (constraints,
// property atoms, guard and invariant tests). Any code not listed is a leaf.
namespace ExpType {
inline constexpr int32_t kEqual = 1;
inline constexpr int32_t kLess = 2;
inline constexpr int32_t kAtMost = 3;
inline constexpr int32_t kGreater = 4;
inline constexpr int32_t kAtLeast = 5;
inline constexpr int32_t kNotEqual = 6;
inline constexpr int32_t kConditional = 7;
inline constexpr int32_t kLeaf = 10;
inline constexpr int32_t kNot = 33;
inline constexpr int32_t kRemainder = 37;
inline constexpr int32_t kAnd = 38;
inline constexpr int32_t kMultiply = 42;
inline constexpr int32_t kAdd = 43;
inline constexpr int32_t kSubtract = 45;
inline constexpr int32_t kDivide = 47;
inline constexpr int32_t kOr = 124;
// Format 2 only (model files with [General] Format=2); in other files these codes are leaves.
inline constexpr int32_t kLogicalNot = 200;
inline constexpr int32_t kNegation = 201;
inline constexpr int32_t kBitNot = 202;
inline constexpr int32_t kBitAnd = 203;
inline constexpr int32_t kBitOr = 204;
inline constexpr int32_t kBitXor = 205;
inline constexpr int32_t kShiftLeft = 206;
inline constexpr int32_t kShiftRight = 207;
inline constexpr int32_t kArrayRead = 210;
inline constexpr int32_t kIndexCheck = 211;
inline constexpr int32_t kRangeCheck = 212;
inline constexpr int32_t kSequence = 220;
inline constexpr int32_t kAssign = 221;
inline constexpr int32_t kAssignElement = 222;
inline constexpr int32_t kLocal = 223;
inline constexpr int32_t kAssignLocal = 224;
inline constexpr int32_t kLocalElement = 225;
inline constexpr int32_t kAssignLocalElement = 226;
inline constexpr int32_t kWhile = 230;
inline constexpr int32_t kDoWhile = 231;
inline constexpr int32_t kFor = 232;
inline constexpr int32_t kForBody = 233;
inline constexpr int32_t kBreak = 234;
inline constexpr int32_t kContinue = 235;
inline constexpr int32_t kReturn = 236;
inline constexpr int32_t kFunction = 237;
inline constexpr int32_t kDeadlock = 240;
inline constexpr int32_t kAtLocation = 241;
}  // namespace ExpType

// True for the node codes that only format 2 gives a meaning (200 and up, as listed above).
bool IsFormat2Code(int32_t type);

// True for the relation codes 1 to 6.
inline bool IsRelationCode(int32_t code) {
  return code >= ExpType::kEqual && code <= ExpType::kNotEqual;
}

// True for the codes that the tree evaluator applies as operators (1 to 7, %, &, *, +, -, /, |).
bool IsOperatorCode(int32_t type);

// Applies a comparison, arithmetic or logical operator code to two values, in signed 32-bit
// arithmetic that wraps. Division and remainder by 0 give 0; -2147483648 / -1 gives
// -2147483648 and its remainder 0. `&` and `|` give 1 or 0. Codes that are not operators
// (and the conditional, 7) give 0.
int32_t ApplyOperator(int32_t type, int32_t left, int32_t right);

// Format 2: applies a binary operator code (1 to 6, %, *, +, -, /, 203 to 207; && and || on
// both values) as ApplyOperator does, but answers nothing where format 2 has a run-time error:
// division or remainder by 0, and a shift count outside 0 .. 31. `>>` shifts arithmetically,
// `<<` wraps. Other codes give 0.
std::optional<int32_t> ApplyCheckedOperator(int32_t type, int32_t left, int32_t right);
// Format 2: applies a unary code (200 logical not, 201 negation that wraps, 202 bitwise not).
// Other codes give the operand.
int32_t ApplyUnary(int32_t code, int32_t operand);

// Applies relation code 1 to 6 to `value` and `bound` (signed). Other codes give false.
bool ApplyRelation(int32_t relation, int32_t value, int32_t bound);

// A record as stored in the file. The header fields are kept as written, so a record may
// disagree with its own arrays (the expression table refuses such records).
struct ExpressionRecord {
  int32_t bindingCount = 0;
  int32_t nodeCount = 0;
  int32_t root = 0;
  std::vector<ExpBinding> bindings;
  std::vector<ExpNode> nodes;
  bool operator==(const ExpressionRecord&) const = default;
};

// The record's bytes: the three header fields, then the bindings and nodes that the arrays hold.
std::string EncodeExpressionRecord(const ExpressionRecord& record);

}  // namespace tickcheck
