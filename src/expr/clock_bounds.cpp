#include "expr/clock_bounds.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <tuple>

#include "expr/comparison.h"
#include "expr/comparison_table.h"
#include "expr/evaluation.h"
#include "expr/value_bounds.h"

namespace tickcheck {
namespace {

// A comparison of a clock with a constant, and the process that makes it (-1: a property).
struct Comparison {
  int32_t clock;
  BoundSide direction;
  int32_t constant;
  int32_t process;
};

// Raises `bounds` to cover a comparison; answers whether it changed.
bool Raise(LUBound& bounds, BoundSide direction, int32_t constant) {
  const LUBound before = bounds;
  if (direction == BoundSide::kLower || direction == BoundSide::kBoth)
    bounds.L = std::max(bounds.L, constant);
  if (direction == BoundSide::kUpper || direction == BoundSide::kBoth)
    bounds.U = std::max(bounds.U, constant);
  return bounds != before;
}

LUBound* Find(std::vector<LUBound>& bounds, int32_t clock) {
  const auto found = std::find_if(bounds.begin(), bounds.end(),
                                  [clock](const LUBound& entry) { return entry.clockId == clock; });
  return found == bounds.end() ? nullptr : &*found;
}

// Format 2: the largest value that the right side `node` of a comparison of `clock` in
// `expression` can take (ValuesOf), at most the clock's Max; the clock's Max where it cannot be
// told.
int32_t LargestBound(const CSystem& system, const CExpression& expression, int32_t node,
                     int32_t clock) {
  const int32_t max = system.variables[static_cast<size_t>(clock) - 1].Max;
  const std::optional<ValueInterval> values = ValuesOf(expression, node, system);
  return values ? static_cast<int32_t>(std::min<int64_t>(values->hi, max)) : max;
}

bool IsClock(const CSystem& system, int32_t id) {
  return id >= 1 && static_cast<size_t>(id) <= system.variables.size() &&
         system.variables[static_cast<size_t>(id) - 1].Type == VarType::kClock;
}

}  // namespace

ClockBoundAnalysis::ClockBoundAnalysis(const CSystem& system) : system_(system) {
  auto compared = [&system](int32_t id, int32_t process) -> std::optional<Comparison> {
    if (!system.expressions.Contains(id))
      return std::nullopt;
    const CExpression& expression = system.expressions[id];
    const int32_t clock = expression.LeftVariable();
    if (clock < 1 || static_cast<size_t>(clock) > system.variables.size() ||
        system.variables[static_cast<size_t>(clock) - 1].Type != VarType::kClock) {
      return std::nullopt;
    }
    const BoundSide direction = SideOf(expression.RootType());
    if (direction == BoundSide::kNone)
      return std::nullopt;
    // A format-2 bound that reads the state may compare the clock with any value it can take.
    if (system.format == 2 && BoundReadsState(expression)) {
      const int32_t right = expression.Nodes()[static_cast<size_t>(expression.Root())].right;
      return Comparison{clock, direction, LargestBound(system, expression, right, clock), process};
    }
    return Comparison{clock, direction, RightValue(expression, Valuation::WithoutState(system)),
                      process};
  };

  // Per process and location: the comparisons of the location's invariant and outgoing guards.
  // Besides: every comparison anywhere, and those of the properties.
  std::vector<std::vector<std::vector<Comparison>>> local(system.processes.size());
  std::vector<Comparison> everywhere;
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const auto process = static_cast<int32_t>(p);
    const std::vector<CLocation>& locations = system.processes[p].locations;
    local[p].resize(locations.size());
    for (size_t l = 0; l < locations.size(); ++l) {
      auto add = [&](int32_t id) {
        if (const std::optional<Comparison> comparison = compared(id, process)) {
          local[p][l].push_back(*comparison);
          everywhere.push_back(*comparison);
        }
      };
      for (int32_t id : locations[l].invariantExpIds)
        add(id);
      for (const CJump& jump : locations[l].jumps) {
        for (int32_t id : jump.guardExpIds)
          add(id);
      }
    }
  }
  for (const CProperty& property : system.properties) {
    if (property.Type != 0 && property.Type != 1)
      continue;
    // A comparison of a clock inside an expression may settle the property either way.
    if (property.expression >= 0) {
      const CExpression& expression = system.expressions[property.expression];
      const std::vector<ExpNode>& nodes = expression.Nodes();
      for (const ExpNode& node : nodes) {
        if (!IsRelationCode(node.type) || node.left < 0 || !expression.IsBound(node.left))
          continue;
        const int32_t clock = nodes[static_cast<size_t>(node.left)].variable;
        if (IsClock(system, clock)) {
          everywhere.push_back(
              {clock, BoundSide::kBoth, LargestBound(system, expression, node.right, clock), -1});
        }
      }
      continue;
    }
    for (const CAtomProperty& atom : property.atoms) {
      if (atom.kind != CAtomProperty::kClock)
        continue;
      // A Type 1 property is settled by a state that falsifies one of its atoms.
      const bool flipped = (atom.negated == 1) != (property.Type == 1);
      const int32_t code = flipped ? NegatedRelation(atom.relation) : atom.relation;
      everywhere.push_back({atom.variable, SideOf(code), atom.bound, -1});
    }
  }

