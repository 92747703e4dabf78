#include "statespace/initial_state.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "expr/program.h"
#include "statespace/encoding.h"

namespace tickcheck {
namespace {

std::optional<Refusal> Misfit(const char* kind, const CVariable& variable) {
  if (FitsBits(int64_t{variable.InitValue} - variable.encodingOffset, variable.bitWidth))
    return std::nullopt;
  return Refusal{"ERROR! Model refused: " + std::string(kind) + " " + variable.Name +
                 ": initial value " + std::to_string(variable.InitValue) + " does not fit 0 .. " +
                 std::to_string((int64_t{1} << variable.bitWidth) - 1)};
}

}  // namespace

std::variant<DsState, Refusal> BuildInitialState(const CSystem& model,
                                                 const CComposition& composition) {
  DsState state;
  state.locationIndex = composition.initLocationIndex;
  state.locations = composition.LocationVector(composition.initLocationIndex);
  for (const CVariable& variable : model.variables) {
    if (variable.Type == VarType::kInteger)
      state.intValues.push_back(variable.InitValue);
  }
  // A clock that an earlier process lists elsewhere is still active when this process's initial
  // location lists it.
  for (const CProcess& process : model.processes) {
    const CLocation& initial = process.locations[static_cast<size_t>(process.InitLocation) - 1];
    for (int32_t clock : initial.activeClocks) {
      if (std::find(state.activeClocks.begin(), state.activeClocks.end(), clock) !=
          state.activeClocks.end()) {
        continue;
      }
      state.activeClocks.push_back(clock);
      state.clockValues.push_back(model.variables[static_cast<size_t>(clock) - 1].InitValue);
    }
  }

  for (const CVariable& variable : model.variables) {
    if (variable.Type != VarType::kInteger)
      continue;
    if (std::optional<Refusal> refusal = Misfit("variable", variable))
      return *refusal;
  }
  for (int32_t clock : state.activeClocks) {
    if (std::optional<Refusal> refusal =
            Misfit("clock", model.variables[static_cast<size_t>(clock) - 1]))
      return *refusal;
  }
  // A run-time error of an invariant can only meet a state that no step made.
  if (model.format == 2) {
    for (size_t p = 0; p < model.processes.size(); ++p) {
      const CProcess& process = model.processes[p];
      const CLocation& location = process.locations[static_cast<size_t>(state.locations[p]) - 1];
      for (int32_t id : location.invariantExpIds) {
        const Evaluated bound = RightValueChecked(model.expressions[id], model, state);
        if (!bound.Ok()) {
          return Refusal{"ERROR! Model refused: the invariant of " + process.ProcessName + "." +
                         location.Name + " cannot be evaluated in the initial state: " +
                         Describe(*bound.error, model)};
        }
      }
    }
  }
  return state;
}

}  // namespace tickcheck
