#include "check/checker.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "expr/property_evaluation.h"
#include "model/console.h"

namespace tickcheck {
namespace {

// The number of delays from which a run's stretch in a stored box is skipped after a test of
// the whole box against the reached set.
constexpr int32_t kLongStretch = 64;

// The control is asked once per this many states made: often enough for a timely progress line or
// stop, rarely enough to cost nothing next to the diagram operations of each state.
constexpr int64_t kStatesPerPoll = 64;

}  // namespace

Checker::Checker(CStateSpace& space) : space_(space), successors_(space) {
  for (const CProperty& property : space.system.properties) {
    comparesClocks_.push_back(
        std::any_of(property.atoms.begin(), property.atoms.end(),
                    [](const CAtomProperty& atom) { return atom.kind == CAtomProperty::kClock; }));
  }
}

SearchProgress Checker::Progress() const {
  return {dsStateCount, static_cast<int64_t>(space_.waitingLists.Size()),
          successors_.FiredTransitions(), sweeps_};
}

int32_t Checker::NextWaitingIndex() {
  return space_.waitingLists.NextNonEmpty(std::max(space_.currentWaitingIndex, 0));
}

Checker::DelayRun Checker::ExpandDelays(const WaitingDsState& entry) const {
  DelayRun run;
  run.entry = &entry;
  if (entry.delayCount <= 1)
    return run;
  const DsState& state = entry.state;
  run.advancing = SuccessorGenerator::AdvancingPositions(entry);
  // The delay after which every advancing clock stands at its Max (at least 1: with no advancing
  // clock, every delayed copy equals the first one).
  int64_t saturation = 1;
  for (size_t k : run.advancing) {
    const int32_t max = space_.system.variables[static_cast<size_t>(state.activeClocks[k]) - 1].Max;
    saturation = std::max(saturation, int64_t{max} - state.clockValues[k]);
  }
  run.lastPosition = entry.delayCount - 1;
  run.size = static_cast<int32_t>(std::min<int64_t>(entry.delayCount, saturation + 1));
  return run;
}

DsState Checker::StateAt(const DelayRun& run, int32_t k) const {
  DsState state = run.entry->state;
  if (k > 0)
    successors_.Delay(state, run.advancing, k);
  return state;
}

int32_t Checker::BoxReach(const DelayRun& run, int32_t k, const SweepSet::Box& box,
                          bool forward) const {
  const DsState& base = run.entry->state;
  int64_t reach = forward ? run.size - 1 : 0;
  for (size_t position : run.advancing) {
    const int32_t clock = base.activeClocks[position];
    const int64_t max = space_.system.variables[static_cast<size_t>(clock) - 1].Max;
    const int64_t start = base.clockValues[position];
    // The clock's value along the run, min(start + j, max), never decreases unless it starts
    // above its Max.
    if (start > max)
      return k;
    if (forward && box.end[position] < max)
      reach = std::min(reach, box.end[position] - start);
    if (!forward)
      reach = std::max(reach, box.start[position] - start);
  }
  return static_cast<int32_t>(forward ? std::max<int64_t>(reach, k) : std::min<int64_t>(reach, k));
}

SweepSet::Box Checker::OwnBox(const DsState& state) const {
  SweepSet::Box box{state.clockValues, state.clockValues};
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    space_.ClockInterval(state, state.activeClocks[k], state.clockValues[k], box.start[k],
                         box.end[k]);
  }
  return box;
}

bool Checker::FilterNewStates(const DelayRun& run, SweepSet& sweep, std::vector<DsState>& fresh,
                              std::vector<int32_t>& positions) {
  fresh.clear();
  positions.clear();
  const DsState& first = run.entry->state;
  bool allUAtMostL = true;
  for (size_t p = 0; p < space_.system.processes.size(); ++p) {
    const CProcess& process = space_.system.processes[p];
    allUAtMostL =
        allUAtMostL && process.locations[static_cast<size_t>(first.locations[p]) - 1].allUAtMostL;
  }
  const int32_t size = run.size;
  // The last state of the run may stand for several equal copies (see ExpandDelays): visited
  // from the back it is met at the last of them, from the front at the first.
  auto position = [&](int32_t k) { return (allUAtMostL && k == size - 1) ? run.lastPosition : k; };
  std::vector<std::pair<int32_t, DsState>> kept;
  for (int32_t step = 0; step < size; ++step) {
    const int32_t k = allUAtMostL ? size - 1 - step : step;
    DsState state = StateAt(run, k);
    if (control_ != nullptr && ++statesMade_ % kStatesPerPoll == 0 &&
        !control_->Continue(Progress())) {
      return false;
    }
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
    // The fuzz build bounds the work of one input: the search ends as an early end does.
    if (++examined_ > TICKCHECK_FUZZ_STATE_LIMIT)
      return false;
#endif
    // A run of millions of delays that one box holds is passed over at once: the states of the
    // run in the box of a state of the sweep, or of a stored state whose own box the reached set
    // holds whole, are not new.
    auto skip = [&](const SweepSet::Box& box) {
      const int32_t reach = BoxReach(run, k, box, !allUAtMostL);
      step += allUAtMostL ? k - reach : reach - k;
    };
    if (!space_.Encodable(state, true))
      continue;
    if (const SweepSet::Box* box = sweep.Find(state)) {
      if (space_.useClockIntervals)
        skip(*box);
      continue;
    }
    if (space_.ContainsState(space_.pastList, state)) {
      if (space_.useClockIntervals) {
        // Testing the whole box costs diagram operations: only worth it for a long stretch.
        const SweepSet::Box own = OwnBox(state);
        const int32_t reach = BoxReach(run, k, own, !allUAtMostL);
        if (std::abs(reach - k) >= kLongStretch &&
            BddManager::Equal(
                space_.pastList,
                BddManager::Or(space_.pastList, space_.BoxDiagram(state, own.start, own.end)))) {
          skip(own);
        }
      }
      continue;
    }
    if (!CheckProperties(state))
      return false;
    ++dsStateCount;
    sweep.Add(state, space_.useClockIntervals);
    if (space_.useClockIntervals)
      skip(OwnBox(state));
    kept.emplace_back(position(k), std::move(state));
  }
  if (allUAtMostL)
    std::reverse(kept.begin(), kept.end());
  for (auto& [at, state] : kept) {
    positions.push_back(at);
    fresh.push_back(std::move(state));
  }
  return true;
}

