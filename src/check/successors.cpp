#include "check/successors.h"

#include <algorithm>
#include <limits>

#include "expr/evaluation.h"
#include "model/console.h"

namespace tickcheck {
namespace {

int32_t ClampToInt(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

bool Contains(const std::vector<int32_t>& list, int32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// A comparison `x code bound` fails while x stands at `value` and advances by one per delay up to
// `max`: the number of further delays after which it can hold, or -1 when it never holds again.
int64_t DelaysUntilHolds(int32_t code, int64_t value, int64_t bound, int64_t max) {
  int64_t threshold = 0;
  switch (code) {
    case ExpType::kNotEqual:
      return value >= max ? -1 : 1;
    case ExpType::kGreater:
      threshold = bound + 1;
      break;
    case ExpType::kAtLeast:
    case ExpType::kEqual:
      threshold = bound;
      break;
    default:
      return -1;
  }
  if (value >= threshold || threshold > max)
    return -1;
  return threshold - value;
}

}  // namespace

SuccessorGenerator::SuccessorGenerator(CStateSpace& space)
    : space_(space), system_(space.system), composition_(space.composition), ranges_(space) {}

const CVariable* SuccessorGenerator::Variable(int32_t id) const {
  if (id < 1 || static_cast<size_t>(id) > system_.variables.size())
    return nullptr;
  return &system_.variables[static_cast<size_t>(id) - 1];
}

const CLocation& SuccessorGenerator::LocationOf(const DsState& state, size_t process) const {
  return system_.processes[process].locations[static_cast<size_t>(state.locations[process]) - 1];
}

bool SuccessorGenerator::Satisfied(const DsState& state, int32_t expression) {
  const CExpression& comparison = system_.expressions[expression];
  const int32_t code = comparison.RootType();
  if (!IsRelationCode(code)) {
    ConsoleLine("Error type in satisfy");
    return false;
  }
  const int32_t bound = RightValue(comparison, Valuation(system_, state));
  return ApplyRelation(code, VariableValue(system_, state, comparison.LeftVariable()), bound);
}

bool SuccessorGenerator::GuardHolds(const DsState& state, const CComposedTransition& transition) {
  for (int32_t id : transition.guardExpId) {
    const CVariable* variable = Variable(system_.expressions[id].LeftVariable());
    if (variable == nullptr || variable->Type != VarType::kInteger)
      continue;
    if (!Satisfied(state, id))
      return false;
  }
  return true;
}

bool SuccessorGenerator::InvariantsHold(const DsState& state) {
  return FailingInvariant(state) == -1;
}

int32_t SuccessorGenerator::FailingInvariant(const DsState& state) {
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    const int32_t failing = FailingConstraint(state, LocationOf(state, p).invariantExpIds);
    if (failing != -1)
      return failing;
  }
  return -1;
}

int32_t SuccessorGenerator::FailingConstraint(const DsState& state,
                                              const std::vector<int32_t>& constraints) {
  for (int32_t id : constraints) {
    if (!Satisfied(state, id))
      return id;
  }
  return -1;
}

bool SuccessorGenerator::Delay(DsState& state, const std::vector<size_t>& positions,
                               int64_t delay) const {
  bool allAtMax = true;
  for (size_t position : positions) {
    const int32_t max =
        system_.variables[static_cast<size_t>(state.activeClocks[position]) - 1].Max;
    int32_t& value = state.clockValues[position];
    value = ClampToInt(std::min<int64_t>(int64_t{value} + delay, max));
    allAtMax = allAtMax && value == max;
  }
  return allAtMax;
}

bool SuccessorGenerator::HoldsAtMax(const DsState& state, int32_t expression) const {
  const CExpression& comparison = system_.expressions[expression];
  const CVariable* variable = Variable(comparison.LeftVariable());
  return variable != nullptr && variable->Type == VarType::kClock &&
         ApplyRelation(comparison.RootType(), variable->Max,
                       RightValue(comparison, Valuation(system_, state)));
}

void SuccessorGenerator::CollectBounds(const DsState& state, const CComposedTransition& transition,
                                       DelayBounds& bounds) {
  auto record = [&bounds, &state, this](int32_t expression) {
    const CExpression& comparison = system_.expressions[expression];
    const Constraint constraint{comparison.LeftVariable(), expression};
    bounds.variables.push_back(constraint.variable);
    const int32_t code = comparison.RootType();
    // A clock stays at its Max once there: a comparison that holds at the Max bounds no delay
    // from above (x <= Max holds for ever, x == Max from the delay that reaches it on).
    if (code != ExpType::kGreater && code != ExpType::kAtLeast && !HoldsAtMax(state, expression))
      bounds.upper.push_back(constraint);
    if (code != ExpType::kLess && code != ExpType::kAtMost)
      bounds.lower.push_back(constraint);
  };
  // Only the state's clocks change while time passes: a comparison of an integer, or of a clock
  // the state does not carry, keeps its answer, which the guard test and the state's own
  // invariants give.
  auto recordClock = [&](int32_t expression) {
    if (Contains(state.activeClocks, system_.expressions[expression].LeftVariable()))
      record(expression);
  };
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    for (int32_t id : LocationOf(state, p).invariantExpIds)
      recordClock(id);
  }
  for (int32_t id : transition.guardExpId)
    recordClock(id);
}

SuccessorGenerator::Window SuccessorGenerator::DelayWindow(const DsState& state,
                                                           const std::vector<int32_t>& clocks,
                                                           const DelayBounds& bounds) {
  Window window;
  for (int32_t x : clocks) {
    // A variable that no current location lists as a clock has no bounds.
    const CVariable* variable = Variable(x);
    if (variable == nullptr || variable->Type != VarType::kClock)
      continue;
    if (const std::optional<LUBound> bound = space_.ClockBounds(state, x)) {
      window.hi = std::max<int64_t>(
          window.hi, int64_t{std::max(bound->L, bound->U)} + 1 - VariableValue(system_, state, x));
    }
  }
  for (int32_t x : clocks) {
    if (!Contains(bounds.variables, x))
      continue;
    const int64_t value = VariableValue(system_, state, x);
    for (const Constraint& constraint : bounds.lower) {
      if (constraint.variable != x)
        continue;
      const CExpression& comparison = system_.expressions[constraint.expression];
      const int64_t distance = int64_t{RightValue(comparison, Valuation(system_, state))} - value;
      window.lo =
          std::max(window.lo, comparison.RootType() == ExpType::kGreater ? distance + 1 : distance);
    }
    for (const Constraint& constraint : bounds.upper) {
      if (constraint.variable != x)
        continue;
      const CExpression& comparison = system_.expressions[constraint.expression];
      const int64_t distance = int64_t{RightValue(comparison, Valuation(system_, state))} - value;
      window.hi =
          std::min(window.hi, comparison.RootType() == ExpType::kLess ? distance - 1 : distance);
    }
  }
  return window;
}

void SuccessorGenerator::GenerateSuccessors(const std::vector<DsState>& states,
                                            const std::vector<int32_t>& positions,
                                            const std::vector<int32_t>& frozen) {
  const DsState& first = states.front();
  const int32_t index = first.locationIndex;
  if (composition_.composedFlags[static_cast<size_t>(index)] == 0) {
    const std::vector<int32_t> vector(first.locations.begin(), first.locations.end());
    composition_.composeLocation(vector);
    composition_.composedFlags[static_cast<size_t>(index)] = 1;
  }
  const std::vector<CComposedTransition>& transitions =
      composition_.transitionLists[static_cast<size_t>(index)];
  for (const CComposedTransition& transition : transitions) {
    if (!GuardHolds(first, transition))
      continue;
    DelayBounds bounds;
    CollectBounds(first, transition, bounds);
    std::vector<int32_t> advancing;
    for (int32_t x : bounds.variables) {
      if (!Contains(frozen, x))
        advancing.push_back(x);
    }
    // Waiting matters for every advancing clock until it passes its L and U bounds, also for a
    // clock that nothing in this step compares: a later guard may.
    std::vector<int32_t> waiting = advancing;
    for (int32_t x : first.activeClocks) {
      if (!Contains(frozen, x) && !Contains(bounds.variables, x))
        waiting.push_back(x);
    }
    const Window f = DelayWindow(first, frozen, bounds);
    const Window a = DelayWindow(first, waiting, bounds);

    enum class Mode { kUnbounded, kAdvancing, kFrozen, kBoth } mode;
    const bool upperInFrozen =
        std::any_of(bounds.upper.begin(), bounds.upper.end(),
                    [&](const Constraint& c) { return Contains(frozen, c.variable); });
    const bool upperInAdvancing =
        std::any_of(bounds.upper.begin(), bounds.upper.end(),
                    [&](const Constraint& c) { return Contains(advancing, c.variable); });
    if (bounds.upper.empty()) {
      mode = Mode::kUnbounded;
    } else if (!upperInFrozen) {
      mode = Mode::kAdvancing;
    } else if (upperInAdvancing) {
      mode = Mode::kBoth;
    } else {
      mode = Mode::kFrozen;
    }
    // No transition is passed over because the first state's window is empty: the later states
    // of the batch have smaller lower ends.
    std::vector<WaitingDsState> entries;
    for (size_t i = 0; i < states.size(); ++i) {
      const int64_t offset = int64_t{positions[i]} - positions[0];
      const int64_t stateLo = std::max(a.lo - offset, f.lo);
      int64_t stateHi = 0;
      switch (mode) {
        case Mode::kUnbounded:
          stateHi = std::max(f.hi, a.hi);
          break;
        case Mode::kAdvancing:
          stateHi = std::max<int64_t>(a.hi - offset, 0);
          break;
        case Mode::kFrozen:
          stateHi = f.hi;
          break;
        case Mode::kBoth:
          stateHi = std::min(std::max<int64_t>(a.hi - offset, 0), f.hi);
          break;
      }
      if (stateHi < stateLo)
        continue;
      DsState target;
      const int32_t count =
          FireTransition(states[i], transition, ClampToInt(stateLo), ClampToInt(stateHi), target);
      if (count == -1 || !ranges_.Admit(states[i], target, transition) ||
          !space_.Encodable(target, true))
        continue;
      ++firedTransitions_;
      std::vector<int32_t> fixed = FixedClocks(states[i], target, transition);
      if (transition.isUrgent) {
        entries.push_back({std::move(target), 1, std::move(fixed)});
        break;
      }
      const int32_t delayCount = fixed.empty() ? 1 : count;
      entries.push_back({std::move(target), delayCount, std::move(fixed)});
    }
    MergeIntoWaiting(entries, transition.pre == transition.post);
  }
}

int32_t SuccessorGenerator::FireTransition(const DsState& state,
                                           const CComposedTransition& transition, int32_t lo,
                                           int32_t hi, DsState& target) {
  std::vector<size_t> all(state.activeClocks.size());
  for (size_t k = 0; k < all.size(); ++k)
    all[k] = k;
  const bool updatesReadClocks =
      std::any_of(transition.updates.begin(), transition.updates.end(),
                  [this](const CUpdate& update) { return ReadsClock(update.updateExpId, false); });
  for (int64_t d = lo; d <= hi;) {
#ifdef TICKCHECK_FUZZ_STATE_LIMIT
    // The fuzz build bounds the work of one input: delays tried one by one count too.
    if (++delaysTried_ > 100 * int64_t{TICKCHECK_FUZZ_STATE_LIMIT})
      break;
#endif
    target = state;
    // Beyond the delay at which every clock stands at its Max, every later delay gives this same
    // target, so a target that fails here fails for all of them.
    const bool saturated = Delay(target, all, d);
    // The window reaches as far as waiting may matter, which can be past an upper bound of the
    // guard: the whole guard is tested on the source delayed by d.
    const int32_t failingGuard = FailingConstraint(target, transition.guardExpId);
    if (failingGuard != -1) {
      if (saturated || !IsRelationCode(system_.expressions[failingGuard].RootType()))
        break;
      d = NextGuardDelay(target, failingGuard, d);
      if (d < 0)
        break;
      continue;
    }
    target.locationIndex = transition.post;
    target.locations = composition_.LocationVector(transition.post);
    ApplyJump(state, target, transition);
    const int32_t failing = FailingInvariant(target);
    if (failing == -1) {
      return RemainingDelays(target, ClampToInt(int64_t{hi} - d + 1),
                             FixedClocks(state, target, transition));
    }
    if (saturated || !IsRelationCode(system_.expressions[failing].RootType()))
      break;
    d = updatesReadClocks ? d + 1 : NextCandidateDelay(state, target, transition, failing, d);
    if (d < 0)
      break;
  }
  return -1;
}

bool SuccessorGenerator::ReadsClock(int32_t expression, bool exceptCompared) const {
  const CExpression& entry = system_.expressions[expression];
  const std::vector<ExpNode>& nodes = entry.Nodes();
  const int32_t compared = nodes.empty() ? -1 : nodes[static_cast<size_t>(entry.Root())].left;
  for (const ExpBinding& binding : entry.Bindings()) {
    if (exceptCompared && binding.node == compared)
      continue;
    const CVariable* variable = Variable(binding.variable);
    if (variable != nullptr && variable->Type != VarType::kInteger)
      return true;
  }
  return false;
}

int64_t SuccessorGenerator::NextGuardDelay(const DsState& delayed, int32_t failing, int64_t delay) {
  // Every active clock of the source advances with the delay, to at most its Max; anything else
  // the guard reads keeps its value. A failing comparison of an advancing clock with a bound that
  // reads no clock holds later only when it is a lower bound that the clock still reaches.
  const CExpression& comparison = system_.expressions[failing];
  if (ReadsClock(failing, true))
    return delay + 1;
  const int32_t x = comparison.LeftVariable();
  const auto at = std::find(delayed.activeClocks.begin(), delayed.activeClocks.end(), x);
  if (at == delayed.activeClocks.end())
    return -1;
  const int64_t value = delayed.clockValues[static_cast<size_t>(at - delayed.activeClocks.begin())];
  const int64_t max = system_.variables[static_cast<size_t>(x) - 1].Max;
  const int64_t wait = DelaysUntilHolds(comparison.RootType(), value,
                                        RightValue(comparison, Valuation(system_, delayed)), max);
  return wait < 0 ? -1 : delay + wait;
}

int64_t SuccessorGenerator::NextCandidateDelay(const DsState& source, const DsState& target,
                                               const CComposedTransition& transition,
                                               int32_t failing, int64_t delay) {
  // The target's values change with the delay only through the clocks it keeps from the source
  // without an update: each such clock's value is min(source value + delay, Max). A comparison of
  // such a clock with a bound that reads no clock therefore fails either for every later delay or
  // up to the delay at which the clock reaches the bound; anything else is tried delay by delay.
  const CExpression& comparison = system_.expressions[failing];
  const int32_t code = comparison.RootType();
  if (ReadsClock(failing, true))
    return delay + 1;
  const int32_t x = comparison.LeftVariable();
  const auto kept = std::find(target.activeClocks.begin(), target.activeClocks.end(), x);
  const bool advances = kept != target.activeClocks.end() && Contains(source.activeClocks, x) &&
                        std::none_of(transition.updates.begin(), transition.updates.end(),
                                     [x](const CUpdate& update) { return update.updateVar == x; });
  if (!advances)
    return -1;
  const int64_t value = target.clockValues[static_cast<size_t>(kept - target.activeClocks.begin())];
  const int64_t max = system_.variables[static_cast<size_t>(x) - 1].Max;
  const int64_t wait =
      DelaysUntilHolds(code, value, RightValue(comparison, Valuation(system_, target)), max);
  return wait < 0 ? -1 : delay + wait;
}

void SuccessorGenerator::ApplyJump(const DsState& source, DsState& target,
                                   const CComposedTransition& transition) {
  const bool changed =
      std::any_of(transition.procId.begin(), transition.procId.end(), [&](int32_t p) {
        return LocationOf(source, static_cast<size_t>(p)).activeClocks !=
               LocationOf(target, static_cast<size_t>(p)).activeClocks;
      });
  if (changed) {
    const std::vector<int32_t> delayed = target.clockValues;
    target.activeClocks.clear();
    target.clockValues.clear();
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      for (int32_t clock : LocationOf(target, p).activeClocks) {
        // A clock listed twice (by two processes, or twice by one location) is carried once.
        if (Contains(target.activeClocks, clock))
          continue;
        const auto kept = std::find(source.activeClocks.begin(), source.activeClocks.end(), clock);
        target.activeClocks.push_back(clock);
        target.clockValues.push_back(
            kept == source.activeClocks.end()
                ? 0
                : delayed[static_cast<size_t>(kept - source.activeClocks.begin())]);
      }
    }
  }
  for (const CUpdate& update : transition.updates) {
    // Later updates see the values of earlier ones.
    const int32_t value =
        Evaluate(system_.expressions[update.updateExpId], Valuation(system_, target));
    const CVariable* variable = Variable(update.updateVar);
    if (variable == nullptr)
      continue;
    if (variable->Type == VarType::kInteger) {
      const int32_t index = IntegerValueIndex(system_, target, update.updateVar);
      if (index >= 0)
        target.intValues[static_cast<size_t>(index)] = value;
      continue;
    }
    // Clocks that the target does not carry, and variables of the third kind, hold no value.
    const auto clock =
        std::find(target.activeClocks.begin(), target.activeClocks.end(), update.updateVar);
    if (clock != target.activeClocks.end()) {
      target.clockValues[static_cast<size_t>(clock - target.activeClocks.begin())] = value;
    }
  }
}

