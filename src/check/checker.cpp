#include "check/checker.h"

#include <algorithm>
#include <string>

#include "model/console.h"

namespace tickcheck {

Checker::Checker(CStateSpace& space) : space_(space), successors_(space) {}

int32_t Checker::NextWaitingIndex() {
  return space_.waitingLists.NextNonEmpty(std::max(space_.currentWaitingIndex, 0));
}

std::vector<DsState> Checker::ExpandDelays(const WaitingDsState& entry,
                                           int32_t& lastPosition) const {
  std::vector<DsState> batch{entry.state};
  lastPosition = 0;
  if (entry.delayCount <= 1)
    return batch;
  const std::vector<size_t> advancing = SuccessorGenerator::AdvancingPositions(entry);
  lastPosition = entry.delayCount - 1;
  for (int32_t d = 1; d < entry.delayCount; ++d) {
    DsState delayed = entry.state;
    const bool saturated = successors_.Delay(delayed, advancing, d);
    batch.push_back(std::move(delayed));
    if (saturated)
      break;
  }
  return batch;
}

bool Checker::FilterNewStates(const std::vector<DsState>& batch, int32_t lastPosition,
                              SweepSet& sweep, std::vector<DsState>& fresh,
                              std::vector<int32_t>& positions) {
  fresh.clear();
  positions.clear();
  const DsState& first = batch.front();
  bool allUAtMostL = true;
  for (size_t p = 0; p < space_.system.processes.size(); ++p) {
    const CProcess& process = space_.system.processes[p];
    allUAtMostL =
        allUAtMostL && process.locations[static_cast<size_t>(first.locations[p]) - 1].allUAtMostL;
  }
  const int32_t size = static_cast<int32_t>(batch.size());
  // The last state of the batch may stand for several equal copies (see ExpandDelays): visited
  // from the back it is met at the last of them, from the front at the first.
  auto position = [&](int32_t k) { return (allUAtMostL && k == size - 1) ? lastPosition : k; };
  std::vector<std::pair<int32_t, const DsState*>> kept;
  for (int32_t step = 0; step < size; ++step) {
    const int32_t k = allUAtMostL ? size - 1 - step : step;
    const DsState& state = batch[static_cast<size_t>(k)];
    if (!space_.Encodable(state, true))
      continue;
    if (sweep.Contains(state) || space_.ContainsState(space_.pastList, state))
      continue;
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
    // The fuzz build bounds the work of one input: the search ends as an early end does.
    if (dsStateCount >= TICKCHECK_FUZZ_STATE_LIMIT)
      return false;
#endif
    if (!CheckProperties(state))
      return false;
    kept.emplace_back(position(k), &state);
    ++dsStateCount;
    sweep.Add(state, space_.useClockIntervals);
  }
  if (allUAtMostL)
    std::reverse(kept.begin(), kept.end());
  for (const auto& [at, state] : kept) {
    positions.push_back(at);
    fresh.push_back(*state);
  }
  return true;
}

bool Checker::EvaluateOpenProperties(const DsState& state) {
  bool open = false;
  const std::vector<CProperty>& properties = space_.system.properties;
  for (size_t i = 0; i < properties.size(); ++i) {
    const int32_t type = properties[i].Type;
    const bool result = space_.propertyResult[i] != 0;
    if ((type == 0 && !result) || (type == 1 && result)) {
      open = true;
      space_.propertyResult[i] = properties[i].Holds(state) ? 1 : 0;
    }
  }
  return open;
}

bool Checker::CheckProperties(const DsState& state) {
  if (space_.system.properties.empty())
    return true;
  if (!space_.checkTimeSuccessors)
    return EvaluateOpenProperties(state);
  bool open = false;
  for (const DsState& delayed : successors_.InvariantDelays(state)) {
    open = EvaluateOpenProperties(delayed) || open;
  }
  return open;
}

int32_t Checker::Check(std::FILE* info, bool noClockIntervals, bool checkTimeSuccessors) {
  if (noClockIntervals)
    space_.useClockIntervals = false;
  if (checkTimeSuccessors)
    space_.checkTimeSuccessors = true;
  dsStateCount = 0;
  space_.InitStateSpace();
  DsState initial;
  if (space_.BuildInitialState(initial) == 0)
    return 0;
  BddManager& manager = *space_.manager;
  SweepSet sweep(space_);
  space_.pastList = manager.Zero();
  const int32_t initialIndex = initial.locationIndex;
  WaitingDsState first{std::move(initial), 1, {}};
  const uint64_t key = successors_.MergeKey(first);
  space_.waitingLists.Append(initialIndex, std::move(first), key);
  space_.currentWaitingIndex = initialIndex;
  ConsoleLine("begin checking");

  std::vector<DsState> fresh;
  std::vector<int32_t> positions;
  bool stopped = false;
  while (!stopped) {
    sweep.Clear();
    space_.currentWaitingIndex = NextWaitingIndex();
    if (space_.currentWaitingIndex == -1)
      break;
    const int32_t current = space_.currentWaitingIndex;
    WaitingLists& lists = space_.waitingLists;
    // Entries appended while the list is walked are visited in the same walk; the entry being
    // expanded stays at the front until it is done.
    while (!lists.Empty(current)) {
      const WaitingDsState& entry = lists.Front(current);
      int32_t lastPosition = 0;
      const std::vector<DsState> batch = ExpandDelays(entry, lastPosition);
      if (!FilterNewStates(batch, lastPosition, sweep, fresh, positions)) {
        stopped = true;
        break;
      }
      if (!fresh.empty())
        successors_.GenerateSuccessors(fresh, positions, entry.frozenClocks);
      lists.PopFront(current);
    }
    if (!stopped)
      space_.pastList = BddManager::Or(space_.pastList, sweep.ToBdd());
  }
  if (!stopped)
    ConsoleLine("pastlist:");
  manager.PrintInfo(info);
  ConsoleLine("DsState Number in pastList:\t" + std::to_string(dsStateCount));
  return 1;
}

}  // namespace tickcheck
