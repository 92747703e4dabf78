// The initial state, the index pass that places the location and clock runs, and the
// per-location clock limits.
#include <algorithm>
#include <cstdint>
#include <string>

#include "expr/evaluation.h"
#include "model/console.h"
#include "statespace/state_space.h"

namespace tickcheck {

int32_t CStateSpace::BuildInitialState(DsState& state) {
  state = DsState{};
  state.locationIndex = composition.initLocationIndex;
  state.locations = composition.LocationVector(composition.initLocationIndex);
  for (const CVariable& variable : system.variables) {
    if (variable.Type == VarType::kInteger)
      state.intValues.push_back(variable.InitValue);
  }

  // Every clock gets one run, at its first appearance in process order, the initial location
  // before the others; only the clocks of the initial locations are active at the start.
  int32_t running = nonClkVarBitNum;
  std::vector<char> placed(system.variables.size() + 1, 0);
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const CProcess& process = system.processes[p];
    procBitBeginIndex[p] = running;
    running += procLocBitNum[p];
    std::vector<int32_t>& begins = clkVarBeginIndex[p];
    const size_t initial = static_cast<size_t>(process.InitLocation) - 1;
    auto place = [&](int32_t clock, bool active) {
      CVariable& variable = system.variables[static_cast<size_t>(clock) - 1];
      // A clock that an earlier process placed from one of its other locations is still active
      // when this process's initial location lists it.
      if (active && std::find(state.activeClocks.begin(), state.activeClocks.end(), clock) ==
                        state.activeClocks.end()) {
        state.activeClocks.push_back(clock);
        state.clockValues.push_back(variable.InitValue);
      }
      if (placed[static_cast<size_t>(clock)])
        return;
      placed[static_cast<size_t>(clock)] = 1;
      begins.push_back(running);
      ++begins[0];
      variable.bitBeginIndex = running;
      running += variable.bitWidth;
    };
    for (int32_t clock : process.locations[initial].activeClocks)
      place(clock, true);
    for (size_t l = 0; l < process.locations.size(); ++l) {
      if (l == initial)
        continue;
      for (int32_t clock : process.locations[l].activeClocks)
        place(clock, false);
    }
  }
  procBitBeginIndex[system.processes.size()] = totalBit;

  for (const CVariable& variable : system.variables) {
    if (variable.Type != VarType::kInteger)
      continue;
    if (!FitsBits(variable.InitValue, variable.bitWidth)) {
      ConsoleLine("ERROR! Model refused: variable " + variable.Name + ": initial value " +
                  std::to_string(variable.InitValue) + " does not fit 0 .. " +
                  std::to_string((int64_t{1} << variable.bitWidth) - 1));
      return 0;
    }
  }
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const CVariable& clock = system.variables[static_cast<size_t>(state.activeClocks[k]) - 1];
    if (!FitsBits(clock.InitValue, clock.bitWidth)) {
      ConsoleLine("ERROR! Model refused: clock " + clock.Name + ": initial value " +
                  std::to_string(clock.InitValue) + " does not fit 0 .. " +
                  std::to_string((int64_t{1} << clock.bitWidth) - 1));
      return 0;
    }
  }
  setVariableRangeInLoc();
  return 1;
}

void CStateSpace::setVariableRangeInLoc() {
  // A clock that no location lists has no owning process, hence no limits.
  for (CVariable& variable : system.variables) {
    if (variable.Type != VarType::kClock)
      continue;
    const size_t locations =
        variable.ownerProcess >= 1
            ? system.processes[static_cast<size_t>(variable.ownerProcess) - 1].locations.size()
            : 0;
    variable.locUpperBounds.assign(locations, -1);
    variable.locLowerBounds.assign(locations, -1);
  }
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const CProcess& process = system.processes[p];
    for (size_t l = 0; l < process.locations.size(); ++l) {
      for (int32_t id : process.locations[l].invariantExpIds) {
        const CExpression& expression = system.expressions[id];
        const int32_t code = expression.RootType();
        if (code < ExpType::kEqual || code > ExpType::kAtLeast) {
          ConsoleLine("ERROR! OPTYPE error in setVariableRangeInLoc()");
          continue;
        }
        const int32_t x = expression.LeftVariable();
        const int32_t bound = RightValue(expression, Valuation::WithoutState(system));
        // Limits exist only for clocks, per location of their own process: an invariant over an
        // integer variable or another process's clock narrows nothing.
        if (x < 1 || static_cast<size_t>(x) > system.variables.size())
          continue;
        CVariable& clock = system.variables[static_cast<size_t>(x) - 1];
        if (clock.Type != VarType::kClock || clock.ownerProcess != static_cast<int32_t>(p) + 1)
          continue;
        int32_t& upper = clock.locUpperBounds[l];
        int32_t& lower = clock.locLowerBounds[l];
        switch (code) {
          case ExpType::kEqual:
            upper = bound;
            lower = bound;
            break;
          case ExpType::kLess:
            upper = bound == INT32_MIN ? bound : bound - 1;
            break;
          case ExpType::kAtMost:
            upper = bound;
            break;
          case ExpType::kGreater:
            lower = bound == INT32_MAX ? bound : bound + 1;
            break;
          default:
            lower = bound;
            break;
        }
      }
    }
  }
}

}  // namespace tickcheck