std::vector<int32_t> SuccessorGenerator::FixedClocks(const DsState& source, const DsState& target,
                                                     const CComposedTransition& transition) {
  std::vector<int32_t> fixed = transition.resetClockId;
  for (int32_t clock : target.activeClocks) {
    if (!Contains(source.activeClocks, clock))
      fixed.push_back(clock);
  }
  std::sort(fixed.begin(), fixed.end());
  fixed.erase(std::unique(fixed.begin(), fixed.end()), fixed.end());
  return fixed;
}

int32_t SuccessorGenerator::RemainingDelays(const DsState& target, int32_t limit,
                                            const std::vector<int32_t>& fixed) {
  if (target.activeClocks.empty())
    return 1;
  const Valuation valuation(system_, target);
  int64_t count = limit;
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    for (int32_t id : LocationOf(target, p).invariantExpIds) {
      const CExpression& comparison = system_.expressions[id];
      const int32_t x = comparison.LeftVariable();
      // The target holds its invariants. One over anything but a clock that advances with the
      // firing delay, or one that holds at the clock's Max, holds at every later firing too.
      if (Contains(fixed, x) || !Contains(target.activeClocks, x) || HoldsAtMax(target, id))
        continue;
      const int32_t code = comparison.RootType();
      if (code < ExpType::kEqual || code > ExpType::kNotEqual) {
        ConsoleLine("Error op type");
        return -1;
      }
      const int64_t distance =
          int64_t{RightValue(comparison, valuation)} - VariableValue(system_, target, x);
      if (code == ExpType::kEqual) {
        count = 1;
      } else if (code == ExpType::kLess) {
        count = std::min(count, distance);
      } else if (code == ExpType::kAtMost) {
        count = std::min(count, distance + 1);
      }
    }
  }
  // The target satisfies its invariants, so at least the firing delay itself counts.
  return ClampToInt(std::max<int64_t>(count, 1));
}