bool Checker::IsOpen(size_t property) const {
  const int32_t type = space_.system.properties[property].Type;
  const bool result = space_.propertyResult[property] != 0;
  return (type == 0 && !result) || (type == 1 && result);
}

bool Checker::EvaluateOpenProperties(const DsState& state, bool withClockAtoms) {
  bool open = false;
  const std::vector<CProperty>& properties = space_.system.properties;
  for (size_t i = 0; i < properties.size(); ++i) {
    if ((comparesClocks_[i] != 0) != withClockAtoms || !IsOpen(i))
      continue;
    open = true;
    space_.propertyResult[i] = Holds(properties[i], space_.system, state) ? 1 : 0;
  }
  return open;
}

std::vector<int64_t> Checker::ClockAtomDelays(const DsState& state) const {
  // An atom x ~ c changes its answer only where x reaches c or c + 1, and x advances by one per
  // delay up to its Max: between these delays every open property keeps its answer.
  std::vector<int64_t> delays;
  const std::vector<CProperty>& properties = space_.system.properties;
  for (size_t i = 0; i < properties.size(); ++i) {
    if (comparesClocks_[i] == 0 || !IsOpen(i))
      continue;
    for (const CAtomProperty& atom : properties[i].atoms) {
      if (atom.kind != CAtomProperty::kClock)
        continue;
      const auto at =
          std::find(state.activeClocks.begin(), state.activeClocks.end(), atom.variable);
      if (at == state.activeClocks.end())
        continue;
      const int64_t value = state.clockValues[static_cast<size_t>(at - state.activeClocks.begin())];
      const int64_t max = space_.system.variables[static_cast<size_t>(atom.variable) - 1].Max;
      for (const int64_t reached : {int64_t{atom.bound}, int64_t{atom.bound} + 1}) {
        if (reached > value && reached <= max)
          delays.push_back(reached - value);
      }
    }
  }
  std::sort(delays.begin(), delays.end());
  delays.erase(std::unique(delays.begin(), delays.end()), delays.end());
  return delays;
}

bool Checker::CheckProperties(const DsState& state) {
  if (space_.system.properties.empty())
    return true;
  bool open = false;
  if (!space_.checkTimeSuccessors) {
    open = EvaluateOpenProperties(state, false);
  } else {
    const std::vector<DsState> delays = successors_.InvariantDelays(state);
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
    examined_ += static_cast<int64_t>(delays.size());
#endif
    for (const DsState& delayed : delays)
      open = EvaluateOpenProperties(delayed, false) || open;
  }
  if (!EvaluateOpenProperties(state, true))
    return open;
  // A property that compares clocks is decided on every delay that the invariants allow: the
  // state may wait as long as each tick keeps them. The delays at which they hold form one
  // interval from the first tick on (a comparison of a clock, which only grows, holds on an
  // interval of delays), so a delay at which they fail ends the waiting.
  const std::vector<int64_t> delays = ClockAtomDelays(state);
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
  examined_ += static_cast<int64_t>(delays.size());
#endif
  std::vector<size_t> all(state.activeClocks.size());
  std::iota(all.begin(), all.end(), size_t{0});
  for (const int64_t d : delays) {
    DsState delayed = state;
    if (d > 1) {
      successors_.Delay(delayed, all, 1);
      if (!successors_.InvariantsHold(delayed))
        break;
      delayed = state;
    }
    successors_.Delay(delayed, all, d);
    if (!successors_.InvariantsHold(delayed))
      break;
    EvaluateOpenProperties(delayed, true);
  }
  return true;
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
    ++sweeps_;
    const int32_t current = space_.currentWaitingIndex;
    WaitingLists& lists = space_.waitingLists;
    // Entries appended while the list is walked are visited in the same walk; the entry being
    // expanded stays at the front until it is done.
    while (!lists.Empty(current)) {
      const WaitingDsState& entry = lists.Front(current);
      if (!FilterNewStates(ExpandDelays(entry), sweep, fresh, positions)) {
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
