#include "support/trace_replay.h"

#include <algorithm>
#include <map>
#include <vector>

#include "driver/model_check.h"
#include "expr/evaluation.h"
#include "expr/program.h"
#include "model/ds_state.h"
#include "support/model_files.h"

namespace tickcheck::testing {
namespace {

using nlohmann::json;

// A state as the replay keeps it: clocks by variable id, so that their order does not matter.
struct ReplayState {
  std::vector<int32_t> locations;
  std::vector<int32_t> integers;
  std::map<int32_t, int32_t> clocks;
  bool operator==(const ReplayState&) const = default;
};

class Replay {
 public:
  Replay(const CSystem& system, CComposition& composition)
      : system_(system), composition_(composition) {}

  std::string Run(const CProperty& property, const json& trace, bool noZeno) {
    ReplayState state = Initial();
    if (Read(trace["initial"]) != state)
      return "the initial state is not the model's";
    // Every state of the run, the states between ticks included, in order.
    std::vector<ReplayState> run{state};
    std::string fault = ReplaySteps(trace["steps"], "step ", state, run);
    if (!fault.empty())
      return fault;
    if (property.liveness == Liveness::kNone) {
      const bool holds = Holds(property, state);
      if (holds != (property.Type == 0))
        return property.Type == 0 ? "the last state does not satisfy the property"
                                  : "the last state does not violate the property";
      return "";
    }
    if (!trace.contains("cycle"))
      return "a liveness property's trace without a cycle";
    const size_t cycleStart = run.size() - 1;
    const json& cycle = trace["cycle"];
    fault = ReplaySteps(cycle, "cycle ", state, run);
    if (!fault.empty())
      return fault;
    if (cycle.empty() && CanStep(state))
      return "the run ends in a state that has a step";
    if (!cycle.empty() && state != run[cycleStart])
      return "the cycle does not come back to the state where it starts";
    if (noZeno && !cycle.empty() && std::none_of(cycle.begin(), cycle.end(), [](const json& step) {
          return step["delay"] > 0;
        }))
      return "the cycle does not tick";
    return ShowsLiveness(property, run, cycleStart);
  }

 private:
  // Replays `steps` from `state` (which ends as the last state), appending every state met to
  // `run`; answers the first fault, naming its step by `label` and number.
  std::string ReplaySteps(const json& steps, const std::string& label, ReplayState& state,
                          std::vector<ReplayState>& run) {
    for (size_t i = 0; i < steps.size(); ++i) {
      const std::string at = label + std::to_string(i + 1) + ": ";
      const json& step = steps[i];
      for (int32_t tick = 0; tick < step["delay"].get<int32_t>(); ++tick) {
        state = Ticked(state);
        if (!InvariantsHold(state))
          return at + "an invariant fails after tick " + std::to_string(tick + 1);
        run.push_back(state);
      }
      const ReplayState expected = Read(step["state"]);
      if (step["jumps"].empty()) {
        if (i + 1 != steps.size())
          return at + "only the last step may go without jumps";
        if (expected != state)
          return at + "the state after the delay is not the one shown";
        continue;
      }
      const std::optional<ReplayState> next = Fire(state, step["jumps"], expected);
      if (!next)
        return at + "no enabled transition with these jumps gives the state shown";
      state = *next;
      run.push_back(state);
    }
    return "";
  }

  ReplayState Ticked(ReplayState state) const {
    for (auto& [clock, value] : state.clocks)
      value = std::min(value + 1, system_.variables[static_cast<size_t>(clock) - 1].Max);
    return state;
  }