uint64_t SuccessorGenerator::MergeKey(const WaitingDsState& entry) const {
  // Entries merge only when their frozen clocks, the values of those that are active, and their
  // integer values agree; the key mixes exactly these.
  uint64_t key = 0x9E3779B97F4A7C15ull;
  auto mix = [&key](int64_t value) {
    key ^= static_cast<uint64_t>(value) + 0x9E3779B97F4A7C15ull + (key << 6) + (key >> 2);
  };
  for (int32_t value : entry.state.intValues)
    mix(value);
  mix(-1);
  for (int32_t clock : entry.frozenClocks) {
    mix(clock);
    const auto at =
        std::find(entry.state.activeClocks.begin(), entry.state.activeClocks.end(), clock);
    if (at != entry.state.activeClocks.end()) {
      mix(entry.state.clockValues[static_cast<size_t>(at - entry.state.activeClocks.begin())]);
    }
  }
  return key;
}

void SuccessorGenerator::MergeIntoWaiting(std::vector<WaitingDsState>& entries, bool selfLoop) {
  if (entries.empty())
    return;
  WaitingLists& lists = space_.waitingLists;
  const int32_t index = entries.front().state.locationIndex;
  for (WaitingDsState& fresh : entries) {
    const uint64_t key = MergeKey(fresh);
    const std::vector<size_t> advancing = AdvancingPositions(fresh);
    bool taken = false;
    // Entries of other keys would all compare as apart, so only these are walked, in list order.
    if (const WaitingLists::Candidates* candidates = lists.WithKey(index, key)) {
      // The list's first entry is the one being expanded when the transition loops.
      const WaitingDsState* expanded = selfLoop ? &lists.Front(index) : nullptr;
      for (const WaitingLists::List::iterator& stored : *candidates) {
        if (&*stored == expanded)
          continue;
        int32_t merged = 0;
        const int32_t answer = CompareEntries(fresh, advancing, *stored, merged);
        if (answer == -2)
          continue;
        if (answer == 1)
          stored->state = std::move(fresh.state);
        if (answer != 0)
          stored->delayCount = merged;
        taken = true;
        break;
      }
    }
    if (!taken)
      lists.Append(index, std::move(fresh), key);
  }
}

