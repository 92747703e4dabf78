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

// One transition as the replay makes it: each participating process with its jump, the
// initiator first.
struct Part {
  int32_t process;
  const CJump* jump;
};
using Transition = std::vector<Part>;

class Replay : private DeadlockHook {
 public:
  explicit Replay(const CSystem& system) : system_(system) {}

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
        if (const std::string stop = TimeStops(state); !stop.empty())
          return at + "time cannot pass before tick " + std::to_string(tick + 1) + ": " + stop;
        for (const Transition& transition : Transitions(state)) {
          if (transition.size() == 1 && transition[0].jump->iUrgent && Result(state, transition))
            passed_.push_back(transition[0].jump);
        }
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
      passed_.clear();
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
  bool CanStep(const ReplayState& state) const {
    if (TimeStops(state).empty() && InvariantsHold(Ticked(state)))
      return true;
    return std::ranges::any_of(Transitions(state), [&](const Transition& transition) {
      const std::optional<ReplayState> next = Result(state, transition);
      return !Passed(transition) && next && InRange(*next);
    });
  }

  const CLocation& LocationOf(const ReplayState& state, size_t p) const {
    return system_.processes[p].locations[static_cast<size_t>(state.locations[p]) - 1];
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
      const Evaluated result =
          EvaluateChecked(system_.expressions[expression], system_, evaluable, this);
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

  bool GuardHolds(const CJump& jump, const ReplayState& state) const {
    return AllTrue(jump.guardExpIds, state);
  }

  bool InvariantsHold(const ReplayState& state) const {
    for (size_t p = 0; p < state.locations.size(); ++p) {
      if (!AllTrue(LocationOf(state, p).invariantExpIds, state))
        return false;
    }
    return true;
  }

  // Applies one assignment to `next`; false when it meets a run-time error or, in a format-2
  // model, leaves its variable's range.
  bool Apply(const Assignment& update, ReplayState& next) const {
    DsState evaluable = Evaluable(next);
    int32_t value = 0;
    if (system_.format == 2) {
      const Evaluated result = Execute(system_.expressions[update.expId], system_, evaluable);
      if (!result.Ok())
        return false;
      value = result.value;
      next.integers = evaluable.intValues;
    } else {
      value = Evaluate(system_.expressions[update.expId], Valuation(system_, evaluable));
    }
    if (update.varId == 0)
      return true;
    const CVariable& variable = system_.variables[static_cast<size_t>(update.varId) - 1];
    if (variable.Type == VarType::kInteger) {
      if (system_.format == 2 && (value < variable.Min || value > variable.Max))
        return false;
      next.integers[static_cast<size_t>(variable.intValueIndex)] = value;
    } else if (next.clocks.contains(update.varId)) {
      next.clocks[update.varId] = value;
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

  // Why time cannot pass in `state`, or "".
  std::string TimeStops(const ReplayState& state) const {
    for (size_t p = 0; p < state.locations.size(); ++p) {
      if (LocationOf(state, p).committed)
        return "a committed location";
      if (LocationOf(state, p).urgent)
        return "an urgent location";
    }
    for (const Transition& transition : Transitions(state)) {
      const CJump& initiator = *transition[0].jump;
      if (initiator.Syn > 0 && system_.IsUrgentChannel(initiator.Syn) && Result(state, transition))
        return "a synchronisation on an urgent channel can be taken";
    }
    return "";
  }

  // Every transition out of `state` whose guards hold: internal jumps, pairs of a sender and a
  // receiver, broadcasts (all listeners under the old rule; one enabled receiving jump, or none,
  // per other process under the usual rule), only those that move a committed process on when
  // one is committed.
  std::vector<Transition> Transitions(const ReplayState& state) const {
    std::vector<Transition> all;
    const auto count = static_cast<int32_t>(system_.processes.size());
    for (int32_t i = 0; i < count; ++i) {
      for (const CJump& jump : LocationOf(state, static_cast<size_t>(i)).jumps) {
        if (jump.Syn <= 0) {
          all.push_back({{i, &jump}});
        } else if (jump.SynType == 0) {
          continue;
        } else if (!jump.Broadcast) {
          for (int32_t k = 0; k < count; ++k) {
            for (const CJump& partner : LocationOf(state, static_cast<size_t>(k)).jumps) {
              if (k != i && partner.Syn == jump.Syn && partner.SynType != 1)
                all.push_back({{i, &jump}, {k, &partner}});
            }
          }
        } else if (system_.usualBroadcast) {
          AddUsualBroadcasts(state, i, jump, all);
        } else if (!AddOldBroadcast(state, i, jump, all)) {
          i = count;
          break;
        }
      }
    }
    bool committed = false;
    for (size_t p = 0; p < state.locations.size(); ++p)
      committed = committed || LocationOf(state, p).committed;
    std::vector<Transition> enabled;
    for (Transition& transition : all) {
      const bool guards = std::all_of(transition.begin(), transition.end(), [&](const Part& part) {
        return GuardHolds(*part.jump, state);
      });
      const bool movesCommitted =
          std::any_of(transition.begin(), transition.end(), [&](const Part& part) {
            return LocationOf(state, static_cast<size_t>(part.process)).committed;
          });
      if (guards && (!committed || movesCommitted))
        enabled.push_back(std::move(transition));
    }
    return enabled;
  }

  void AddUsualBroadcasts(const ReplayState& state, int32_t sender, const CJump& jump,
                          std::vector<Transition>& all) const {
    std::vector<Transition> partial = {{{sender, &jump}}};
    for (int32_t k = 0; k < static_cast<int32_t>(system_.processes.size()); ++k) {
      if (k == sender)
        continue;
      std::vector<const CJump*> receivers;
      for (const CJump& receiver : LocationOf(state, static_cast<size_t>(k)).jumps) {
        if (receiver.Syn == jump.Syn && receiver.Broadcast && receiver.SynType != 1 &&
            GuardHolds(receiver, state))
          receivers.push_back(&receiver);
      }
      if (receivers.empty())
        continue;
      std::vector<Transition> extended;
      for (const Transition& transition : partial) {
        for (const CJump* receiver : receivers) {
          extended.push_back(transition);
          extended.back().push_back({k, receiver});
        }
      }
      partial = std::move(extended);
    }
    all.insert(all.end(), partial.begin(), partial.end());
  }

  // Answers false when no other process has a broadcast jump on the channel.
  bool AddOldBroadcast(const ReplayState& state, int32_t sender, const CJump& jump,
                       std::vector<Transition>& all) const {
    Transition transition = {{sender, &jump}};
    bool listened = false;
    for (int32_t k = 0; k < static_cast<int32_t>(system_.processes.size()); ++k) {
      const CProcess& process = system_.processes[static_cast<size_t>(k)];
      if (k == sender ||
          std::find(process.broadcastChannels.begin(), process.broadcastChannels.end(), jump.Syn) ==
              process.broadcastChannels.end())
        continue;
      listened = true;
      const std::vector<CJump>& jumps = LocationOf(state, static_cast<size_t>(k)).jumps;
      const auto first = std::find_if(jumps.begin(), jumps.end(),
                                      [&](const CJump& other) { return other.Syn == jump.Syn; });
      if (first == jumps.end())
        return true;
      transition.push_back({k, &*first});
    }
    if (listened)
      all.push_back(std::move(transition));
    return listened;
  }

  // The state that `transition` makes from `state` when the target's invariants hold after it.
  std::optional<ReplayState> Result(const ReplayState& state, const Transition& transition) const {
    ReplayState next;
    next.locations = state.locations;
    for (const Part& part : transition)
      next.locations[static_cast<size_t>(part.process)] = part.jump->To;
    next.integers = state.integers;
    for (size_t p = 0; p < next.locations.size(); ++p) {
      for (int32_t clock : LocationOf(next, p).activeClocks) {
        const auto kept = state.clocks.find(clock);
        next.clocks[clock] = kept == state.clocks.end() ? 0 : kept->second;
      }
    }
    for (const Part& part : transition) {
      for (const Assignment& assignment : part.jump->assignments) {
        if (!Apply(assignment, next))
          return std::nullopt;
      }
    }
    if (!InvariantsHold(next))
      return std::nullopt;
    return next;
  }

  // The state that some transition with `jumps` makes from `state`, when it is `expected`.
  std::optional<ReplayState> Fire(const ReplayState& state, const json& jumps,
                                  const ReplayState& expected) const {
    // The names beside the numbers are the model's, which the replay does not judge.
    json numbered = json::array();
    for (const json& jump : jumps) {
      numbered.push_back({{"process", jump["process"]},
                          {"from", jump["from"]},
                          {"to", jump["to"]},
                          {"jump", jump["jump"]}});
    }
    for (const Transition& transition : Transitions(state)) {
      json shown = json::array();
      for (const Part& part : transition) {
        shown.push_back({{"process", part.process + 1},
                         {"from", state.locations[static_cast<size_t>(part.process)]},
                         {"to", part.jump->To},
                         {"jump", part.jump->number}});
      }
      if (shown != numbered)
        continue;
      if (Passed(transition))
        continue;
      const std::optional<ReplayState> next = Result(state, transition);
      if (next && InRange(*next) && *next == expected)
        return next;
    }
    return std::nullopt;
  }

  // A state is a deadlock when no transition can be taken in it nor after any number of ticks that
  // time may pass.
  bool IsDeadlock(const DsState& evaluated) const override {
    ReplayState state;
    state.locations.assign(evaluated.locations.begin(), evaluated.locations.end());
    state.integers = evaluated.intValues;
    for (size_t k = 0; k < evaluated.activeClocks.size(); ++k)
      state.clocks[evaluated.activeClocks[k]] = evaluated.clockValues[k];
    for (;;) {
      for (const Transition& transition : Transitions(state)) {
        if (Result(state, transition))
          return false;
      }
      if (!TimeStops(state).empty())
        return true;
      ReplayState ticked = state;
      for (auto& [clock, value] : ticked.clocks)
        value = std::min(value + 1, system_.variables[static_cast<size_t>(clock) - 1].Max);
      if (!InvariantsHold(ticked) || ticked == state)
        return true;
      state = std::move(ticked);
    }
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

  // Whether `transition` is an urgent jump that could already be taken earlier in this wait.
  bool Passed(const Transition& transition) const {
    return transition.size() == 1 && transition[0].jump->iUrgent &&
           std::find(passed_.begin(), passed_.end(), transition[0].jump) != passed_.end();
  }

  const CSystem& system_;
  // The urgent jumps that could be taken in an earlier state of the wait under way (the ticks
  // since the last transition).
  std::vector<const CJump*> passed_;
};

}  // namespace

std::string ReplayTrace(const CSystem& system, const CProperty& property, const json& trace,
                        bool noZeno) {
  return Replay(system).Run(property, trace, noZeno);
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
    const std::string fault = ReplayTrace(check.Model(), properties[i], outcome["trace"],
                                          document["options"].value("no_zeno", false));
    if (!fault.empty())
      faults += name + fault + "\n";
  }
  return faults;
}

}  // namespace tickcheck::testing
