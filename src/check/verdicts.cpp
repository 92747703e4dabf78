#include "check/verdicts.h"

#include <algorithm>

#include "check/delay.h"
#include "expr/property_evaluation.h"

namespace tickcheck {

Verdicts::Verdicts(const ConstraintTests& tests, bool checkTimeSuccessors, SearchBudget& budget,
                   DelayCap cap)
    : tests_(tests),
      model_(tests.Model()),
      checkTimeSuccessors_(checkTimeSuccessors),
      budget_(budget),
      cap_(std::move(cap)) {
  for (const CProperty& property : model_.properties) {
    results_.push_back(property.Type != 0 ? 1 : 0);
    comparesClocks_.push_back(
        std::any_of(property.atoms.begin(), property.atoms.end(),
                    [](const CAtomProperty& atom) { return atom.kind == CAtomProperty::kClock; }));
  }
}

bool Verdicts::IsOpen(size_t property) const {
  const int32_t type = model_.properties[property].Type;
  const bool result = results_[property] != 0;
  return (type == 0 && !result) || (type == 1 && result);
}

bool Verdicts::EvaluateOpen(const DsState& state, bool withClockAtoms) {
  bool open = false;
  const std::vector<CProperty>& properties = model_.properties;
  for (size_t i = 0; i < properties.size(); ++i) {
    if ((comparesClocks_[i] != 0) != withClockAtoms || !IsOpen(i))
      continue;
    open = true;
    results_[i] = Holds(properties[i], model_, state) ? 1 : 0;
  }
  return open;
}

std::vector<int64_t> Verdicts::ClockAtomDelays(const DsState& state) const {
  // An atom x ~ c changes its answer only where x reaches c or c + 1, and x advances by one per
  // delay up to its Max: between these delays every open property keeps its answer.
  std::vector<int64_t> delays;
  const std::vector<CProperty>& properties = model_.properties;
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

bool Verdicts::Decide(const DsState& state) {
  if (model_.properties.empty())
    return true;
  bool open = false;
  const std::optional<int64_t> cap = cap_(state);
  if (!checkTimeSuccessors_) {
    open = EvaluateOpen(state, false);
  } else {
    std::vector<DsState> delays = InvariantDelays(tests_, state);
    if (cap && static_cast<int64_t>(delays.size()) > *cap + 1)
      delays.resize(static_cast<size_t>(*cap + 1));
    budget_.SpendStates(static_cast<int64_t>(delays.size()));
    for (const DsState& delayed : delays)
      open = EvaluateOpen(delayed, false) || open;
  }
  if (!EvaluateOpen(state, true))
    return open;
  // A property that compares clocks is decided on every delay that the invariants allow: the
  // state may wait as long as each tick keeps them. The delays at which they hold form one
  // interval from the first tick on (a comparison of a clock, which only grows, holds on an
  // interval of delays), so a delay at which they fail ends the waiting.
  const std::vector<int64_t> delays = ClockAtomDelays(state);
  budget_.SpendStates(static_cast<int64_t>(delays.size()));
  const std::vector<size_t> all = AllClockPositions(state);
  for (const int64_t d : delays) {
    if (cap && d > *cap)
      break;
    DsState delayed = state;
    if (d > 1) {
      Delay(model_, delayed, all, 1);
      if (!tests_.InvariantsHold(delayed))
        break;
      delayed = state;
    }
    Delay(model_, delayed, all, d);
    if (!tests_.InvariantsHold(delayed))
      break;
    EvaluateOpen(delayed, true);
  }
  return true;
}

}  // namespace tickcheck
