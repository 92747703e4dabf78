#include "model/expression_record.h"

#include <limits>

namespace tickcheck {
namespace {

// Wrapping arithmetic goes through unsigned values: signed overflow would be undefined.
int32_t Wrap(uint32_t value) {
  return static_cast<int32_t>(value);
}

void AppendInt(std::string& bytes, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<char>((bits >> shift) & 0xffu));
}

}  // namespace

bool IsOperatorCode(int32_t type) {
  switch (type) {
    case ExpType::kEqual:
    case ExpType::kLess:
    case ExpType::kAtMost:
    case ExpType::kGreater:
    case ExpType::kAtLeast:
    case ExpType::kNotEqual:
    case ExpType::kConditional:
    case ExpType::kRemainder:
    case ExpType::kAnd:
    case ExpType::kMultiply:
    case ExpType::kAdd:
    case ExpType::kSubtract:
    case ExpType::kDivide:
    case ExpType::kOr:
      return true;
    default:
      return false;
  }
}

bool IsFormat2Code(int32_t type) {
  return (type >= ExpType::kLogicalNot && type <= ExpType::kShiftRight) ||
         (type >= ExpType::kArrayRead && type <= ExpType::kRangeCheck) ||
         (type >= ExpType::kSequence && type <= ExpType::kAssignLocalElement) ||
         (type >= ExpType::kWhile && type <= ExpType::kFunction) || type == ExpType::kDeadlock ||
         type == ExpType::kAtLocation;
}

bool ApplyRelation(int32_t relation, int32_t value, int32_t bound) {
  switch (relation) {
    case ExpType::kEqual:
      return value == bound;
    case ExpType::kLess:
      return value < bound;
    case ExpType::kAtMost:
      return value <= bound;
    case ExpType::kGreater:
      return value > bound;
    case ExpType::kAtLeast:
      return value >= bound;
    case ExpType::kNotEqual:
      return value != bound;
    default:
      return false;
  }
}

int32_t ApplyOperator(int32_t type, int32_t left, int32_t right) {
  const uint32_t l = static_cast<uint32_t>(left);
  const uint32_t r = static_cast<uint32_t>(right);
  switch (type) {
    case ExpType::kAdd:
      return Wrap(l + r);
    case ExpType::kSubtract:
      return Wrap(l - r);
    case ExpType::kMultiply:
      return Wrap(l * r);
    case ExpType::kDivide:
      if (right == 0)
        return 0;
      if (left == std::numeric_limits<int32_t>::min() && right == -1)
        return left;
      return left / right;
    case ExpType::kRemainder:
      if (right == 0 || right == -1)
        return 0;
      return left % right;
    case ExpType::kAnd:
      return (left != 0 && right != 0) ? 1 : 0;
    case ExpType::kOr:
      return (left != 0 || right != 0) ? 1 : 0;
    default:
      return ApplyRelation(type, left, right) ? 1 : 0;
  }
}

std::optional<int32_t> ApplyCheckedOperator(int32_t type, int32_t left, int32_t right) {
  const uint32_t l = static_cast<uint32_t>(left);
  switch (type) {
    case ExpType::kDivide:
    case ExpType::kRemainder:
      if (right == 0)
        return std::nullopt;
      return ApplyOperator(type, left, right);
    case ExpType::kBitAnd:
      return Wrap(l & static_cast<uint32_t>(right));
    case ExpType::kBitOr:
      return Wrap(l | static_cast<uint32_t>(right));
    case ExpType::kBitXor:
      return Wrap(l ^ static_cast<uint32_t>(right));
    case ExpType::kShiftLeft:
      if (right < 0 || right > 31)
        return std::nullopt;
      return Wrap(l << right);
    case ExpType::kShiftRight:
      if (right < 0 || right > 31)
        return std::nullopt;
      return left >> right;
    default:
      return ApplyOperator(type, left, right);
  }
}

int32_t ApplyUnary(int32_t code, int32_t operand) {
  switch (code) {
    case ExpType::kLogicalNot:
      return operand == 0 ? 1 : 0;
    case ExpType::kNegation:
      return Wrap(0u - static_cast<uint32_t>(operand));
    case ExpType::kBitNot:
      return Wrap(~static_cast<uint32_t>(operand));
    default:
      return operand;
  }
}

std::string EncodeExpressionRecord(const ExpressionRecord& record) {
  std::string bytes;
  AppendInt(bytes, record.bindingCount);
  AppendInt(bytes, record.nodeCount);
  AppendInt(bytes, record.root);
  for (const ExpBinding& binding : record.bindings) {
    AppendInt(bytes, binding.node);
    AppendInt(bytes, binding.variable);
  }
  for (const ExpNode& node : record.nodes) {
    AppendInt(bytes, node.value);
    AppendInt(bytes, node.variable);
    AppendInt(bytes, node.type);
    AppendInt(bytes, node.left);
    AppendInt(bytes, node.right);
  }
  return bytes;
}

}  // namespace tickcheck