  // Whether the run `run`, whose states from `cycleStart` on repeat forever (or end the run),
  // shows the liveness property: the witness of E[] keeps its formula in every state; the
  // counterexample of A<> keeps it false in every state; the counterexample of a leads-to has a
  // state where the first formula holds, from which on the second holds nowhere.
  std::string ShowsLiveness(const CProperty& property, const std::vector<ReplayState>& run,
                            size_t cycleStart) const {
    const auto first = [&](const ReplayState& state) { return Holds(property, state); };
    switch (property.liveness) {
      case Liveness::kAlways:
        return std::all_of(run.begin(), run.end(), first) ? "" : "a state of the run violates it";
      case Liveness::kEventually:
        return std::none_of(run.begin(), run.end(), first) ? "" : "a state of the run satisfies it";
      default:
        break;
    }
    const CProperty then = property.Then();
    const auto second = [&](const ReplayState& state) { return Holds(then, state); };
    if (std::any_of(run.begin() + static_cast<std::ptrdiff_t>(cycleStart), run.end(), second))
      return "the second formula holds on the cycle";
    // The states after the last one where the second formula holds.
    auto from = std::find_if(run.rbegin(), run.rend(), second).base();
    return std::any_of(from, run.end(), first)
               ? ""
               : "no state where the first formula holds is followed by a run without the second";
  }

  // Whether some tick or transition can be taken from `state`.
  bool CanStep(const ReplayState& state) {
    if (InvariantsHold(Ticked(state)))
      return true;
    return Fire(state, std::nullopt, std::nullopt).has_value();
  }

  const CLocation& LocationOf(const ReplayState& state, size_t p) const {
    return system_.processes[p].locations[static_cast<size_t>(state.locations[p]) - 1];
  }

  // The jump that a step's jump names, when it leaves the step's `from` for its `to`.
  const CJump* NamedJump(const json& shown) const {
    const int32_t process = shown["process"];
    if (process < 1 || static_cast<size_t>(process) > system_.processes.size())
      return nullptr;
    for (const CLocation& location :
         system_.processes[static_cast<size_t>(process) - 1].locations) {
      for (const CJump& jump : location.jumps) {
        if (jump.number == shown["jump"])
          return jump.From == shown["from"] && jump.To == shown["to"] ? &jump : nullptr;
      }
    }
    return nullptr;
  }

  // Whether the jumps named by a step leave their locations for their targets and play the roles
  // of one composed transition: alone, an internal or broadcast jump; together, a sender first
  // and the others on its channel.
  bool NamesItsJumps(const json& jumps) const {
    std::vector<const CJump*> named;
    for (const json& shown : jumps) {
      named.push_back(NamedJump(shown));
      if (named.back() == nullptr)
        return false;
    }
    if (named.size() == 1)
      return named[0]->Syn <= 0 || named[0]->Broadcast;
    return named.empty() || (named[0]->SynType != 0 &&
                             std::all_of(named.begin() + 1, named.end(), [&](const CJump* jump) {
                               return jump->Syn == named[0]->Syn;
                             }));
  }

  ReplayState Initial() const {
    ReplayState state;
    for (const CProcess& process : system_.processes)
      state.locations.push_back(process.InitLocation);
    for (const CVariable& variable : system_.variables) {
      if (variable.Type == VarType::kInteger)
        state.integers.push_back(variable.InitValue);
    }
    for (size_t p = 0; p < state.locations.size(); ++p) {
      for (int32_t clock : LocationOf(state, p).activeClocks)
        state.clocks[clock] = system_.variables[static_cast<size_t>(clock) - 1].InitValue;
    }
    return state;
  }

  ReplayState Read(const json& document) const {
    ReplayState state;
    state.locations = document["locations"].get<std::vector<int32_t>>();
    for (const CVariable& variable : system_.variables) {
      if (variable.Type == VarType::kInteger)
        state.integers.push_back(document["integers"].value(variable.Name, -1));
    }
    for (size_t v = 0; v < system_.variables.size(); ++v) {
      const json& clocks = document["clocks"];
      if (system_.variables[v].Type == VarType::kClock &&
          clocks.contains(system_.variables[v].Name))
        state.clocks[static_cast<int32_t>(v) + 1] = clocks[system_.variables[v].Name];
    }
    return state;
  }

  // The state as the expression evaluator reads it; `locations` must live as long as it.
  DsState Evaluable(const ReplayState& state) const {
    DsState evaluable;
    evaluable.locations = state.locations;
    evaluable.intValues = state.integers;
    for (const auto& [clock, value] : state.clocks) {
      evaluable.activeClocks.push_back(clock);
      evaluable.clockValues.push_back(value);
    }
    return evaluable;
  }

