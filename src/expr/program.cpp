#include "expr/program.h"

#include <vector>

#include "expr/evaluation.h"

namespace tickcheck {
namespace {

// How the evaluation of a node ended: with a value, by leaving a loop or a function body, or by a
// run-time error.
enum class Flow { kNormal, kBreak, kContinue, kReturn, kError };

class Interpreter {
 public:
  // Reads go to `state` (without a state, bound nodes read their value fields); writes to
  // `target`, which is `state` itself when it is set.
  Interpreter(const CExpression& expression, const CSystem& model, const DsState* state,
              DsState* target, const DeadlockHook* deadlock,
              std::vector<ClockComparison>* met = nullptr)
      : nodes_(expression.Nodes()),
        expression_(expression),
        layout_(expression.Layout()),
        model_(model),
        state_(state),
        target_(target),
        deadlock_(deadlock),
        met_(met),
        frame_(static_cast<size_t>(layout_.frameSize), 0),
        loops_(static_cast<size_t>(layout_.loopCount), 0) {}

  Evaluated Run(int32_t node) {
    int32_t value = 0;
    if (node >= 0 && Eval(node, value) == Flow::kError)
      return {0, error_};
    return {value, std::nullopt};
  }

 private:
  Flow Fail(const RunTimeError& error) {
    error_ = error;
    return Flow::kError;
  }

  int32_t Read(int32_t variable) const { return VariableValue(model_, *state_, variable); }

  // Checks `value` against the range of integer variable `variable` and stores it.
  Flow Store(int32_t variable, int32_t value) {
    const CVariable& record = model_.variables[static_cast<size_t>(variable) - 1];
    if (value < record.Min || value > record.Max) {
      return Fail(
          {RunTimeError::Kind::kValueOutOfRange, value, record.Min, record.Max, variable, 0});
    }
    if (target_ != nullptr)
      target_->intValues[static_cast<size_t>(record.intValueIndex)] = value;
    return Flow::kNormal;
  }

  Flow CheckIndex(int32_t index, int32_t count, int32_t firstVariable) {
    if (index >= 0 && index < count)
      return Flow::kNormal;
    return Fail({RunTimeError::Kind::kIndexOutOfRange, index, 0, count - 1, firstVariable, 0});
  }

  // Counts one more iteration of loop node `node`.
  Flow Iterate(int32_t node) {
    int64_t& count = loops_[static_cast<size_t>(layout_.loopCounter[static_cast<size_t>(node)])];
    if (++count <= kLoopBound)
      return Flow::kNormal;
    RunTimeError error{RunTimeError::Kind::kLoopBound};
    error.loop = nodes_[static_cast<size_t>(node)].value;
    return Fail(error);
  }

  // Lists the comparison `node` when it compares a clock, with its bound `bound`.
  void Observe(const ExpNode& node, int32_t bound) {
    if (!expression_.IsBound(node.left))
      return;
    const int32_t variable = nodes_[static_cast<size_t>(node.left)].variable;
    if (variable >= 1 && static_cast<size_t>(variable) <= model_.variables.size() &&
        model_.variables[static_cast<size_t>(variable) - 1].Type == VarType::kClock) {
      met_->push_back({variable, node.type, bound});
    }
  }

  Flow Eval(int32_t index, int32_t& value);
  Flow Loop(int32_t index);

