#include "expr/comparison_table.h"

#include <algorithm>

#include "expr/evaluation.h"
#include "expr/program.h"

namespace tickcheck {
namespace {

const CVariable* RecordOf(const CSystem& model, int32_t id) {
  if (id < 1 || static_cast<size_t>(id) > model.variables.size())
    return nullptr;
  return &model.variables[static_cast<size_t>(id) - 1];
}

// Whether a node of the subtree at `node` is bound or a location atom: then its value is read
// from a state.
bool SubtreeBound(const CExpression& expression, int32_t node) {
  const std::vector<ExpNode>& nodes = expression.Nodes();
  std::vector<int32_t> pending{node};
  while (!pending.empty()) {
    const int32_t at = pending.back();
    pending.pop_back();
    if (at < 0)
      continue;
    if (expression.IsBound(at) || nodes[static_cast<size_t>(at)].type == ExpType::kAtLocation)
      return true;
    pending.push_back(nodes[static_cast<size_t>(at)].left);
    pending.push_back(nodes[static_cast<size_t>(at)].right);
  }
  return false;
}

// The ids are dense in the files that model compilers write; a file whose few ids lie far apart
// gets no table beyond this many entries per used id, and its facts are read on demand.
constexpr size_t kEntriesPerUsedId = 8;
constexpr size_t kSmallTable = 4096;

}  // namespace

bool BoundReadsState(const CExpression& expression) {
  switch (expression.Shape()) {
    case ExpressionShape::kBinary:
    case ExpressionShape::kVarConst:
    case ExpressionShape::kTree:
    case ExpressionShape::kProgram:
      return SubtreeBound(expression,
                          expression.Nodes()[static_cast<size_t>(expression.Root())].right);
    default:
      return false;
  }
}

ComparisonFacts ComparisonTable::Read(const CSystem& model, int32_t id) {
  const CExpression& expression = model.expressions[id];
  ComparisonFacts facts;
  facts.variable = expression.LeftVariable();
  facts.code = expression.RootType();
  facts.record = RecordOf(model, facts.variable);
  facts.fixedBound = !BoundReadsState(expression);
  // Without a state the bound nodes read their value fields; a bound that has none reads the same
  // whatever the state. A fixed bound that fails fails in every state, so it stays to be
  // evaluated (and reported) there.
  facts.mayFail = expression.Shape() == ExpressionShape::kProgram;
  if (facts.fixedBound && facts.mayFail) {
    facts.fixedBound = RightValueChecked(expression, model, DsState{}).Ok();
    facts.mayFail = !facts.fixedBound;
  }
  if (facts.fixedBound)
    facts.bound = RightValue(expression, Valuation::WithoutState(model));
  const std::vector<ExpNode>& nodes = expression.Nodes();
  const int32_t compared = nodes.empty() ? -1 : nodes[static_cast<size_t>(expression.Root())].left;
  for (const ExpBinding& binding : expression.Bindings()) {
    const CVariable* variable = RecordOf(model, binding.variable);
    if (variable == nullptr || variable->Type == VarType::kInteger)
      continue;
    facts.readsClock = true;
    if (binding.node != compared)
      facts.readsClockBesideCompared = true;
  }
  return facts;
}

ComparisonTable::ComparisonTable(const CSystem& model) : model_(model) {
  size_t used = 0;
  int32_t largest = -1;
  const auto use = [&](int32_t id) {
    ++used;
    largest = std::max(largest, id);
  };
  for (const CProcess& process : model.processes) {
    for (const CLocation& location : process.locations) {
      std::for_each(location.invariantExpIds.begin(), location.invariantExpIds.end(), use);
      for (const CJump& jump : location.jumps)
        std::for_each(jump.guardExpIds.begin(), jump.guardExpIds.end(), use);
    }
  }
  const size_t size =
      std::min(static_cast<size_t>(largest + 1), kSmallTable + kEntriesPerUsedId * used);
  facts_.reserve(size);
  for (size_t id = 0; id < size; ++id)
    facts_.push_back(Read(model, static_cast<int32_t>(id)));
}

int32_t ComparisonTable::Bound(const ComparisonFacts& facts, int32_t id,
                               const DsState& state) const {
  return facts.fixedBound ? facts.bound
                          : RightValue(model_.expressions[id], Valuation(model_, state));
}

}  // namespace tickcheck
