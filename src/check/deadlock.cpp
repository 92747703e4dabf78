#include "check/deadlock.h"

#include <algorithm>

#include "check/delay.h"
#include "expr/comparison.h"

namespace tickcheck {

DeadlockTest::DeadlockTest(const ConstraintTests& tests, SuccessorGenerator& successors,
                           CComposition& composition)
    : tests_(tests), successors_(successors), composition_(composition) {}

bool DeadlockTest::IsDeadlock(const DsState& state) const {
  return !LastEnabled(state, LastDelay(state));
}

std::optional<int64_t> DeadlockTest::DeadlockFrom(const DsState& state) const {
  const int64_t last = LastDelay(state);
  const std::optional<int64_t> enabled = LastEnabled(state, last);
  if (!enabled)
    return 0;
  if (*enabled >= last)
    return std::nullopt;
  return *enabled + 1;
}

int64_t DeadlockTest::LastDelay(const DsState& state) const {
  if (!composition_.IsComposed(state.locationIndex)) {
    const std::vector<int32_t> vector(state.locations.begin(), state.locations.end());
    composition_.composeLocation(vector);
  }
  const std::optional<int64_t> cap = successors_.DelayCap(state);
  if (cap == 0)
    return 0;
  const CSystem& model = tests_.Model();
  // Beyond the delay at which every clock stands at its Max, time passing changes nothing.
  int64_t last = 0;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const int64_t max = model.variables[static_cast<size_t>(state.activeClocks[k]) - 1].Max;
    last = std::max(last, max - state.clockValues[k]);
  }
  if (cap)
    last = std::min(last, *cap);
  bool regular = true;
  for (size_t p = 0; p < model.processes.size() && regular; ++p) {
    for (int32_t id : tests_.LocationOf(state, p).invariantExpIds) {
      const ComparisonFacts facts = tests_.Facts(id);
      if (facts.readsClockBesideCompared) {
        regular = false;
        break;
      }
      const auto at =
          std::find(state.activeClocks.begin(), state.activeClocks.end(), facts.variable);
      if (at == state.activeClocks.end() || !BoundsFromAbove(facts.code) ||
          tests_.HoldsAtMax(state, facts, id))
        continue;
      const int64_t value = state.clockValues[static_cast<size_t>(at - state.activeClocks.begin())];
      last = std::min(last, HighestAdmitted(facts.code, tests_.Bound(facts, id, state)) - value);
    }
  }
  if (!regular) {
    // Waiting goes on as long as every tick keeps the invariants.
    const std::vector<size_t> all = AllClockPositions(state);
    for (int64_t d = 1; d <= last; ++d) {
      DsState delayed = state;
      Delay(model, delayed, all, d);
      if (!tests_.InvariantsHold(delayed))
        return d - 1;
    }
  }
  return std::max<int64_t>(last, 0);
}

bool DeadlockTest::AddChanges(const DsState& state, const std::vector<int32_t>& ids, int64_t last,
                              std::vector<int64_t>& delays) const {
  for (int32_t id : ids) {
    const ComparisonFacts facts = tests_.Facts(id);
    if (facts.readsClockBesideCompared || !IsRelationCode(facts.code))
      return false;
    const auto at = std::find(state.activeClocks.begin(), state.activeClocks.end(), facts.variable);
    if (at == state.activeClocks.end())
      continue;
    const int64_t value = state.clockValues[static_cast<size_t>(at - state.activeClocks.begin())];
    const int64_t bound = tests_.Bound(facts, id, state);
    for (const int64_t reached :
         {LowestAdmitted(facts.code, bound), HighestAdmitted(facts.code, bound) + 1}) {
      if (reached - value > 0 && reached - value <= last)
        delays.push_back(reached - value);
    }
  }
  return true;
}

std::optional<int64_t> DeadlockTest::LastEnabled(const DsState& state, int64_t last) const {
  const CSystem& model = tests_.Model();
  std::vector<int64_t> delays = {0};
  bool regular = true;
  std::vector<int32_t> ids;
  for (const CComposedTransition& transition : composition_.Transitions(state.locationIndex)) {
    ids.assign(transition.guardExpId.begin(), transition.guardExpId.end());
    for (size_t k = 0; k < transition.excludedGuards.size();
         k += static_cast<size_t>(transition.excludedGuards[k]) + 1) {
      ids.insert(ids.end(), transition.excludedGuards.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                 transition.excludedGuards.begin() + static_cast<std::ptrdiff_t>(k) + 1 +
                     transition.excludedGuards[k]);
    }
    regular = regular && AddChanges(state, ids, last, delays);
    // The target's invariants read the kept clocks at their delayed values and the other values
    // as the jump leaves them, which no delay changes unless an assignment reads a clock or a
    // bound reads an assigned variable.
    ids.clear();
    for (size_t p = 0; p < model.processes.size(); ++p) {
      const CLocation& target =
          model.processes[p].locations[static_cast<size_t>(transition.postLocations[p]) - 1];
      ids.insert(ids.end(), target.invariantExpIds.begin(), target.invariantExpIds.end());
    }
    regular = regular && AddChanges(state, ids, last, delays) &&
              std::ranges::all_of(ids, [&](int32_t id) { return tests_.Facts(id).fixedBound; }) &&
              std::ranges::none_of(transition.updates, [&](const CUpdate& update) {
                return tests_.ReadsClock(update.updateExpId, false);
              });
  }
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const int64_t max = model.variables[static_cast<size_t>(state.activeClocks[k]) - 1].Max;
    if (max - state.clockValues[k] > 0 && max - state.clockValues[k] <= last)
      delays.push_back(max - state.clockValues[k]);
  }
  if (!regular) {
    delays.clear();
    for (int64_t d = 0; d <= last; ++d)
      delays.push_back(d);
  }
  std::sort(delays.begin(), delays.end());
  delays.erase(std::unique(delays.begin(), delays.end()), delays.end());
  // Between two of these delays every transition keeps whether it can be taken: the last stretch
  // in which one can be taken ends at the answer.
  for (size_t k = delays.size(); k-- > 0;) {
    for (const CComposedTransition& transition : composition_.Transitions(state.locationIndex)) {
      if (successors_.CanTakeAt(state, transition, delays[k]))
        return k + 1 < delays.size() ? delays[k + 1] - 1 : last;
    }
  }
  return std::nullopt;
}

}  // namespace tickcheck