  needed_.resize(system.processes.size());
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const std::vector<CLocation>& locations = system.processes[p].locations;
    // One entry per clock that the location lists, each once.
    std::vector<std::vector<LUBound>> bounds(locations.size());
    for (size_t l = 0; l < locations.size(); ++l) {
      for (int32_t clock : locations[l].activeClocks) {
        if (Find(bounds[l], clock) == nullptr)
          bounds[l].push_back({clock, -1, -1});
      }
      for (LUBound& entry : bounds[l]) {
        for (const Comparison& c : local[p][l]) {
          if (c.clock == entry.clockId)
            Raise(entry, c.direction, c.constant);
        }
        for (const Comparison& c : everywhere) {
          if (c.clock == entry.clockId && c.process != static_cast<int32_t>(p))
            Raise(entry, c.direction, c.constant);
        }
      }
    }
    // A location needs what the targets of its jumps need for the clocks that a jump keeps active
    // and does not assign. Needs only grow, so each location is revisited only when a target's
    // need grew.
    std::vector<std::vector<std::pair<size_t, const CJump*>>> into(locations.size());
    for (size_t l = 0; l < locations.size(); ++l) {
      for (const CJump& jump : locations[l].jumps) {
        if (jump.To >= 1 && static_cast<size_t>(jump.To) <= locations.size())
          into[static_cast<size_t>(jump.To) - 1].emplace_back(l, &jump);
      }
    }
    std::deque<size_t> pending;
    std::vector<char> queued(locations.size(), 1);
    for (size_t l = 0; l < locations.size(); ++l)
      pending.push_back(l);
    while (!pending.empty()) {
      const size_t target = pending.front();
      pending.pop_front();
      queued[target] = 0;
      for (const auto& [source, jump] : into[target]) {
        bool grew = false;
        for (LUBound& entry : bounds[source]) {
          const LUBound* kept = Find(bounds[target], entry.clockId);
          if (kept == nullptr || std::find(jump->resetClockIds.begin(), jump->resetClockIds.end(),
                                           entry.clockId) != jump->resetClockIds.end()) {
            continue;
          }
          grew = Raise(entry, BoundSide::kLower, kept->L) | grew;
          grew = Raise(entry, BoundSide::kUpper, kept->U) | grew;
        }
        if (grew && !queued[source]) {
          queued[source] = 1;
          pending.push_back(source);
        }
      }
    }
    needed_[p].resize(locations.size());
    for (size_t l = 0; l < locations.size(); ++l) {
      for (int32_t clock : locations[l].activeClocks)
        needed_[p][l].push_back(*Find(bounds[l], clock));
    }
  }
}

std::vector<std::string> ClockBoundAnalysis::Shortfalls() const {
  std::vector<std::string> lines;
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    const CProcess& process = system_.processes[p];
    for (size_t l = 0; l < process.locations.size(); ++l) {
      const CLocation& location = process.locations[l];
      std::string items;
      std::vector<int32_t> seen;
      for (size_t k = 0; k < location.activeClocks.size(); ++k) {
        const int32_t clock = location.activeClocks[k];
        if (std::find(seen.begin(), seen.end(), clock) != seen.end())
          continue;
        seen.push_back(clock);
        const LUBound& file = location.luBounds[k];
        const LUBound& needed = needed_[p][l][k];
        const std::string& name = system_.variables[static_cast<size_t>(clock) - 1].Name;
        for (const auto& [key, have, need] :
             {std::tuple{"L", file.L, needed.L}, std::tuple{"U", file.U, needed.U}}) {
          if (have >= need)
            continue;
          items += (items.empty() ? "" : ", ") + name + " " + key + "=" + std::to_string(have) +
                   " needs " + std::to_string(need);
        }
      }
      if (items.empty())
        continue;
      const std::string processName =
          process.ProcessName.empty() ? "" : " (" + process.ProcessName + ")";
      lines.push_back("Warning! process " + std::to_string(p + 1) + processName + " location " +
                      std::to_string(l + 1) + " (" + location.Name +
                      "): clock bounds below the largest constants compared before a reset: " +
                      items + "; verdicts may be wrong");
    }
  }
  return lines;
}

}  // namespace tickcheck
