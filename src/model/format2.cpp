#include "model/format2.h"

#include <vector>

namespace tickcheck {
namespace {

std::string Num(int64_t value) {
  return std::to_string(value);
}

bool IsIntegerVariable(const CSystem& system, int64_t id) {
  return id >= 1 && static_cast<size_t>(id) <= system.variables.size() &&
         system.variables[static_cast<size_t>(id) - 1].Type == VarType::kInteger;
}

// Whether some node of the record has code `type`.
bool Uses(const CExpression& expression, int32_t type) {
  for (const ExpNode& node : expression.Nodes()) {
    if (node.type == type)
      return true;
  }
  return false;
}

bool Writes(const CExpression& expression) {
  return expression.Shape() == ExpressionShape::kProgram &&
         (Uses(expression, ExpType::kAssign) || Uses(expression, ExpType::kAssignElement));
}

bool IsClock(const CSystem& system, int32_t id) {
  return id >= 1 && static_cast<size_t>(id) <= system.variables.size() &&
         system.variables[static_cast<size_t>(id) - 1].Type == VarType::kClock;
}

// A clock that the expression reads, other than the compared variable of a comparison when
// `comparison` is set; 0 when there is none.
int32_t ClockRead(const CSystem& system, const CExpression& expression, bool comparison) {
  const std::vector<ExpNode>& nodes = expression.Nodes();
  const int32_t compared =
      comparison && !nodes.empty() ? nodes[static_cast<size_t>(expression.Root())].left : -1;
  for (const ExpBinding& binding : expression.Bindings()) {
    if (binding.node != compared && IsClock(system, binding.variable))
      return binding.variable;
  }
  return 0;
}

bool AsksDeadlock(const CExpression& expression) {
  return expression.Shape() == ExpressionShape::kProgram && Uses(expression, ExpType::kDeadlock);
}

// Why a node names variables that are not what it needs, or "".
std::string VariableProblem(const CSystem& system, const ExpNode& node) {
  switch (node.type) {
    case ExpType::kArrayRead:
    case ExpType::kAssignElement: {
      const int64_t first = node.variable;
      const int64_t last = first + node.value - 1;
      for (int64_t id = first; id <= last; ++id) {
        if (!IsIntegerVariable(system, id)) {
          return "array element " + Num(id - first) + " (variable " + Num(id) +
                 ") is not an integer variable";
        }
      }
      return {};
    }
    case ExpType::kAssign:
      if (!IsIntegerVariable(system, node.variable))
        return "the assigned variable " + Num(node.variable) + " is not an integer variable";
      return {};
    default:
      return {};
  }
}

}  // namespace

std::optional<Refusal> CheckFormat2Variable(const CVariable& variable, int32_t id) {
  const std::string prefix = "ERROR! Model refused: [Variable] ";
  if (variable.Min > variable.Max) {
    return Refusal{prefix + "Min" + Num(id) + "=" + Num(variable.Min) + ": variable " +
                   variable.Name + " has Min above its Max " + Num(variable.Max)};
  }
  if (variable.InitValue < variable.Min || variable.InitValue > variable.Max) {
    return Refusal{prefix + "InitValue" + Num(id) + "=" + Num(variable.InitValue) + ": variable " +
                   variable.Name + " starts outside its range " + Num(variable.Min) + " .. " +
                   Num(variable.Max)};
  }
  return std::nullopt;
}

void CheckFormat2Records(CSystem& system, MessageSink& messages) {
  std::vector<std::pair<int32_t, std::string>> refused;
  system.expressions.ForEachLoaded([&](int32_t id, const CExpression& expression) {
    if (expression.Shape() != ExpressionShape::kProgram)
      return;
    for (const ExpNode& node : expression.Nodes()) {
      std::string problem = VariableProblem(system, node);
      if (!problem.empty()) {
        refused.emplace_back(id, std::move(problem));
        return;
      }
    }
  });
  for (const auto& [id, reason] : refused)
    system.expressions.Refuse(id, reason, messages);
}

std::optional<Refusal> CheckFormat2Uses(const CSystem& system) {
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const CProcess& process = system.processes[p];
    const std::string owner =
        "process " + Num(static_cast<int64_t>(p) + 1) + " (" + process.ProcessName + ")";
    for (size_t l = 0; l < process.locations.size(); ++l) {
      const CLocation& location = process.locations[l];
      const std::string where =
          owner + " location " + Num(static_cast<int64_t>(l) + 1) + " (" + location.Name + "), ";
      const auto refusal = [&](const std::string& use, int32_t id, const char* what) {
        return Refusal{"ERROR! Model refused: " + where + use + ": expression " + Num(id) + " " +
                       what};
      };
      // A guard or invariant compares (mayWrite false), an assignment writes.
      const auto check = [&](const std::string& use, int32_t id,
                             bool mayWrite) -> std::optional<Refusal> {
        const CExpression& expression = system.expressions[id];
        if (!mayWrite && Writes(expression))
          return refusal(use, id, "writes a variable; guards and invariants have no side effects");
        if (AsksDeadlock(expression))
          return refusal(use, id, "asks for a deadlock, which only properties may");
        if (const int32_t clock = ClockRead(system, expression, !mayWrite)) {
          const std::string text = "reads clock " +
                                   system.variables[static_cast<size_t>(clock) - 1].Name +
                                   (mayWrite ? "; assignments read integers only"
                                             : " other than as the compared variable");
          return refusal(use, id, text.c_str());
        }
        return std::nullopt;
      };
      for (int32_t id : location.invariantExpIds) {
        if (std::optional<Refusal> refused = check("invariant", id, false))
          return refused;
      }
      for (size_t j = 0; j < location.jumps.size(); ++j) {
        const CJump& jump = location.jumps[j];
        const std::string ofJump = " of its jump " + Num(static_cast<int64_t>(j) + 1);
        for (int32_t id : jump.guardExpIds) {
          if (std::optional<Refusal> refused = check("guard" + ofJump, id, false))
            return refused;
        }
        for (size_t n = 0; n < jump.assignments.size(); ++n) {
          const std::string use = "assignment " + Num(static_cast<int64_t>(n) + 1) + ofJump;
          if (std::optional<Refusal> refused = check(use, jump.assignments[n].expId, true))
            return refused;
        }
      }
    }
  }
  return std::nullopt;
}

std::string PropertyExpressionProblem(const CSystem& system, int32_t id) {
  const CExpression& expression = system.expressions[id];
  if (!expression.Loaded())
    return "no loaded expression";
  if (Writes(expression))
    return "the expression writes a variable";
  // A clock changes while time passes; the search decides a property exactly only where it
  // compares the clock with a bound that time does not change.
  const std::vector<ExpNode>& nodes = expression.Nodes();
  std::vector<char> comparedClock(nodes.size(), 0);
  for (const ExpNode& node : nodes) {
    if (IsRelationCode(node.type) && node.left >= 0)
      comparedClock[static_cast<size_t>(node.left)] = 1;
  }
  for (size_t k = 0; k < nodes.size(); ++k) {
    if (!expression.IsBound(static_cast<int32_t>(k)) || comparedClock[k] != 0)
      continue;
    const int32_t variable = nodes[k].variable;
    if (variable >= 1 && static_cast<size_t>(variable) <= system.variables.size() &&
        system.variables[static_cast<size_t>(variable) - 1].Type == VarType::kClock) {
      return "clock " + system.variables[static_cast<size_t>(variable) - 1].Name +
             " is read other than as the left side of a comparison";
    }
  }
  return {};
}

}  // namespace tickcheck
