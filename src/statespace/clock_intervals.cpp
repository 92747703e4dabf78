#include "statespace/clock_intervals.h"

#include <algorithm>

namespace tickcheck {
namespace {

// Whether expression `id` reads a variable that is not an integer.
bool ReadsClock(const CSystem& model, int32_t id) {
  if (!model.expressions.Contains(id))
    return false;
  return std::ranges::any_of(model.expressions[id].Bindings(), [&](const ExpBinding& binding) {
    return binding.variable >= 1 &&
           static_cast<size_t>(binding.variable) <= model.variables.size() &&
           model.variables[static_cast<size_t>(binding.variable) - 1].Type != VarType::kInteger;
  });
}

bool AnyReadsClock(const CSystem& model, const std::vector<int32_t>& ids) {
  return std::ranges::any_of(ids, [&](int32_t id) { return ReadsClock(model, id); });
}

// See ClockIntervals::Exact.
bool NeedsExactStates(const CSystem& model, const CProcess& process, const CLocation& location) {
  return std::ranges::any_of(location.jumps, [&](const CJump& jump) {
    const bool stops =
        (jump.Syn <= 0 && jump.iUrgent) || (jump.Syn > 0 && model.IsUrgentChannel(jump.Syn));
    const bool targetReadsClock =
        jump.To >= 1 && jump.To <= process.locationCount &&
        AnyReadsClock(model, process.locations[static_cast<size_t>(jump.To) - 1].invariantExpIds);
    const bool guardReadsClock = AnyReadsClock(model, jump.guardExpIds);
    const bool receives =
        model.usualBroadcast && jump.Syn > 0 && jump.Broadcast && jump.SynType != 1;
    return (stops && (guardReadsClock || targetReadsClock)) || (receives && guardReadsClock);
  });
}

}  // namespace

ClockIntervals::ClockIntervals(const CSystem& model, const ClockLimits& limits,
                               const PropertySymmetry* symmetry)
    : model_(model),
      limits_(limits),
      symmetry_(symmetry),
      propertyCuts_(model.variables.size() + 1),
      listings_(model.variables.size() + 1) {
  // Most clocks are listed by one process: Bounds visits only the processes that list the clock.
  for (size_t p = 0; p < model.processes.size(); ++p) {
    const std::vector<CLocation>& locations = model.processes[p].locations;
    for (size_t l = 0; l < locations.size(); ++l) {
      for (const LUBound& entry : locations[l].luBounds) {
        if (entry.clockId < 1 || static_cast<size_t>(entry.clockId) >= listings_.size())
          continue;
        std::vector<Listing>& listings = listings_[static_cast<size_t>(entry.clockId)];
        if (listings.empty() || listings.back().process != p)
          listings.push_back({p, std::vector<LUBound>(locations.size(), LUBound{0, -1, -1})});
        // A location that lists the clock several times needs the largest of its bounds.
        LUBound& merged = listings.back().bounds[l];
        merged = merged.clockId == 0 ? entry
                                     : LUBound{entry.clockId, std::max(merged.L, entry.L),
                                               std::max(merged.U, entry.U)};
      }
    }
  }
  // Whether a state is a deadlock depends on every guard: no state stands for another.
  const bool deadlock = model.AnyAsksDeadlock();
  for (const CProcess& process : model.processes) {
    std::vector<char>& exact = exact_.emplace_back();
    for (const CLocation& location : process.locations) {
      exact.push_back(deadlock || NeedsExactStates(model, process, location) ? 1 : 0);
      anyExact_ = anyExact_ || exact.back() != 0;
    }
  }
  for (size_t i = 0; i < model.properties.size(); ++i) {
    const CProperty& property = model.properties[i];
    if (property.expression >= 0) {
      const std::vector<ExpBinding>& bindings = model.expressions[property.expression].Bindings();
      const bool readsClock =
          std::any_of(bindings.begin(), bindings.end(), [&model](const ExpBinding& binding) {
            return binding.variable >= 1 &&
                   static_cast<size_t>(binding.variable) <= model.variables.size() &&
                   model.variables[static_cast<size_t>(binding.variable) - 1].Type ==
                       VarType::kClock;
          });
      if (readsClock) {
        clockExpressions_.push_back(property.expression);
        clockProperties_.push_back(i);
      }
    }
    for (const CAtomProperty& atom : property.atoms) {
      if (atom.kind == CAtomProperty::kClock && atom.variable >= 1 &&
          static_cast<size_t>(atom.variable) <= model.variables.size()) {
        std::vector<int64_t>& cuts = propertyCuts_[static_cast<size_t>(atom.variable)];
        cuts.push_back(atom.bound);
        cuts.push_back(int64_t{atom.bound} + 1);
      }
    }
  }
  for (std::vector<int64_t>& cuts : propertyCuts_) {
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  }
}

std::optional<LUBound> ClockIntervals::Bounds(const DsState& state, int32_t clock) const {
  std::optional<LUBound> found;
  if (clock < 1 || static_cast<size_t>(clock) >= listings_.size())
    return found;
  for (const Listing& listing : listings_[static_cast<size_t>(clock)]) {
    const LUBound& entry =
        listing.bounds[static_cast<size_t>(state.locations[listing.process]) - 1];
    if (entry.clockId == 0)
      continue;
    // Each listing location's bounds cover the comparisons that the clock may meet; the largest
    // cover them all.
    found =
        found ? LUBound{clock, std::max(found->L, entry.L), std::max(found->U, entry.U)} : entry;
  }
  return found;
}

void ClockIntervals::Observe(const DsState& state, std::vector<ClockComparison>& met,
                             const ObservedComparisons* observed) const {
  // An expression that meets a run-time error takes the same path up to it between the cuts, so
  // its error is kept too; the search reports it where it decides the property.
  for (size_t k = 0; k < clockProperties_.size(); ++k) {
    const size_t property = clockProperties_[k];
    if (observed != nullptr && property < observed->properties.size() &&
        observed->properties[property] != 0) {
      continue;
    }
    if (symmetry_ != nullptr)
      symmetry_->Decide(property, state, nullptr, &met);
    else
      EvaluateObserved(model_.expressions[clockExpressions_[k]], model_, state, nullptr, met);
  }
}

void ClockIntervals::Interval(const DsState& state, int32_t clock, int32_t value, int32_t& start,
                              int32_t& end) const {
  std::vector<ClockComparison> met;
  Observe(state, met);
  Interval(state, clock, value, met, {}, start, end);
}

void ClockIntervals::Interval(const DsState& state, int32_t clock, int32_t value,
                              const std::vector<ClockComparison>& met,
                              const std::vector<ClockComparison>& more, int32_t& start,
                              int32_t& end) const {
  const CVariable& variable = model_.variables[static_cast<size_t>(clock) - 1];
  start = value;
  end = value;
  // A clock that no current location lists has no bounds: it keeps its single value. So does a
  // clock that no location lists, which belongs to no process and has no limits either.
  const std::optional<LUBound> bounds = Bounds(state, clock);
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
  int32_t lower = ClockLimits::kNone;
  int32_t upper = ClockLimits::kNone;
  limits_.InState(state, clock, location, lower, upper);
  if (lower != ClockLimits::kNone && start < lower)
    start = lower;
  if (upper != ClockLimits::kNone && end > upper)
    end = upper;
  // The states inside a stored interval are never tested against the properties: the interval
  // stops where a property atom on the clock could change its answer.
  const std::vector<int64_t>& cuts = propertyCuts_[static_cast<size_t>(clock)];
  const auto above = std::upper_bound(cuts.begin(), cuts.end(), int64_t{value});
  if (above != cuts.end() && end >= *above)
    end = static_cast<int32_t>(*above - 1);
  if (above != cuts.begin() && start < *(above - 1))
    start = static_cast<int32_t>(*(above - 1));
  for (const std::vector<ClockComparison>* comparisons : {&met, &more}) {
    for (const ClockComparison& comparison : *comparisons) {
      if (comparison.clock != clock)
        continue;
      for (const int64_t cut : {int64_t{comparison.bound}, int64_t{comparison.bound} + 1}) {
        if (cut > value && end >= cut)
          end = static_cast<int32_t>(cut - 1);
        if (cut <= value && start < cut)
          start = static_cast<int32_t>(cut);
      }
    }
  }
  // The limits come from invariant bounds evaluated without a state; they may narrow the interval
  // but never drop the state itself, or a state could be found new again and again.
  start = std::min(start, value);
  end = std::max(end, value);
}

ClockBox ClockIntervals::Box(const DsState& state) const {
  ClockBox box;
  Box(state, box);
  return box;
}

void ClockIntervals::Box(const DsState& state, ClockBox& box,
                         const ObservedComparisons* observed) const {
  box.start = state.clockValues;
  box.end = state.clockValues;
  for (size_t p = 0; anyExact_ && p < exact_.size(); ++p) {
    if (Exact(p, static_cast<size_t>(state.locations[p]) - 1))
      return;
  }
  // The comparisons met are cuts whatever their order: those already observed are used as they
  // are, and only the other properties are evaluated.
  std::vector<ClockComparison> met;
  if (!clockExpressions_.empty())
    Observe(state, met, observed);
  const std::vector<ClockComparison> none;
  const std::vector<ClockComparison>& known = observed != nullptr ? observed->met : none;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    Interval(state, state.activeClocks[k], state.clockValues[k], met, known, box.start[k],
             box.end[k]);
  }
}

}  // namespace tickcheck
