#pragma once
// The verdicts of a search: one result per property of the model, decided on every state that
// the search keeps as new. A Type 0 property starts false and becomes true in the first state that
// satisfies it; a Type 1 property starts true and becomes false in the first state that does not;
// a property of any other Type keeps the start result of its Type (true) and is never evaluated.
// A property is open while its result may still change.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "check/constraints.h"
#include "check/search_control.h"
#include "model/ds_state.h"
#include "model/system.h"

namespace tickcheck {

class Verdicts {
 public:
  // The largest delay that time passing may reach from a state beyond what its invariants allow
  // (committed and urgent locations, urgent channels), if any.
  using DelayCap = std::function<std::optional<int64_t>(const DsState&)>;

  // `checkTimeSuccessors` ("-t") also evaluates the properties that compare no clock on the
  // delays that MaxDelay admits. All arguments must outlive the object.
  Verdicts(const ConstraintTests& tests, bool checkTimeSuccessors, SearchBudget& budget,
           DelayCap cap);

  // Per property, in model order: 1 true, 0 false.
  const std::vector<uint8_t>& Results() const { return results_; }
  // Whether property `property` (0-based) is still open.
  bool IsOpen(size_t property) const;

  // Evaluates the open properties on the state: those that compare clocks also on every delay
  // that the invariants and the cap allow, the others with "-t" also on the delays that MaxDelay
  // and the cap admit.
  // Answers false when no property was open any more (a model without properties answers true).
  bool Decide(const DsState& state);

 private:
  // Evaluates the open properties that compare clocks (`withClockAtoms`) or the others on the
  // state; answers whether one of them was open.
  bool EvaluateOpen(const DsState& state, bool withClockAtoms);
  // The delays from `state` after which a clock atom of an open property may change its answer,
  // ascending, each at least 1 and at most up to the clock's Max.
  std::vector<int64_t> ClockAtomDelays(const DsState& state) const;

  const ConstraintTests& tests_;
  const CSystem& model_;
  const bool checkTimeSuccessors_;
  SearchBudget& budget_;
  const DelayCap cap_;
  std::vector<uint8_t> results_;
  std::vector<uint8_t> comparesClocks_;  // per property: 1 when one of its atoms compares a clock
};

}  // namespace tickcheck
