#include "support/semantics_explorer.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <unordered_set>

#include "driver/model_check.h"
#include "expr/evaluation.h"
#include "support/model_files.h"

namespace tickcheck::testing {
namespace {

bool Relation(int32_t code, int32_t value, int32_t bound) {
  switch (code) {
    case 1:
      return value == bound;
    case 2:
      return value < bound;
    case 3:
      return value <= bound;
    case 4:
      return value > bound;
    case 5:
      return value >= bound;
    case 6:
      return value != bound;
    default:
      return false;
  }
}

// Two states are the same when their locations, integer values and clock values agree, whatever
// the order of their active clocks.
std::string Key(const DsState& state) {
  std::vector<int32_t> words{static_cast<int32_t>(state.locationIndex),
                             static_cast<int32_t>(state.locationIndex >> 32)};
  words.insert(words.end(), state.intValues.begin(), state.intValues.end());
  std::vector<std::pair<int32_t, int32_t>> clocks;
  for (size_t k = 0; k < state.activeClocks.size(); ++k)
    clocks.emplace_back(state.activeClocks[k], state.clockValues[k]);
  std::sort(clocks.begin(), clocks.end());
  for (const auto& [clock, value] : clocks) {
    words.push_back(clock);
    words.push_back(value);
  }
  return std::string(reinterpret_cast<const char*>(words.data()), words.size() * sizeof(int32_t));
}

}  // namespace

SemanticsExplorer::SemanticsExplorer(const CSystem& system, CComposition& composition)
    : system_(system), composition_(composition) {}

const CLocation& SemanticsExplorer::LocationOf(const DsState& state, size_t process) const {
  return system_.processes[process].locations[static_cast<size_t>(state.locations[process]) - 1];
}

DsState SemanticsExplorer::Initial() const {
  DsState state;
  state.locationIndex = composition_.initLocationIndex;
  state.locations = composition_.LocationVector(state.locationIndex);
  for (const CVariable& variable : system_.variables) {
    if (variable.Type == VarType::kInteger)
      state.intValues.push_back(variable.InitValue);
  }
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    for (int32_t clock : LocationOf(state, p).activeClocks) {
      if (std::find(state.activeClocks.begin(), state.activeClocks.end(), clock) !=
          state.activeClocks.end()) {
        continue;
      }
      state.activeClocks.push_back(clock);
      state.clockValues.push_back(system_.variables[static_cast<size_t>(clock) - 1].InitValue);
    }
  }
  return state;
}

bool SemanticsExplorer::Satisfied(int32_t expression, const DsState& state) const {
  return Evaluate(system_.expressions[expression], Valuation(system_, state)) != 0;
}

bool SemanticsExplorer::InvariantsHold(const DsState& state) const {
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    for (int32_t id : LocationOf(state, p).invariantExpIds) {
      if (!Satisfied(id, state))
        return false;
    }
  }
  return true;
}

std::vector<Step> SemanticsExplorer::Successors(const DsState& state) {
  std::vector<Step> steps;
  DsState ticked = state;
  for (size_t k = 0; k < ticked.activeClocks.size(); ++k) {
    const int32_t max = system_.variables[static_cast<size_t>(ticked.activeClocks[k]) - 1].Max;
    ticked.clockValues[k] = std::min(ticked.clockValues[k] + 1, max);
  }
  if (InvariantsHold(ticked))
    steps.push_back({std::nullopt, std::move(ticked)});

  if (!composition_.IsComposed(state.locationIndex)) {
    const std::vector<int32_t> vector(state.locations.begin(), state.locations.end());
    composition_.composeLocation(vector);
  }
  for (const CComposedTransition& transition : composition_.Transitions(state.locationIndex)) {
    const bool enabled = std::all_of(transition.guardExpId.begin(), transition.guardExpId.end(),
                                     [&](int32_t id) { return Satisfied(id, state); });
    if (!enabled)
      continue;
    DsState next;
    next.locationIndex = transition.post;
    next.locations = transition.postLocations;
    next.intValues = state.intValues;
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      for (int32_t clock : LocationOf(next, p).activeClocks) {
        if (std::find(next.activeClocks.begin(), next.activeClocks.end(), clock) !=
            next.activeClocks.end()) {
          continue;
        }
        const auto kept = std::find(state.activeClocks.begin(), state.activeClocks.end(), clock);
        next.activeClocks.push_back(clock);
        next.clockValues.push_back(
            kept == state.activeClocks.end()
                ? 0
                : state.clockValues[static_cast<size_t>(kept - state.activeClocks.begin())]);
      }
    }
    for (const CUpdate& update : transition.updates) {
      const int32_t value =
          Evaluate(system_.expressions[update.updateExpId], Valuation(system_, next));
      const CVariable& variable = system_.variables[static_cast<size_t>(update.updateVar) - 1];
      if (variable.Type == VarType::kInteger) {
        next.intValues[static_cast<size_t>(variable.intValueIndex)] = value;
        continue;
      }
      const auto clock =
          std::find(next.activeClocks.begin(), next.activeClocks.end(), update.updateVar);
      if (clock != next.activeClocks.end())
        next.clockValues[static_cast<size_t>(clock - next.activeClocks.begin())] = value;
    }
    if (!InvariantsHold(next))
      continue;
    if (!InRange(next)) {
      rangeError_ = true;
      continue;
    }
    steps.push_back({transition, std::move(next)});
  }
  return steps;
}