  // A format-2 expression that meets a run-time error is not true.
  bool True(int32_t expression, const ReplayState& state) const {
    const DsState evaluable = Evaluable(state);
    if (system_.format == 2) {
      const Evaluated result = EvaluateChecked(system_.expressions[expression], system_, evaluable);
      return result.Ok() && result.value != 0;
    }
    return Evaluate(system_.expressions[expression], Valuation(system_, evaluable)) != 0;
  }

  // Every comparison holds; in a format-2 model none meets a run-time error, whatever the
  // answers of the others.
  bool AllTrue(std::span<const int32_t> comparisons, const ReplayState& state) const {
    bool all = true;
    for (int32_t id : comparisons) {
      if (system_.format == 2) {
        const Evaluated bound =
            RightValueChecked(system_.expressions[id], system_, Evaluable(state));
        if (!bound.Ok())
          return false;
      }
      all = all && True(id, state);
    }
    return all;
  }

  bool InvariantsHold(const ReplayState& state) const {
    for (size_t p = 0; p < state.locations.size(); ++p) {
      if (!AllTrue(LocationOf(state, p).invariantExpIds, state))
        return false;
    }
    return true;
  }

  // Applies one update to `next`; false when it meets a run-time error or, in a format-2 model,
  // leaves its variable's range.
  bool Apply(const CUpdate& update, ReplayState& next) const {
    DsState evaluable = Evaluable(next);
    int32_t value = 0;
    if (system_.format == 2) {
      const Evaluated result = Execute(system_.expressions[update.updateExpId], system_, evaluable);
      if (!result.Ok())
        return false;
      value = result.value;
      next.integers = evaluable.intValues;
    } else {
      value = Evaluate(system_.expressions[update.updateExpId], Valuation(system_, evaluable));
    }
    if (update.updateVar == 0)
      return true;
    const CVariable& variable = system_.variables[static_cast<size_t>(update.updateVar) - 1];
    if (variable.Type == VarType::kInteger) {
      if (system_.format == 2 && (value < variable.Min || value > variable.Max))
        return false;
      next.integers[static_cast<size_t>(variable.intValueIndex)] = value;
    } else if (next.clocks.contains(update.updateVar)) {
      next.clocks[update.updateVar] = value;
    }
    return true;
  }

  bool InRange(const ReplayState& state) const {
    for (const CVariable& variable : system_.variables) {
      const bool ranged =
          system_.format == 2 || (variable.Min >= 0 && variable.Min <= variable.Max);
      if (variable.Type != VarType::kInteger || !ranged)
        continue;
      const int32_t value = state.integers[static_cast<size_t>(variable.intValueIndex)];
      if (value < variable.Min || value > variable.Max)
        return false;
    }
    return true;
  }

  // The state that some enabled transition with `jumps` makes from `state`, when it is `expected`
  // (without `jumps`, any enabled transition; without `expected`, any state it makes).
  std::optional<ReplayState> Fire(const ReplayState& state, const std::optional<json>& jumps,
                                  const std::optional<ReplayState>& expected) {
    // The names beside the numbers are the model's, which the replay does not judge.
    if (jumps && !NamesItsJumps(*jumps))
      return std::nullopt;
    json numbered = json::array();
    for (const json& jump : jumps.value_or(json::array()))
      numbered.push_back(
          {{"process", jump["process"]}, {"from", jump["from"]}, {"to", jump["to"]}});
    composition_.composeLocation(state.locations);
    const std::optional<int64_t> index = composition_.Find(state.locations);
    if (!index)
      return std::nullopt;
    for (const CComposedTransition& transition : composition_.Transitions(*index)) {
      const std::span<const int32_t> post = transition.postLocations;
      json shown = json::array();
      for (int32_t p : transition.procId) {
        shown.push_back({{"process", p + 1},
                         {"from", state.locations[static_cast<size_t>(p)]},
                         {"to", post[static_cast<size_t>(p)]}});
      }
      if (jumps && shown != numbered)
        continue;
      if (!AllTrue(transition.guardExpId, state))
        continue;
      ReplayState next;
      next.locations.assign(post.begin(), post.end());
      next.integers = state.integers;
      for (size_t p = 0; p < next.locations.size(); ++p) {
        for (int32_t clock : LocationOf(next, p).activeClocks) {
          const auto kept = state.clocks.find(clock);
          next.clocks[clock] = kept == state.clocks.end() ? 0 : kept->second;
        }
      }
      const bool applied = std::all_of(transition.updates.begin(), transition.updates.end(),
                                       [&](const CUpdate& update) { return Apply(update, next); });
      if (applied && InvariantsHold(next) && InRange(next) && (!expected || next == *expected))
        return next;
    }
    return std::nullopt;
  }