  const std::vector<ExpNode>& nodes_;
  const CExpression& expression_;
  const ProgramLayout& layout_;
  const CSystem& model_;
  const DsState* state_;
  DsState* target_;
  const DeadlockHook* deadlock_;
  std::vector<ClockComparison>* met_;
  std::vector<int32_t> frame_;
  std::vector<int64_t> loops_;
  RunTimeError error_;
  int32_t returned_ = 0;
};

// Each case leaves as soon as a child's flow is not normal, which carries errors, break, continue
// and return up to the node that handles them.
#define TICKCHECK_EVAL(child, out)                                   \
  if (const Flow flow = Eval((child), (out)); flow != Flow::kNormal) \
  return flow

Flow Interpreter::Eval(int32_t index, int32_t& value) {
  // A conditional continues with its branch in this same call: chains of conditionals (an array
  // read written as one) may be far longer than the nesting that the load check bounds.
  for (;;) {
    const ExpNode& node = nodes_[static_cast<size_t>(index)];
    int32_t left = 0;
    int32_t right = 0;
    switch (node.type) {
      case ExpType::kConditional: {
        TICKCHECK_EVAL(node.left, left);
        const ExpNode& link = nodes_[static_cast<size_t>(node.right)];
        index = left != 0 ? link.left : link.right;
        continue;
      }
      case ExpType::kAnd:
      case ExpType::kOr: {
        TICKCHECK_EVAL(node.left, left);
        const bool decided = (node.type == ExpType::kAnd) == (left == 0);
        if (decided) {
          value = left != 0 ? 1 : 0;
          return Flow::kNormal;
        }
        TICKCHECK_EVAL(node.right, right);
        value = right != 0 ? 1 : 0;
        return Flow::kNormal;
      }
      case ExpType::kLogicalNot:
      case ExpType::kNegation:
      case ExpType::kBitNot:
        TICKCHECK_EVAL(node.left, left);
        value = ApplyUnary(node.type, left);
        return Flow::kNormal;
      case ExpType::kArrayRead:
        TICKCHECK_EVAL(node.left, left);
        if (CheckIndex(left, node.value, node.variable) == Flow::kError)
          return Flow::kError;
        value = state_ != nullptr ? Read(node.variable + left) : 0;
        return Flow::kNormal;
      case ExpType::kIndexCheck:
        TICKCHECK_EVAL(node.left, left);
        if (CheckIndex(left, node.value, 0) == Flow::kError)
          return Flow::kError;
        value = left;
        return Flow::kNormal;
      case ExpType::kRangeCheck:
        TICKCHECK_EVAL(node.left, left);
        if (left < node.value || left > node.variable) {
          return Fail(
              {RunTimeError::Kind::kValueOutOfRange, left, node.value, node.variable, 0, 0});
        }
        value = left;
        return Flow::kNormal;
      case ExpType::kSequence:
        value = 0;
        if (node.left >= 0)
          TICKCHECK_EVAL(node.left, value);
        if (node.right >= 0)
          TICKCHECK_EVAL(node.right, value);
        return Flow::kNormal;
      case ExpType::kAssign:
        TICKCHECK_EVAL(node.right, value);
        return Store(node.variable, value);
      case ExpType::kAssignElement:
        TICKCHECK_EVAL(node.left, left);
        if (CheckIndex(left, node.value, node.variable) == Flow::kError)
          return Flow::kError;
        TICKCHECK_EVAL(node.right, value);
        return Store(node.variable + left, value);
      case ExpType::kLocal:
        value = frame_[static_cast<size_t>(node.value)];
        return Flow::kNormal;
      case ExpType::kAssignLocal:
        TICKCHECK_EVAL(node.right, value);
        frame_[static_cast<size_t>(node.value)] = value;
        return Flow::kNormal;
      case ExpType::kLocalElement:
        TICKCHECK_EVAL(node.left, left);
        if (CheckIndex(left, node.variable, kLocalArray) == Flow::kError)
          return Flow::kError;
        value = frame_[static_cast<size_t>(node.value) + static_cast<size_t>(left)];
        return Flow::kNormal;
      case ExpType::kAssignLocalElement:
        TICKCHECK_EVAL(node.left, left);
        if (CheckIndex(left, node.variable, kLocalArray) == Flow::kError)
          return Flow::kError;
        TICKCHECK_EVAL(node.right, value);
        frame_[static_cast<size_t>(node.value) + static_cast<size_t>(left)] = value;
        return Flow::kNormal;
      case ExpType::kWhile:
      case ExpType::kDoWhile:
      case ExpType::kFor:
        value = 0;
        return Loop(index);
      case ExpType::kBreak:
        return Flow::kBreak;
      case ExpType::kContinue:
        return Flow::kContinue;
      case ExpType::kReturn:
        returned_ = 0;
        if (node.left >= 0)
          TICKCHECK_EVAL(node.left, returned_);
        return Flow::kReturn;
      case ExpType::kFunction: {
        const Flow flow = Eval(node.left, value);
        if (flow == Flow::kError)
          return flow;
        value = flow == Flow::kReturn ? returned_ : 0;
        return Flow::kNormal;
      }
      case ExpType::kDeadlock:
        if (deadlock_ == nullptr)
          return Fail({RunTimeError::Kind::kNoDeadlockHook});
        value = state_ != nullptr && deadlock_->IsDeadlock(*state_) ? 1 : 0;
        return Flow::kNormal;
      case ExpType::kAtLocation: {
        const int64_t process = node.value;
        value = state_ != nullptr && process >= 1 &&
                        static_cast<size_t>(process) <= state_->locations.size() &&
                        state_->locations[static_cast<size_t>(process) - 1] == node.variable
                    ? 1
                    : 0;
        return Flow::kNormal;
      }
      default: {
        const bool binary = IsOperatorCode(node.type) ||
                            (node.type >= ExpType::kBitAnd && node.type <= ExpType::kShiftRight);
        if (!binary) {
          value =
              state_ != nullptr && expression_.IsBound(index) ? Read(node.variable) : node.value;
          return Flow::kNormal;
        }
        TICKCHECK_EVAL(node.left, left);
        TICKCHECK_EVAL(node.right, right);
        if (met_ != nullptr && IsRelationCode(node.type))
          Observe(node, right);
        const std::optional<int32_t> result = ApplyCheckedOperator(node.type, left, right);
        if (result) {
          value = *result;
          return Flow::kNormal;
        }
        if (node.type == ExpType::kDivide || node.type == ExpType::kRemainder)
          return Fail({RunTimeError::Kind::kDivisionByZero, left});
        return Fail({RunTimeError::Kind::kShiftOutOfRange, right});
      }
    }
  }
}

Flow Interpreter::Loop(int32_t index) {
  const ExpNode& node = nodes_[static_cast<size_t>(index)];
  // The parts of the loop: its condition, its body and, for a for loop, its step.
  int32_t condition = node.left;
  int32_t body = node.right;
  int32_t step = -1;
  if (node.type == ExpType::kDoWhile) {
    condition = node.right;
    body = node.left;
  } else if (node.type == ExpType::kFor) {
    const ExpNode& pair = nodes_[static_cast<size_t>(node.right)];
    body = pair.left;
    step = pair.right;
  }
  bool first = true;
  int32_t scratch = 0;
  for (;;) {
    if (node.type != ExpType::kDoWhile || !first) {
      TICKCHECK_EVAL(condition, scratch);
      if (scratch == 0)
        return Flow::kNormal;
    }
    first = false;
    if (Iterate(index) == Flow::kError)
      return Flow::kError;
    Flow flow = Eval(body, scratch);
    if (flow == Flow::kBreak)
      return Flow::kNormal;
    if (flow != Flow::kNormal && flow != Flow::kContinue)
      return flow;
    if (step >= 0) {
      flow = Eval(step, scratch);
      if (flow == Flow::kBreak)
        return Flow::kNormal;
      if (flow != Flow::kNormal && flow != Flow::kContinue)
        return flow;
    }
  }
}

#undef TICKCHECK_EVAL

}  // namespace

Evaluated EvaluateChecked(const CExpression& expression, const CSystem& model, const DsState& state,
                          const DeadlockHook* deadlock) {
  if (expression.Shape() != ExpressionShape::kProgram)
    return {Evaluate(expression, Valuation(model, state)), std::nullopt};
  return Interpreter(expression, model, &state, nullptr, deadlock).Run(expression.Root());
}

Evaluated EvaluateObserved(const CExpression& expression, const CSystem& model,
                           const DsState& state, const DeadlockHook* deadlock,
                           std::vector<ClockComparison>& met) {
  switch (expression.Shape()) {
    case ExpressionShape::kProgram:
    case ExpressionShape::kTree:
      return Interpreter(expression, model, &state, nullptr, deadlock, &met).Run(expression.Root());
    case ExpressionShape::kBinary:
    case ExpressionShape::kVarConst: {
      // A root applied to two leaves: a comparison of a clock when its left leaf is one.
      const ExpNode& root = expression.Nodes()[static_cast<size_t>(expression.Root())];
      const int32_t clock = expression.Nodes()[static_cast<size_t>(root.left)].variable;
      if (IsRelationCode(root.type) && expression.IsBound(root.left) && clock >= 1 &&
          static_cast<size_t>(clock) <= model.variables.size() &&
          model.variables[static_cast<size_t>(clock) - 1].Type == VarType::kClock) {
        met.push_back({clock, root.type, RightValue(expression, Valuation(model, state))});
      }
      return {Evaluate(expression, Valuation(model, state)), std::nullopt};
    }
    default:
      // The other shapes read no clock comparison (the loader refuses properties that read a
      // clock other than as the left side of one).
      return {Evaluate(expression, Valuation(model, state)), std::nullopt};
  }
}

Evaluated EvaluateObservedAt(const CExpression& expression, int32_t node, const CSystem& model,
                             const DsState& state, const DeadlockHook* deadlock,
                             std::vector<ClockComparison>& met) {
  if (node == expression.Root())
    return EvaluateObserved(expression, model, state, deadlock, met);
  return Interpreter(expression, model, &state, nullptr, deadlock, &met).Run(node);
}

Evaluated RightValueChecked(const CExpression& expression, const CSystem& model,
                            const DsState& state) {
  if (expression.Shape() != ExpressionShape::kProgram)
    return {RightValue(expression, Valuation(model, state)), std::nullopt};
  const int32_t right = expression.Nodes()[static_cast<size_t>(expression.Root())].right;
  return Interpreter(expression, model, &state, nullptr, nullptr).Run(right);
}

Evaluated Execute(const CExpression& expression, const CSystem& model, DsState& target) {
  if (expression.Shape() != ExpressionShape::kProgram)
    return {Evaluate(expression, Valuation(model, target)), std::nullopt};
  return Interpreter(expression, model, &target, &target, nullptr).Run(expression.Root());
}

int32_t ProgramValue(const CExpression& expression, int32_t node, const Valuation& valuation) {
  return Interpreter(expression, valuation.Model(), valuation.State(), nullptr, nullptr)
      .Run(node)
      .value;
}

std::string Describe(const RunTimeError& error, const CSystem& model) {
  const auto name = [&model](int32_t variable) {
    return variable >= 1 && static_cast<size_t>(variable) <= model.variables.size()
               ? model.variables[static_cast<size_t>(variable) - 1].Name
               : std::to_string(variable);
  };
  const auto range = [&error] {
    return std::to_string(error.lower) + " .. " + std::to_string(error.upper);
  };
  switch (error.kind) {
    case RunTimeError::Kind::kDivisionByZero:
      return "division by 0";
    case RunTimeError::Kind::kIndexOutOfRange:
      return "index " + std::to_string(error.value) + " outside " + range() +
             (error.variable > 0              ? " of array " + name(error.variable)
              : error.variable == kLocalArray ? " of a local array"
                                              : "");
    case RunTimeError::Kind::kShiftOutOfRange:
      return "shift count " + std::to_string(error.value) + " outside 0 .. 31";
    case RunTimeError::Kind::kValueOutOfRange:
      return "value " + std::to_string(error.value) + " outside its range " + range() +
             (error.variable > 0 ? " of variable " + name(error.variable) : "");
    case RunTimeError::Kind::kLoopBound: {
      const bool known = error.loop >= 1 && static_cast<size_t>(error.loop) <= model.loops.size();
      const std::string where =
          known ? model.loops[static_cast<size_t>(error.loop) - 1].function + " (line " +
                      std::to_string(model.loops[static_cast<size_t>(error.loop) - 1].line) + ")"
                : std::to_string(error.loop);
      return "the loop in " + where + " ran more than " + std::to_string(kLoopBound) +
             " iterations";
    }
    case RunTimeError::Kind::kNoDeadlockHook:
      return "deadlock cannot be asked here";
  }
  return {};
}

}  // namespace tickcheck
