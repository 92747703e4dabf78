#include "check/successors.h"

#include <algorithm>

#include "check/delay.h"
#include "expr/comparison.h"
#include "expr/evaluation.h"
#include "expr/program.h"

namespace tickcheck {
namespace {

bool Contains(const std::vector<int32_t>& list, int32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

SuccessorGenerator::SuccessorGenerator(const ConstraintTests& tests,
                                       const ClockIntervals& intervals, CComposition& composition,
                                       WaitingLists& waiting, ValueRanges& values,
                                       RunTimeErrors& errors, SearchBudget& budget)
    : tests_(tests),
      model_(tests.Model()),
      windows_(tests, intervals),
      composition_(composition),
      waiting_(waiting),
      values_(values),
      errors_(errors),
      budget_(budget),
      checked_(tests.Model().format == 2),
      timeStops_(model_.HasTimeStops()),
      urgentJumps_(std::ranges::any_of(model_.processes, [](const CProcess& process) {
        return std::ranges::any_of(process.locations, [](const CLocation& location) {
          return std::ranges::any_of(
              location.jumps, [](const CJump& jump) { return jump.Syn <= 0 && jump.iUrgent; });
        });
      })) {}

namespace {

// A transition's windows for the states of one batch: those of the batch's first state, and how
// its upper end moves for a state `offset` positions later, whose advancing clocks stand that much
// further.
class BatchWindow {
 public:
  BatchWindow(const Windows& windows, const DelayBounds& bounds) : windows_(windows) {
    const bool upperInFrozen = std::any_of(bounds.upper.begin(), bounds.upper.end(),
                                           [](const DelayConstraint& c) { return c.frozen; });
    const bool upperInAdvancing = std::any_of(bounds.upper.begin(), bounds.upper.end(),
                                              [](const DelayConstraint& c) { return !c.frozen; });
    if (bounds.upper.empty()) {
      mode_ = Mode::kUnbounded;
    } else if (!upperInFrozen) {
      mode_ = Mode::kAdvancing;
    } else if (upperInAdvancing) {
      mode_ = Mode::kBoth;
    } else {
      mode_ = Mode::kFrozen;
    }
  }

  Window At(int64_t offset) const {
    const Window& f = windows_.frozen;
    const Window& a = windows_.advancing;
    Window window{std::max(a.lo - offset, f.lo), 0};
    switch (mode_) {
      case Mode::kUnbounded:
        window.hi = std::max(f.hi, a.hi);
        break;
      case Mode::kAdvancing:
        window.hi = std::max<int64_t>(a.hi - offset, 0);
        break;
      case Mode::kFrozen:
        window.hi = f.hi;
        break;
      case Mode::kBoth:
        window.hi = std::min(std::max<int64_t>(a.hi - offset, 0), f.hi);
        break;
    }
    return window;
  }

 private:
  enum class Mode { kUnbounded, kAdvancing, kFrozen, kBoth };
  Windows windows_;
  Mode mode_ = Mode::kUnbounded;
};

// Delays beyond any window.
constexpr int64_t kEndless = int64_t{1} << 40;

// Removes the delays of `cut` from the ascending disjoint `pieces`.
void Subtract(std::vector<Window>& pieces, const Window& cut) {
  std::vector<Window> rest;
  for (const Window& piece : pieces) {
    if (cut.hi < piece.lo || cut.lo > piece.hi) {
      rest.push_back(piece);
      continue;
    }
    if (piece.lo < cut.lo)
      rest.push_back({piece.lo, cut.lo - 1});
    if (cut.hi < piece.hi)
      rest.push_back({cut.hi + 1, piece.hi});
  }
  pieces = std::move(rest);
}

}  // namespace

void SuccessorGenerator::GenerateSuccessors(const std::vector<DsState>& states,
                                            const std::vector<int32_t>& positions,
                                            const std::vector<int32_t>& frozen) {
  const DsState& first = states.front();
  const int64_t index = first.locationIndex;
  if (!composition_.IsComposed(index)) {
    const std::vector<int32_t> vector(first.locations.begin(), first.locations.end());
    composition_.composeLocation(vector);
  }
  // Time may not pass as far as the windows of each state allow: each state's own limit.
  caps_.assign(states.size(), std::nullopt);
  if (composition_.TimeStopped(index)) {
    caps_.assign(states.size(), 0);
  } else if (composition_.HasUrgentChannel(index)) {
    for (size_t i = 0; i < states.size(); ++i)
      caps_[i] = UrgentDeadline(states[i]);
  }
  windows_.Prepare(first, frozen);
  for (const CComposedTransition& transition : composition_.Transitions(index)) {
    if (checked_) {
      if (errors_.LoopBoundReached())
        return;
      // The batch shares its discrete part, on which alone the bounds depend.
      if (const std::optional<ExpressionError> error =
              tests_.BoundError(first, transition.guardExpId)) {
        DsState target = first;
        target.locations = transition.postLocations;
        errors_.InTransition(*error, first, target, transition);
        continue;
      }
    }
    if (!tests_.GuardHolds(first, transition))
      continue;
    windows_.Collect(first, transition, bounds_);
    // The windows of the frozen clocks and of the advancing ones. Waiting matters for every
    // advancing clock until it passes its L and U bounds, also for a clock that nothing in this
    // step compares: a later guard may.
    const BatchWindow batch(windows_.Of(bounds_), bounds_);
    // No transition is passed over because the first state's window is empty: the later states
    // of the batch have smaller lower ends.
    for (size_t i = 0; i < states.size(); ++i) {
      Window window = batch.At(int64_t{positions[i]} - positions[0]);
      if (caps_[i])
        window.hi = std::min(window.hi, *caps_[i]);
      if (window.hi < window.lo)
        continue;
      AllowedPieces(states[i], transition, window, pieces_);
      for (const Window& piece : pieces_) {
        DsState& target = successor_.state;
        const std::optional<int32_t> count =
            FireTransition(states[i], transition, ClampToInt(piece.lo), ClampToInt(piece.hi),
                           target, successor_.frozenClocks);
        if (!count)
          continue;
        // An urgent jump is taken at the first delay at which it can be, or not at all.
        if (!values_.Admit(states[i], target, transition) || !values_.Encodable(target, true)) {
          if (transition.isUrgent)
            break;
          continue;
        }
        ++firedTransitions_;
        if (canonical_ != nullptr)
          canonical_->Canonicalise(successor_);
        // The entry being expanded waits at the front of its list and takes no merge.
        const bool selfLoop = successor_.state.locationIndex == index;
        if (transition.isUrgent) {
          successor_.delayCount = 1;
          waiting_.Insert(successor_, selfLoop);
          break;
        }
        successor_.delayCount = StandsForLaterFirings(transition) ? *count : 1;
        waiting_.Insert(successor_, selfLoop);
      }
    }
  }
}

bool SuccessorGenerator::StandsForLaterFirings(const CComposedTransition& transition) {
  if (!successor_.frozenClocks.empty())
    return true;
  if (!timeStops_ && !urgentJumps_)
    return false;
  if (!composition_.IsComposed(transition.post)) {
    const std::vector<int32_t> vector(transition.postLocations.begin(),
                                      transition.postLocations.end());
    composition_.composeLocation(vector);
  }
  if (timeStops_ &&
      (composition_.TimeStopped(transition.post) || composition_.HasUrgentChannel(transition.post)))
    return true;
  if (!urgentJumps_)
    return false;
  for (const CComposedTransition& next : composition_.Transitions(transition.post)) {
    if (next.isUrgent)
      return true;
  }
  return false;
}

std::optional<int64_t> SuccessorGenerator::DelayCap(const DsState& state) {
  if (!timeStops_)
    return std::nullopt;
  const int64_t index = state.locationIndex;
  if (!composition_.IsComposed(index)) {
    const std::vector<int32_t> vector(state.locations.begin(), state.locations.end());
    composition_.composeLocation(vector);
  }
  if (composition_.TimeStopped(index))
    return 0;
  if (composition_.HasUrgentChannel(index))
    return UrgentDeadline(state);
  return std::nullopt;
}

bool SuccessorGenerator::CanTakeAt(const DsState& state, const CComposedTransition& transition,
                                   int64_t delay) {
  if ((checked_ && tests_.BoundError(state, transition.guardExpId)) ||
      !tests_.GuardHolds(state, transition))
    return false;
  std::vector<Window> pieces;
  AllowedPieces(state, transition, {delay, delay}, pieces);
  return !pieces.empty() &&
         FirstFiring(state, transition, ClampToInt(delay), ClampToInt(delay), scratch_);
}

std::optional<int64_t> SuccessorGenerator::UrgentDeadline(const DsState& state) {
  windows_.Prepare(state, {});
  std::optional<int64_t> deadline;
  for (const CComposedTransition& transition : composition_.Transitions(state.locationIndex)) {
    if (!transition.urgentChannel || !tests_.GuardHolds(state, transition))
      continue;
    windows_.Collect(state, transition, bounds_);
    Window window = BatchWindow(windows_.Of(bounds_), bounds_).At(0);
    // Only an earlier firing can move the deadline.
    if (deadline)
      window.hi = std::min(window.hi, *deadline - 1);
    if (window.hi < window.lo)
      continue;
    std::vector<Window> pieces;
    AllowedPieces(state, transition, window, pieces);
    for (const Window& piece : pieces) {
      if (const std::optional<int64_t> delay = FirstFiring(state, transition, ClampToInt(piece.lo),
                                                           ClampToInt(piece.hi), scratch_)) {
        deadline = delay;
        break;
      }
    }
  }
  return deadline;
}

void SuccessorGenerator::AllowedPieces(const DsState& state, const CComposedTransition& transition,
                                       const Window& window, std::vector<Window>& pieces) const {
  pieces.assign({window});
  const std::span<const int32_t> excluded = transition.excludedGuards;
  std::vector<Window> held;
  for (size_t k = 0; k < excluded.size() && !pieces.empty();
       k += static_cast<size_t>(excluded[k]) + 1) {
    held.clear();
    HoldingDelays(state, excluded.subspan(k + 1, static_cast<size_t>(excluded[k])), window, held);
    for (const Window& cut : held)
      Subtract(pieces, cut);
  }
}

void SuccessorGenerator::HoldingDelays(const DsState& state, std::span<const int32_t> guard,
                                       const Window& window, std::vector<Window>& held) const {
  // A comparison of a clock with a bound that reads no clock holds on one interval of delays,
  // as the clock's value min(value + d, Max) only grows; any other comparison keeps its answer.
  Window holds{0, kEndless};
  bool regular = true;
  for (int32_t id : guard) {
    const ComparisonFacts facts = tests_.Facts(id);
    const auto at = std::find(state.activeClocks.begin(), state.activeClocks.end(), facts.variable);
    if (facts.readsClockBesideCompared || !IsRelationCode(facts.code)) {
      regular = false;
      break;
    }
    if (at == state.activeClocks.end()) {
      if (!tests_.Satisfied(state, id))
        return;
      continue;
    }
    const int64_t value = state.clockValues[static_cast<size_t>(at - state.activeClocks.begin())];
    const int64_t max = model_.variables[static_cast<size_t>(facts.variable) - 1].Max;
    if (value > max) {
      regular = false;
      break;
    }
    const int64_t bound = tests_.Bound(facts, id, state);
    if (BoundsFromBelow(facts.code)) {
      const int64_t lowest = LowestAdmitted(facts.code, bound);
      if (max < lowest)
        return;
      holds.lo = std::max(holds.lo, lowest - value);
    }
    if (BoundsFromAbove(facts.code)) {
      const int64_t highest = HighestAdmitted(facts.code, bound);
      if (value > highest)
        return;
      if (max > highest)
        holds.hi = std::min(holds.hi, highest - value);
    }
  }
  if (regular) {
    if (holds.lo <= holds.hi)
      held.push_back(holds);
    return;
  }
  // Anything else is tested delay by delay.
  const std::vector<size_t> all = AllClockPositions(state);
  DsState delayed;
  for (int64_t d = window.lo; d <= window.hi; ++d) {
    delayed = state;
    Delay(model_, delayed, all, d);
    if (!tests_.FailingConstraint(delayed, guard)) {
      if (!held.empty() && held.back().hi == d - 1)
        held.back().hi = d;
      else
        held.push_back({d, d});
    }
  }
}

std::optional<int32_t> SuccessorGenerator::FireTransition(const DsState& state,
                                                          const CComposedTransition& transition,
                                                          int32_t lo, int32_t hi, DsState& target,
                                                          std::vector<int32_t>& fixed) {
  const std::optional<int64_t> d = FirstFiring(state, transition, lo, hi, target);
  if (!d)
    return std::nullopt;
  FixedClocks(state, target, transition, fixed);
  return RemainingDelays(target, ClampToInt(int64_t{hi} - *d + 1), fixed);
}

std::optional<int64_t> SuccessorGenerator::FirstFiring(const DsState& state,
                                                       const CComposedTransition& transition,
                                                       int32_t lo, int32_t hi, DsState& target) {
  std::vector<size_t>& all = allPositions_;
  all.resize(state.activeClocks.size());
  for (size_t k = 0; k < all.size(); ++k)
    all[k] = k;
  const bool updatesReadClocks = std::any_of(
      transition.updates.begin(), transition.updates.end(),
      [this](const CUpdate& update) { return tests_.ReadsClock(update.updateExpId, false); });
  for (int64_t d = lo; d <= hi;) {
    if (!budget_.SpendDelay())
      break;
    target = state;
    // Beyond the delay at which every clock stands at its Max, every later delay gives this same
    // target, so a target that fails here fails for all of them.
    const bool saturated = Delay(model_, target, all, d);
    // The window reaches as far as waiting may matter, which can be past an upper bound of the
    // guard: the whole guard is tested on the source delayed by d.
    if (const std::optional<int32_t> failingGuard =
            tests_.FailingConstraint(target, transition.guardExpId)) {
      if (saturated || !IsRelationCode(tests_.Facts(*failingGuard).code))
        break;
      const std::optional<int64_t> next = NextGuardDelay(target, *failingGuard, d);
      if (!next)
        break;
      d = *next;
      continue;
    }
    target.locationIndex = transition.post;
    target.locations = transition.postLocations;
    if (std::optional<ExpressionError> error = ApplyJump(state, target, transition)) {
      errors_.InTransition(*error, state, target, transition);
      break;
    }
    if (checked_) {
      if (std::optional<ExpressionError> error = tests_.InvariantError(target)) {
        errors_.InTransition(*error, state, target, transition);
        break;
      }
    }
    const std::optional<int32_t> failing = tests_.FailingInvariant(target);
    if (!failing)
      return d;
    if (saturated || !IsRelationCode(tests_.Facts(*failing).code))
      break;
    const std::optional<int64_t> next =
        updatesReadClocks ? d + 1 : NextCandidateDelay(state, target, transition, *failing, d);
    if (!next)
      break;
    d = *next;
  }
  return std::nullopt;
}

std::optional<int64_t> SuccessorGenerator::NextGuardDelay(const DsState& delayed, int32_t failing,
                                                          int64_t delay) const {
  // Every active clock of the source advances with the delay, to at most its Max; anything else
  // the guard reads keeps its value. A failing comparison of an advancing clock with a bound that
  // reads no clock holds later only when it is a lower bound that the clock still reaches.
  const ComparisonFacts facts = tests_.Facts(failing);
  if (facts.readsClockBesideCompared)
    return delay + 1;
  const int32_t x = facts.variable;
  const auto at = std::find(delayed.activeClocks.begin(), delayed.activeClocks.end(), x);
  if (at == delayed.activeClocks.end())
    return std::nullopt;
  const int64_t value = delayed.clockValues[static_cast<size_t>(at - delayed.activeClocks.begin())];
  const int64_t max = model_.variables[static_cast<size_t>(x) - 1].Max;
  const std::optional<int64_t> wait =
      DelaysUntilHolds(facts.code, value, tests_.Bound(facts, failing, delayed), max);
  if (!wait)
    return std::nullopt;
  return delay + *wait;
}

std::optional<int64_t> SuccessorGenerator::NextCandidateDelay(const DsState& source,
                                                              const DsState& target,
                                                              const CComposedTransition& transition,
                                                              int32_t failing,
                                                              int64_t delay) const {
  // The target's values change with the delay only through the clocks it keeps from the source
  // without an update: each such clock's value is min(source value + delay, Max). A comparison of
  // such a clock with a bound that reads no clock therefore fails either for every later delay or
  // up to the delay at which the clock reaches the bound; anything else is tried delay by delay.
  const ComparisonFacts facts = tests_.Facts(failing);
  if (facts.readsClockBesideCompared)
    return delay + 1;
  const int32_t x = facts.variable;
  const auto kept = std::find(target.activeClocks.begin(), target.activeClocks.end(), x);
  const bool advances = kept != target.activeClocks.end() && Contains(source.activeClocks, x) &&
                        std::none_of(transition.updates.begin(), transition.updates.end(),
                                     [x](const CUpdate& update) { return update.updateVar == x; });
  if (!advances)
    return std::nullopt;
  const int64_t value = target.clockValues[static_cast<size_t>(kept - target.activeClocks.begin())];
  const int64_t max = model_.variables[static_cast<size_t>(x) - 1].Max;
  const std::optional<int64_t> wait =
      DelaysUntilHolds(facts.code, value, tests_.Bound(facts, failing, target), max);
  if (!wait)
    return std::nullopt;
  return delay + *wait;
}

std::optional<ExpressionError> SuccessorGenerator::ApplyJump(
    const DsState& source, DsState& target, const CComposedTransition& transition) const {
  const bool changed =
      std::any_of(transition.procId.begin(), transition.procId.end(), [&](int32_t p) {
        return tests_.LocationOf(source, static_cast<size_t>(p)).activeClocks !=
               tests_.LocationOf(target, static_cast<size_t>(p)).activeClocks;
      });
  if (changed) {
    const std::vector<int32_t> delayed = target.clockValues;
    target.activeClocks.clear();
    target.clockValues.clear();
    for (size_t p = 0; p < model_.processes.size(); ++p) {
      for (int32_t clock : tests_.LocationOf(target, p).activeClocks) {
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
    const CExpression& expression = model_.expressions[update.updateExpId];
    int32_t value = 0;
    if (checked_) {
      const Evaluated result = Execute(expression, model_, target);
      if (!result.Ok())
        return ExpressionError{*result.error, update.updateExpId};
      value = result.value;
    } else {
      value = EvaluateInRun(expression, Valuation(model_, target), tests_.Messages());
    }
    const CVariable* variable = tests_.Variable(update.updateVar);
    if (variable == nullptr)
      continue;
    if (variable->Type == VarType::kInteger) {
      if (checked_ && (value < variable->Min || value > variable->Max)) {
        return ExpressionError{{RunTimeError::Kind::kValueOutOfRange, value, variable->Min,
                                variable->Max, update.updateVar, 0},
                               update.updateExpId};
      }
      const int32_t index = IntegerValueIndex(model_, target, update.updateVar);
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
  return std::nullopt;
}

void SuccessorGenerator::FixedClocks(const DsState& source, const DsState& target,
                                     const CComposedTransition& transition,
                                     std::vector<int32_t>& fixed) {
  fixed.assign(transition.resetClockId.begin(), transition.resetClockId.end());
  for (int32_t clock : target.activeClocks) {
    if (!Contains(source.activeClocks, clock))
      fixed.push_back(clock);
  }
  std::sort(fixed.begin(), fixed.end());
  fixed.erase(std::unique(fixed.begin(), fixed.end()), fixed.end());
}

std::optional<int32_t> SuccessorGenerator::RemainingDelays(
    const DsState& target, int32_t limit, const std::vector<int32_t>& fixed) const {
  if (target.activeClocks.empty())
    return 1;
  int64_t count = limit;
  for (size_t p = 0; p < model_.processes.size(); ++p) {
    for (int32_t id : tests_.LocationOf(target, p).invariantExpIds) {
      const ComparisonFacts facts = tests_.Facts(id);
      const int32_t x = facts.variable;
      // The target holds its invariants. One over anything but a clock that advances with the
      // firing delay, or one that holds at the clock's Max, holds at every later firing too.
      if (Contains(fixed, x) || !Contains(target.activeClocks, x) ||
          tests_.HoldsAtMax(target, facts, id))
        continue;
      const int32_t code = facts.code;
      if (!IsRelationCode(code)) {
        tests_.Messages().Problem("Error op type");
        return std::nullopt;
      }
      // The target holds x == bound, so only the firing delay itself keeps it.
      if (code == ExpType::kEqual) {
        count = 1;
      } else if (SideOf(code) == BoundSide::kUpper) {
        const int64_t highest = HighestAdmitted(code, tests_.Bound(facts, id, target));
        count = std::min(count, highest - VariableValue(model_, target, x) + 1);
      }
    }
  }
  // The target satisfies its invariants, so at least the firing delay itself counts.
  return ClampToInt(std::max<int64_t>(count, 1));
}

}  // namespace tickcheck
