#include "check/verdicts.h"

#include <algorithm>
#include <limits>

#include "check/delay.h"
#include "expr/property_evaluation.h"

namespace tickcheck {
namespace {

// Whether the expression reads a clock of the model.
bool ReadsClock(const CExpression& expression, const CSystem& model) {
  return std::any_of(expression.Bindings().begin(), expression.Bindings().end(),
                     [&model](const ExpBinding& binding) {
                       return binding.variable >= 1 &&
                              static_cast<size_t>(binding.variable) <= model.variables.size() &&
                              model.variables[static_cast<size_t>(binding.variable) - 1].Type ==
                                  VarType::kClock;
                     });
}

}  // namespace

Verdicts::Verdicts(const ConstraintTests& tests, bool checkTimeSuccessors, SearchBudget& budget,
                   RunTimeErrors& errors, DelayCap cap, const DeadlockTest* deadlock)
    : tests_(tests),
      model_(tests.Model()),
      checkTimeSuccessors_(checkTimeSuccessors),
      budget_(budget),
      errors_(errors),
      cap_(std::move(cap)),
      deadlock_(deadlock) {
  for (size_t i = 0; i < model_.properties.size(); ++i) {
    const CProperty& property = model_.properties[i];
    results_.push_back(property.Type != 0 ? 1 : 0);
    Group group = Group::kNoClock;
    if (property.expression >= 0) {
      // A deadlock, like a clock comparison, may change its answer while time passes.
      asksDeadlock_ = asksDeadlock_ || model_.AsksDeadlock(i);
      if (ReadsClock(model_.expressions[property.expression], model_) || model_.AsksDeadlock(i))
        group = Group::kClockExpression;
    } else if (std::any_of(
                   property.atoms.begin(), property.atoms.end(),
                   [](const CAtomProperty& atom) { return atom.kind == CAtomProperty::kClock; })) {
      group = Group::kClockAtoms;
    }
    groups_.push_back(group);
    searchesWhole_ = searchesWhole_ || property.liveness != Liveness::kNone;
  }
}

bool Verdicts::IsOpen(size_t property) const {
  const int32_t type = model_.properties[property].Type;
  const bool result = results_[property] != 0;
  return (type == 0 && !result) || (type == 1 && result);
}

bool Verdicts::HoldsIn(size_t property, const DsState& state, std::vector<ClockComparison>* met) {
  const CProperty& record = model_.properties[property];
  if (symmetry_ != nullptr) {
    const PropertySymmetry::Answer answer = symmetry_->Decide(property, state, deadlock_, met);
    if (answer.error)
      errors_.InProperty(*answer.error, property);
    return answer.holds;
  }
  if (record.expression < 0)
    return Holds(record, model_, state);
  std::vector<ClockComparison> unused;
  const Evaluated result = EvaluateObserved(model_.expressions[record.expression], model_, state,
                                            deadlock_, met != nullptr ? *met : unused);
  if (!result.Ok()) {
    errors_.InProperty(*result.error, property);
    return false;
  }
  return result.value != 0;
}

bool Verdicts::EvaluateOpen(const DsState& state, Group group, std::vector<ClockComparison>* met) {
  bool open = false;
  for (size_t i = 0; i < results_.size(); ++i) {
    if (groups_[i] != group || !IsOpen(i))
      continue;
    open = true;
    results_[i] = HoldsIn(i, state, met) ? 1 : 0;
  }
  return open;
}

std::vector<int64_t> Verdicts::ClockAtomDelays(const DsState& state) const {
  // An atom x ~ c changes its answer only where x reaches c or c + 1, and x advances by one per
  // delay up to its Max: between these delays every open property keeps its answer.
  std::vector<int64_t> delays;
  const std::vector<CProperty>& properties = model_.properties;
  for (size_t i = 0; i < properties.size(); ++i) {
    if (groups_[i] != Group::kClockAtoms || !IsOpen(i))
      continue;
    for (const CAtomProperty& atom : properties[i].atoms) {
      if (atom.kind != CAtomProperty::kClock)
        continue;
      const auto at =
          std::find(state.activeClocks.begin(), state.activeClocks.end(), atom.variable);
      if (at == state.activeClocks.end())
        continue;
      const int64_t value = state.clockValues[static_cast<size_t>(at - state.activeClocks.begin())];
      const int64_t max = model_.variables[static_cast<size_t>(atom.variable) - 1].Max;
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

bool Verdicts::MayWait(const DsState& state, const std::vector<size_t>& all, int64_t delay,
                       std::optional<int64_t> cap, DsState& delayed) const {
  if (cap && delay > *cap)
    return false;
  delayed = state;
  if (delay > 1) {
    Delay(model_, delayed, all, 1);
    if (!tests_.InvariantsHold(delayed))
      return false;
    delayed = state;
  }
  Delay(model_, delayed, all, delay);
  return tests_.InvariantsHold(delayed);
}

bool Verdicts::DecideClockExpressions(const DsState& state, std::optional<int64_t> cap) {
  // The state is stored next, its clock intervals cut where the comparisons met here change
  // their answers. Those intervals are evaluated without a deadlock test: when a property asks
  // for one, nothing is handed on.
  observed_.properties.assign(results_.size(), 0);
  for (size_t i = 0; i < results_.size() && !asksDeadlock_; ++i) {
    if (groups_[i] == Group::kClockExpression && IsOpen(i))
      observed_.properties[i] = 1;
  }
  met_.clear();
  const bool open = EvaluateOpen(state, Group::kClockExpression, &met_);
  observed_.met.clear();
  if (!asksDeadlock_)
    observed_.met = met_;
  if (!open)
    return false;
  const std::vector<size_t> all = AllClockPositions(state);
  DsState delayed = state;
  int64_t delay = 0;
  // Along the delays, `deadlock` turns true once, where no transition can be taken any more.
  int64_t deadlockFrom = std::numeric_limits<int64_t>::max();
  if (asksDeadlock_ && deadlock_ != nullptr) {
    if (const std::optional<int64_t> from = deadlock_->DeadlockFrom(state))
      deadlockFrom = *from;
  }
  // The comparisons met keep their answers up to the next delay at which one of them may change
  // it, and so does every expression that met them (expr/program.h): only those delays need a
  // look.
  for (;;) {
    int64_t next = deadlockFrom > delay ? deadlockFrom : std::numeric_limits<int64_t>::max();
    for (const ClockComparison& comparison : met_) {
      const auto at =
          std::find(delayed.activeClocks.begin(), delayed.activeClocks.end(), comparison.clock);
      if (at == delayed.activeClocks.end())
        continue;
      const int64_t value =
          delayed.clockValues[static_cast<size_t>(at - delayed.activeClocks.begin())];
      const int64_t max = model_.variables[static_cast<size_t>(comparison.clock) - 1].Max;
      for (const int64_t reached : {int64_t{comparison.bound}, int64_t{comparison.bound} + 1}) {
        if (reached > value && reached <= max)
          next = std::min(next, delay + reached - value);
      }
    }
    if (next == std::numeric_limits<int64_t>::max() || !MayWait(state, all, next, cap, delayed))
      break;
    budget_.SpendStates(1);
    delay = next;
    met_.clear();
    if (!EvaluateOpen(delayed, Group::kClockExpression, &met_))
      break;
  }
  return true;
}

bool Verdicts::Decide(const DsState& state) {
  if (model_.properties.empty())
    return true;
  bool open = false;
  const std::optional<int64_t> cap = cap_(state);
  if (!checkTimeSuccessors_) {
    open = EvaluateOpen(state, Group::kNoClock);
  } else {
    std::vector<DsState> delays = InvariantDelays(tests_, state);
    if (cap && static_cast<int64_t>(delays.size()) > *cap + 1)
      delays.resize(static_cast<size_t>(*cap + 1));
    budget_.SpendStates(static_cast<int64_t>(delays.size()));
    for (const DsState& delayed : delays)
      open = EvaluateOpen(delayed, Group::kNoClock) || open;
  }
  open = DecideClockExpressions(state, cap) || open;
  if (errors_.LoopBoundReached())
    return false;
  if (!EvaluateOpen(state, Group::kClockAtoms))
    return open || searchesWhole_;
  // A property that compares clocks is decided on every delay that the invariants allow: the
  // state may wait as long as each tick keeps them. The delays at which they hold form one
  // interval from the first tick on (a comparison of a clock, which only grows, holds on an
  // interval of delays), so a delay at which they fail ends the waiting.
  const std::vector<int64_t> delays = ClockAtomDelays(state);
  budget_.SpendStates(static_cast<int64_t>(delays.size()));
  const std::vector<size_t> all = AllClockPositions(state);
  DsState delayed;
  for (const int64_t d : delays) {
    if (!MayWait(state, all, d, cap, delayed))
      break;
    EvaluateOpen(delayed, Group::kClockAtoms);
  }
  return true;
}

}  // namespace tickcheck