std::vector<size_t> SuccessorGenerator::AdvancingPositions(const WaitingDsState& entry) {
  std::vector<size_t> advancing;
  for (size_t k = 0; k < entry.state.activeClocks.size(); ++k) {
    if (!Contains(entry.frozenClocks, entry.state.activeClocks[k]))
      advancing.push_back(k);
  }
  return advancing;
}

int32_t SuccessorGenerator::CompareEntries(const WaitingDsState& fresh,
                                           const WaitingDsState& stored, int32_t& merged) const {
  return CompareEntries(fresh, AdvancingPositions(fresh), stored, merged);
}

int32_t SuccessorGenerator::CompareEntries(const WaitingDsState& fresh,
                                           const std::vector<size_t>& advancing,
                                           const WaitingDsState& stored, int32_t& merged) const {
  const DsState& w = fresh.state;
  const DsState& e = stored.state;
  if (fresh.frozenClocks != stored.frozenClocks || w.intValues != e.intValues ||
      w.activeClocks != e.activeClocks) {
    return -2;
  }
  for (int32_t clock : fresh.frozenClocks) {
    const auto at = std::find(w.activeClocks.begin(), w.activeClocks.end(), clock);
    if (at == w.activeClocks.end())
      continue;
    const size_t k = static_cast<size_t>(at - w.activeClocks.begin());
    if (w.clockValues[k] != e.clockValues[k])
      return -2;
  }
  const int64_t cW = fresh.delayCount;
  const int64_t cE = stored.delayCount;
  if (w.clockValues == e.clockValues) {
    merged = static_cast<int32_t>(std::max(cW, cE));
    return cW == cE ? 0 : (cW < cE ? -1 : 1);
  }
  if (advancing.empty())
    return -2;
  if (advancing.size() == 1) {
    const int64_t wv = w.clockValues[advancing[0]];
    const int64_t ev = e.clockValues[advancing[0]];
    if (wv <= ev) {
      if (ev - wv > cW)
        return -2;
      merged = ClampToInt(std::max(cW, ev - wv + cE));
      return 1;
    }
    if (wv - ev > cE)
      return -2;
    merged = ClampToInt(std::max(cE, wv - ev + cW));
    return -1;
  }
  // Several advancing clocks: the entry whose first differing clock is smaller is earlier; the
  // later one must be the earlier one delayed by some s (clocks stopping at their Max) within
  // the earlier one's count. The merged run covers both: the larger of the two ends.
  size_t decisive = 0;
  while (decisive < advancing.size() &&
         w.clockValues[advancing[decisive]] == e.clockValues[advancing[decisive]]) {
    ++decisive;
  }
  if (decisive == advancing.size())
    return -2;
  const bool freshEarlier = w.clockValues[advancing[decisive]] < e.clockValues[advancing[decisive]];
  const WaitingDsState& earlier = freshEarlier ? fresh : stored;
  const WaitingDsState& later = freshEarlier ? stored : fresh;
  const std::vector<int32_t>& x = earlier.state.clockValues;
  const std::vector<int32_t>& y = later.state.clockValues;
  auto maxOf = [this, &w](size_t k) {
    return int64_t{system_.variables[static_cast<size_t>(w.activeClocks[k]) - 1].Max};
  };
  const int64_t earlierCount = earlier.delayCount;
  // Whether some advancing clock of the later entry is below its Max: then its difference to
  // the earlier entry is the shift, whatever its sign.
  bool belowMax = false;
  int64_t shift = 0;
  for (size_t k : advancing) {
    if (y[k] < maxOf(k)) {
      belowMax = true;
      shift = int64_t{y[k]} - x[k];
      break;
    }
  }
  if (!belowMax) {
    for (size_t k : advancing)
      shift = std::max(shift, maxOf(k) - x[k]);
    if (shift > earlierCount)
      return -2;
    merged = ClampToInt(std::max(earlierCount, shift + 1));
    return freshEarlier ? 1 : -1;
  }
  if (shift <= 0 || shift > earlierCount)
    return -2;
  for (size_t k : advancing) {
    const int64_t delayed = int64_t{x[k]} + shift;
    const bool follows = delayed == y[k] || (delayed > y[k] && y[k] == maxOf(k));
    if (!follows)
      return -2;
  }
  merged = ClampToInt(std::max(earlierCount, shift + later.delayCount));
  return freshEarlier ? 1 : -1;
}