  bool Holds(const CProperty& property, const ReplayState& state) const {
    if (property.expression >= 0)
      return True(property.expression, state);
    for (const CAtomProperty& atom : property.atoms) {
      bool result = false;
      if (atom.kind == CAtomProperty::kLocation) {
        if (atom.process < 1 || static_cast<size_t>(atom.process) > state.locations.size())
          return false;
        result = state.locations[static_cast<size_t>(atom.process) - 1] == atom.location;
      } else {
        int32_t value = 0;
        if (atom.kind == CAtomProperty::kClock) {
          const auto clock = state.clocks.find(atom.variable);
          if (clock == state.clocks.end()) {
            if (atom.negated == 1)
              return false;
            continue;
          }
          value = clock->second;
        } else {
          const bool known =
              atom.variable >= 1 &&
              static_cast<size_t>(atom.variable) <= system_.variables.size() &&
              system_.variables[static_cast<size_t>(atom.variable) - 1].Type == VarType::kInteger;
          if (!known) {
            if (atom.negated != 1)
              return false;
            continue;
          }
          value = state.integers[static_cast<size_t>(
              system_.variables[static_cast<size_t>(atom.variable) - 1].intValueIndex)];
        }
        const std::map<int32_t, bool> relations = {
            {1, value == atom.bound}, {2, value < atom.bound},  {3, value <= atom.bound},
            {4, value > atom.bound},  {5, value >= atom.bound}, {6, value != atom.bound}};
        result = relations.contains(atom.relation) && relations.at(atom.relation);
      }
      if (result == (atom.negated == 1))
        return false;
    }
    return true;
  }

  const CSystem& system_;
  CComposition& composition_;
};

}  // namespace

std::string ReplayTrace(const CSystem& system, CComposition& composition, const CProperty& property,
                        const json& trace, bool noZeno) {
  return Replay(system, composition).Run(property, trace, noZeno);
}

std::string ReplayDocument(const std::string& path, const json& document) {
  DiscardedMessages messages;
  ModelCheck check(messages);
  if (check.Load(ProfileIndex(path)) || check.Compose())
    return "the model is refused\n";
  const std::vector<CProperty>& properties = check.Model().properties;
  const json& outcomes = document["properties"];
  if (outcomes.size() != properties.size())
    return "the document has " + std::to_string(outcomes.size()) + " properties\n";
  std::string faults;
  for (size_t i = 0; i < properties.size(); ++i) {
    const json& outcome = outcomes[i];
    const std::string name = "property " + std::to_string(i + 1) + ": ";
    const bool shown =
        properties[i].liveness == Liveness::kNone
            ? (outcome["type"] == 0 && outcome["verdict"] == 1) ||
                  (outcome["type"] == 1 && outcome["verdict"] == 0)
            : outcome["verdict"] == (properties[i].liveness == Liveness::kAlways ? 1 : 0);
    if (outcome["trace"].is_null()) {
      if (shown)
        faults += name + "no trace\n";
      continue;
    }
    if (!shown) {
      faults += name + "a trace for a verdict that needs none\n";
      continue;
    }
    const std::string fault =
        ReplayTrace(check.Model(), check.Composition(), properties[i], outcome["trace"],
                    document["options"].value("no_zeno", false));
    if (!fault.empty())
      faults += name + fault + "\n";
  }
  return faults;
}

}  // namespace tickcheck::testing
