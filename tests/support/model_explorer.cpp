#include "support/model_explorer.h"

#include <algorithm>
#include <deque>
#include <set>

#include "compose/composition.h"
#include "expr/evaluation.h"
#include "expr/property_evaluation.h"
#include "model/ds_state.h"
#include "model/system.h"
#include "support/model_files.h"

namespace tickcheck::testing {
namespace {

class Explorer {
 public:
  explicit Explorer(CSystem& system, CComposition& composition)
      : system_(system), composition_(composition) {}

  ModelVerdicts Run(size_t stateLimit) {
    ModelVerdicts verdicts;
    for (const CProperty& property : system_.properties)
      verdicts.properties.push_back(property.Type != 0);
    DsState initial;
    initial.locationIndex = composition_.initLocationIndex;
    initial.locations = composition_.LocationVector(initial.locationIndex);
    for (const CVariable& variable : system_.variables) {
      if (variable.Type == VarType::kInteger)
        initial.intValues.push_back(variable.InitValue);
    }
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      for (int32_t clock : Location(initial, p).activeClocks) {
        initial.activeClocks.push_back(clock);
        initial.clockValues.push_back(Variable(clock).InitValue);
      }
    }
    std::set<std::vector<int32_t>> seen{Key(initial)};
    std::deque<DsState> pending{initial};
    while (!pending.empty()) {
      const DsState state = std::move(pending.front());
      pending.pop_front();
      for (size_t i = 0; i < system_.properties.size(); ++i) {
        const bool holds = tickcheck::Holds(system_.properties[i], system_, state);
        verdicts.properties[i] = system_.properties[i].Type == 0 ? verdicts.properties[i] || holds
                                                                 : verdicts.properties[i] && holds;
      }
      for (DsState& next : Successors(state, verdicts.rangeError)) {
        if (seen.insert(Key(next)).second)
          pending.push_back(std::move(next));
      }
      if (seen.size() > stateLimit) {
        verdicts.complete = false;
        break;
      }
    }
    verdicts.states = seen.size();
    return verdicts;
  }

 private:
  static std::vector<int32_t> Key(const DsState& state) {
    std::vector<int32_t> key{state.locationIndex};
    key.insert(key.end(), state.intValues.begin(), state.intValues.end());
    key.insert(key.end(), state.activeClocks.begin(), state.activeClocks.end());
    key.insert(key.end(), state.clockValues.begin(), state.clockValues.end());
    return key;
  }

  const CVariable& Variable(int32_t id) const {
    return system_.variables[static_cast<size_t>(id) - 1];
  }
  const CLocation& Location(const DsState& state, size_t p) const {
    return system_.processes[p].locations[static_cast<size_t>(state.locations[p]) - 1];
  }

  bool Satisfied(const DsState& state, int32_t id) {
    const CExpression& comparison = system_.expressions[id];
    return ApplyRelation(comparison.RootType(),
                         VariableValue(system_, state, comparison.LeftVariable()),
                         RightValue(comparison, Valuation(system_, state)));
  }

  bool InvariantsHold(const DsState& state) {
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      for (int32_t id : Location(state, p).invariantExpIds) {
        if (!Satisfied(state, id))
          return false;
      }
    }
    return true;
  }

  void Fire(const DsState& source, const CComposedTransition& transition, bool& rangeError,
            std::vector<DsState>& out) {
    for (int32_t id : transition.guardExpId) {
      if (!Satisfied(source, id))
        return;
    }
    DsState target;
    target.locationIndex = transition.post;
    target.locations = composition_.LocationVector(transition.post);
    target.intValues = source.intValues;
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      for (int32_t clock : Location(target, p).activeClocks) {
        if (std::find(target.activeClocks.begin(), target.activeClocks.end(), clock) !=
            target.activeClocks.end()) {
          continue;
        }
        const auto kept = std::find(source.activeClocks.begin(), source.activeClocks.end(), clock);
        target.activeClocks.push_back(clock);
        target.clockValues.push_back(
            kept == source.activeClocks.end()
                ? 0
                : source.clockValues[static_cast<size_t>(kept - source.activeClocks.begin())]);
      }
    }
    for (const CUpdate& update : transition.updates) {
      const int32_t value =
          Evaluate(system_.expressions[update.updateExpId], Valuation(system_, target));
      if (Variable(update.updateVar).Type == VarType::kInteger) {
        target.intValues[static_cast<size_t>(Variable(update.updateVar).intValueIndex)] = value;
        continue;
      }
      const auto at =
          std::find(target.activeClocks.begin(), target.activeClocks.end(), update.updateVar);
      if (at != target.activeClocks.end())
        target.clockValues[static_cast<size_t>(at - target.activeClocks.begin())] = value;
    }
    if (!InvariantsHold(target))
      return;
    for (const CVariable& variable : system_.variables) {
      if (variable.Type != VarType::kInteger || variable.Min < 0 || variable.Min > variable.Max)
        continue;
      const int32_t value = target.intValues[static_cast<size_t>(variable.intValueIndex)];
      if (value < variable.Min || value > variable.Max) {
        rangeError = true;
        return;
      }
    }
    out.push_back(std::move(target));
  }

  std::vector<DsState> Successors(const DsState& state, bool& rangeError) {
    std::vector<DsState> out;
    DsState later = state;
    for (size_t k = 0; k < later.activeClocks.size(); ++k) {
      later.clockValues[k] =
          std::min(later.clockValues[k] + 1, Variable(later.activeClocks[k]).Max);
    }
    if (InvariantsHold(later))
      out.push_back(std::move(later));
    const auto index = static_cast<size_t>(state.locationIndex);
    if (composition_.composedFlags[index] == 0) {
      const std::vector<int32_t> vector(state.locations.begin(), state.locations.end());
      composition_.composeLocation(vector);
      composition_.composedFlags[index] = 1;
    }
    for (const CComposedTransition& transition : composition_.transitionLists[index])
      Fire(state, transition, rangeError, out);
    return out;
  }

  CSystem& system_;
  CComposition& composition_;
};

}  // namespace

ModelVerdicts ExploreModelFile(const std::string& path, size_t stateLimit) {
  ModelVerdicts verdicts;
  CaptureConsole([&] {
    CSystem system;
    if (system.Load(path))
      return;
    system.LoadProperties(path);
    system.computeLocationProduct();
    if (CComposition::CanCompose(system))
      return;
    {
      CComposition composition(system, system.locationProduct,
                               static_cast<int32_t>(system.processes.size()));
      verdicts = Explorer(system, composition).Run(stateLimit);
    }
  });
  return verdicts;
}

}  // namespace tickcheck::testing