bool SemanticsExplorer::Holds(const CProperty& property, const DsState& state) const {
  return std::all_of(property.atoms.begin(), property.atoms.end(), [&](const CAtomProperty& atom) {
    bool result = false;
    switch (atom.kind) {
      case CAtomProperty::kIntegerVariable: {
        const bool known =
            atom.variable >= 1 && static_cast<size_t>(atom.variable) <= system_.variables.size();
        const int32_t index =
            known ? system_.variables[static_cast<size_t>(atom.variable) - 1].intValueIndex : -1;
        result = index >= 0 &&
                 Relation(atom.relation, state.intValues[static_cast<size_t>(index)], atom.bound);
        break;
      }
      case CAtomProperty::kClock: {
        const auto clock =
            std::find(state.activeClocks.begin(), state.activeClocks.end(), atom.variable);
        if (clock == state.activeClocks.end())
          return atom.negated != 1;
        result = Relation(
            atom.relation,
            state.clockValues[static_cast<size_t>(clock - state.activeClocks.begin())], atom.bound);
        break;
      }
      default:
        if (atom.process < 1 || static_cast<size_t>(atom.process) > state.locations.size())
          return false;
        result = state.locations[static_cast<size_t>(atom.process) - 1] == atom.location;
        break;
    }
    return atom.negated == 1 ? !result : result;
  });
}

bool SemanticsExplorer::InRange(const DsState& state) const {
  for (const CVariable& variable : system_.variables) {
    if (variable.Type != VarType::kInteger || variable.Min < 0 || variable.Min > variable.Max)
      continue;
    const int32_t value = state.intValues[static_cast<size_t>(variable.intValueIndex)];
    if (value < variable.Min || value > variable.Max)
      return false;
  }
  return true;
}

SemanticsExplorer::Verdicts SemanticsExplorer::Decide(int64_t stateLimit, Extent extent) {
  const std::vector<CProperty>& properties = system_.properties;
  Verdicts verdicts;
  for (const CProperty& property : properties)
    verdicts.results.push_back(property.Type == 0 ? 0 : 1);
  auto open = [&] {
    for (size_t i = 0; i < properties.size(); ++i) {
      const int32_t type = properties[i].Type;
      if ((type == 0 && verdicts.results[i] == 0) || (type == 1 && verdicts.results[i] == 1))
        return true;
    }
    return false;
  };
  std::unordered_set<std::string> seen;
  std::deque<DsState> frontier;
  auto visit = [&](DsState state) {
    if (!seen.insert(Key(state)).second)
      return;
    ++verdicts.states;
    for (size_t i = 0; i < properties.size(); ++i) {
      const int32_t type = properties[i].Type;
      if (type == 0 && Holds(properties[i], state))
        verdicts.results[i] = 1;
      if (type == 1 && !Holds(properties[i], state))
        verdicts.results[i] = 0;
    }
    frontier.push_back(std::move(state));
  };
  visit(Initial());
  while (!frontier.empty() && (extent == Extent::kWhole || open())) {
    if (verdicts.states > stateLimit) {
      verdicts.complete = false;
      break;
    }
    const DsState state = std::move(frontier.front());
    frontier.pop_front();
    for (Step& step : Successors(state))
      visit(std::move(step.next));
  }
  verdicts.rangeError = rangeError_;
  return verdicts;
}

ModelVerdicts ExploreModelFile(const std::string& path, size_t stateLimit) {
  ModelVerdicts verdicts;
  CaptureConsole([&] {
    ModelCheck check;
    if (check.Load(path) || check.Compose())
      return;
    SemanticsExplorer explorer(check.Model(), check.Composition());
    const SemanticsExplorer::Verdicts decided =
        explorer.Decide(static_cast<int64_t>(stateLimit), SemanticsExplorer::Extent::kWhole);
    verdicts.properties.assign(decided.results.begin(), decided.results.end());
    verdicts.rangeError = decided.rangeError;
    verdicts.states = static_cast<size_t>(decided.states);
    verdicts.complete = decided.complete;
  });
  return verdicts;
}

}  // namespace tickcheck::testing
