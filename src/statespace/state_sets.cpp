// Diagrams of single states and of states widened by clock intervals.
#include <algorithm>

#include "statespace/state_space.h"

namespace tickcheck {

void CStateSpace::WriteDiscrete(const DsState& state, std::vector<int32_t>& bits) const {
  std::fill(bits.begin(), bits.end(), 2);
  // Each integer value goes into its variable's run; the runs of Type 3 variables hold 0.
  for (const CVariable& variable : system.variables) {
    if (variable.Type == VarType::kClock)
      continue;
    const bool holdsValue = variable.Type == VarType::kInteger && variable.intValueIndex >= 0 &&
                            static_cast<size_t>(variable.intValueIndex) < state.intValues.size();
    const int32_t value =
        holdsValue ? state.intValues[static_cast<size_t>(variable.intValueIndex)] : 0;
    ValueToBits(value, variable.bitBeginIndex, variable.bitBeginIndex + variable.bitWidth - 1,
                bits.data());
  }
  for (size_t p = 0; p < procLocBitNum.size(); ++p) {
    ValueToBits(state.locations[p] - 1, procBitBeginIndex[p],
                procBitBeginIndex[p] + procLocBitNum[p] - 1, bits.data());
  }
}

void CStateSpace::WriteClocks(const DsState& state, std::vector<int32_t>& bits) const {
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const CVariable& clock = system.variables[static_cast<size_t>(state.activeClocks[k]) - 1];
    ValueToBits(state.clockValues[k], clock.bitBeginIndex, clock.bitBeginIndex + clock.bitWidth - 1,
                bits.data());
  }
}

bdd CStateSpace::DiscreteCube(const DsState& state) const {
  WriteDiscrete(state, scratch_);
  return manager->CubeArrayToBdd(scratch_.data(), totalBit);
}

bdd CStateSpace::StateCube(const DsState& state) const {
  WriteDiscrete(state, scratch_);
  WriteClocks(state, scratch_);
  return manager->CubeArrayToBdd(scratch_.data(), totalBit);
}

bool CStateSpace::ContainsState(const bdd& set, const DsState& state) const {
  WriteDiscrete(state, scratch_);
  WriteClocks(state, scratch_);
  return manager->IntersectsCube(set, scratch_.data(), totalBit);
}

std::optional<LUBound> CStateSpace::ClockBounds(const DsState& state, int32_t clock) const {
  std::optional<LUBound> found;
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const CLocation& location =
        system.processes[p].locations[static_cast<size_t>(state.locations[p]) - 1];
    for (const LUBound& entry : location.luBounds) {
      if (entry.clockId != clock)
        continue;
      // Each listing location's bounds cover the comparisons that the clock may meet; the
      // largest cover them all.
      found =
          found ? LUBound{clock, std::max(found->L, entry.L), std::max(found->U, entry.U)} : entry;
    }
  }
  return found;
}

void CStateSpace::ClockInterval(const DsState& state, int32_t clock, int32_t value, int32_t& start,
                                int32_t& end) const {
  const CVariable& variable = system.variables[static_cast<size_t>(clock) - 1];
  start = value;
  end = value;
  // A clock that no current location lists has no bounds: it keeps its single value. So does a
  // clock that no location lists, which belongs to no process and has no limits either.
  const std::optional<LUBound> bounds = ClockBounds(state, clock);
  if (variable.ownerProcess < 1 || !bounds)
    return;
  const size_t process = static_cast<size_t>(variable.ownerProcess) - 1;
  const size_t location = static_cast<size_t>(state.locations[process]) - 1;
  const int64_t L = bounds->L;
  const int64_t U = bounds->U;
  if (value > U) {
    start = static_cast<int32_t>(U + 1);
  } else if (value > L) {
    end = static_cast<int32_t>(std::min<int64_t>(U + 1, INT32_MAX));
  }
  const int32_t lower = variable.locLowerBounds[location];
  const int32_t upper = variable.locUpperBounds[location];
  if (lower != -1 && start < lower)
    start = lower;
  if (upper != -1 && end > upper)
    end = upper;
  // The states inside a stored interval are never tested against the properties: the interval
  // stops where a property atom on the clock could change its answer.
  const std::vector<int64_t>& cuts = propertyCuts_[static_cast<size_t>(clock)];
  const auto above = std::upper_bound(cuts.begin(), cuts.end(), int64_t{value});
  if (above != cuts.end() && end >= *above)
    end = static_cast<int32_t>(*above - 1);
  if (above != cuts.begin() && start < *(above - 1))
    start = static_cast<int32_t>(*(above - 1));
  // The limits come from invariant bounds evaluated without a state; they may narrow the interval
  // but never drop the state itself, or a state could be found new again and again.
  start = std::min(start, value);
  end = std::max(end, value);
}

bdd CStateSpace::BoxDiagram(const DsState& state, const std::vector<int32_t>& starts,
                            const std::vector<int32_t>& ends) const {
  WriteDiscrete(state, scratch_);
  std::vector<BddManager::RangeRun> runs;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const CVariable& clock = system.variables[static_cast<size_t>(state.activeClocks[k]) - 1];
    runs.push_back(
        {clock.bitBeginIndex, clock.bitBeginIndex + clock.bitWidth - 1, starts[k], ends[k]});
  }
  return manager->BoxToBdd(scratch_.data(), totalBit, runs);
}

void CStateSpace::AddClockIntervals(const DsState& state, bdd& set) const {
  std::vector<int32_t> starts(state.activeClocks.size());
  std::vector<int32_t> ends(state.activeClocks.size());
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    ClockInterval(state, state.activeClocks[k], state.clockValues[k], starts[k], ends[k]);
  }
  set = BddManager::Or(set, BoxDiagram(state, starts, ends));
}

}  // namespace tickcheck