int32_t SuccessorGenerator::MaxDelay(const DsState& state) {
  const Valuation valuation(system_, state);
  int64_t bound = 65535;
  bool found = false;
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    for (int32_t id : LocationOf(state, p).invariantExpIds) {
      const CExpression& comparison = system_.expressions[id];
      const int32_t code = comparison.RootType();
      if (code != ExpType::kLess && code != ExpType::kAtMost)
        continue;
      found = true;
      const int64_t distance = int64_t{RightValue(comparison, valuation)} -
                               VariableValue(system_, state, comparison.LeftVariable());
      bound = std::min(bound, code == ExpType::kAtMost ? distance + 1 : distance);
    }
  }
  return found ? ClampToInt(bound) : 1;
}

std::vector<DsState> SuccessorGenerator::InvariantDelays(const DsState& state) {
  std::vector<DsState> states{state};
  const int32_t count = MaxDelay(state);
  std::vector<size_t> all(state.activeClocks.size());
  for (size_t k = 0; k < all.size(); ++k)
    all[k] = k;
  for (int32_t d = 1; d < count; ++d) {
    DsState delayed = state;
    const bool saturated = Delay(delayed, all, d);
    states.push_back(std::move(delayed));
    // Later copies would all equal this one.
    if (saturated)
      break;
  }
  return states;
}

}  // namespace tickcheck
