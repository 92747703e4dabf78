#pragma once
// The verdicts of a search: one result per property of the model, decided on every state that
// the search keeps as new. A Type 0 property starts false and becomes true in the first state that
// satisfies it; a Type 1 property starts true and becomes false in the first state that does not;
// a property of any other Type keeps the start result of its Type (true) and is never evaluated.
// A property is open while its result may still change. A liveness property (Type 2) is decided
// after the search (check/liveness.h), on states that the search does not make: while a model has
// one, the search goes on to its end, so that it reports every error of the model.
//
// A property is a conjunction of atoms or, in a format-2 model, an expression. An expression
// that meets a run-time error does not hold in that state; the error is reported once per
// property (check/run_time_errors.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "check/constraints.h"
#include "check/deadlock.h"
#include "check/run_time_errors.h"
#include "check/search_control.h"
#include "expr/program.h"
#include "expr/property_symmetry.h"
#include "model/ds_state.h"
#include "model/system.h"
#include "statespace/clock_intervals.h"

namespace tickcheck {

class Verdicts {
 public:
  // The largest delay that time passing may reach from a state beyond what its invariants allow
  // (committed and urgent locations, urgent channels), if any.
  using DelayCap = std::function<std::optional<int64_t>(const DsState&)>;

  // `checkTimeSuccessors` ("-t") also evaluates the properties that compare no clock on the
  // delays that MaxDelay admits. `cap` limits every delay on which properties are evaluated.
  // `deadlock` answers the properties that ask for a deadlock (none: asking is a run-time error).
  // All arguments must outlive the object.
  Verdicts(const ConstraintTests& tests, bool checkTimeSuccessors, SearchBudget& budget,
           RunTimeErrors& errors, DelayCap cap, const DeadlockTest* deadlock = nullptr);

  // Decides every property on representatives of the orbits of `symmetry` (null: on the states
  // themselves); it must outlive the object.
  void SetSymmetry(const PropertySymmetry* symmetry) { symmetry_ = symmetry; }

  // Per property, in model order: 1 true, 0 false.
  const std::vector<uint8_t>& Results() const { return results_; }
  // Whether property `property` (0-based) is still open.
  bool IsOpen(size_t property) const;

  // Evaluates the open properties on the state: those that compare clocks also on every delay
  // that the invariants and the cap allow, the others with "-t" also on the delays that MaxDelay
  // and the cap admit. Answers false when no property was open any more (a model without
  // properties, or with a liveness property, answers true), or when a loop ran past its bound.
  bool Decide(const DsState& state);
  // What the last Decide's evaluations of expressions that compare clocks met in its state itself
  // (not on its delays), for the properties evaluated there that ask for no deadlock.
  const ObservedComparisons& Observed() const { return observed_; }

 private:
  // What a property reads: no clock, clocks through atoms, clocks through its expression.
  enum class Group : uint8_t { kNoClock, kClockAtoms, kClockExpression };

  // Evaluates the open properties of `group` on the state; answers whether one of them was open.
  // The clock comparisons that expressions met are appended to `met` when it is given.
  bool EvaluateOpen(const DsState& state, Group group, std::vector<ClockComparison>* met = nullptr);
  // Whether property `property` holds in `state`.
  bool HoldsIn(size_t property, const DsState& state, std::vector<ClockComparison>* met);
  // The delays from `state` after which a clock atom of an open property may change its answer,
  // ascending, each at least 1 and at most up to the clock's Max.
  std::vector<int64_t> ClockAtomDelays(const DsState& state) const;
  // Decides the open properties whose expressions compare clocks or ask for a deadlock on every
  // delay of `state` that the invariants and `cap` allow, going from one delay at which a
  // comparison met, or the deadlock, may change its answer to the next; answers whether one of
  // them was open.
  bool DecideClockExpressions(const DsState& state, std::optional<int64_t> cap);
  // Whether `delay` is at most `cap` and the invariants hold after 1 and after `delay` ticks from
  // `state` (then after every tick in between); `all` are the positions of the state's clocks, and
  // `delayed` receives the state after `delay` ticks when it answers true.
  bool MayWait(const DsState& state, const std::vector<size_t>& all, int64_t delay,
               std::optional<int64_t> cap, DsState& delayed) const;

  const ConstraintTests& tests_;
  const CSystem& model_;
  const bool checkTimeSuccessors_;
  SearchBudget& budget_;
  RunTimeErrors& errors_;
  const DelayCap cap_;
  const DeadlockTest* deadlock_;
  bool asksDeadlock_ = false;  // some property's expression asks for a deadlock
  const PropertySymmetry* symmetry_ = nullptr;
  std::vector<uint8_t> results_;
  std::vector<Group> groups_;         // per property
  bool searchesWhole_ = false;        // a liveness property keeps the search going
  std::vector<ClockComparison> met_;  // scratch of DecideClockExpressions
  ObservedComparisons observed_;
};

}  // namespace tickcheck
