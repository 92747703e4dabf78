#pragma once
// What the search reads from a guard or invariant comparison `x code bound` for every state it
// tests: the compared variable and its record, the relation code, whether the bound reads a
// variable (else its value, which no state changes) and whether the comparison reads a clock.
// Read once from the loaded model for the expression ids that its guards and invariants use; a
// read-only table of its own.

#include <cstdint>
#include <vector>

#include "model/ds_state.h"
#include "model/system.h"

namespace tickcheck {

struct ComparisonFacts {
  int32_t variable = 0;                   // the compared variable (CExpression::LeftVariable)
  int32_t code = 0;                       // the relation code (CExpression::RootType)
  const CVariable* record = nullptr;      // the compared variable's record; null outside the model
  bool fixedBound = true;                 // the bound reads no variable
  int32_t bound = 0;                      // the bound's value (RightValue) when fixedBound
  bool readsClock = false;                // the expression reads a variable other than an integer
  bool readsClockBesideCompared = false;  // the same, the compared variable not counted
  bool mayFail = false;  // format 2: evaluating the bound may meet a run-time error
};

// Whether the right-hand side of comparison `expression` reads the state (a variable or a
// location), so that its value must be evaluated in each state.
bool BoundReadsState(const CExpression& expression);

class ComparisonTable {
 public:
  // `model` is loaded; it must outlive the table.
  explicit ComparisonTable(const CSystem& model);

  // The facts of expression `id`, for any id (those of no guard or invariant are read on demand).
  ComparisonFacts Facts(int32_t id) const {
    if (id >= 0 && static_cast<size_t>(id) < facts_.size())
      return facts_[static_cast<size_t>(id)];
    return Read(model_, id);
  }
  // The bound of comparison `id`, whose facts are `facts`, in `state`: RightValue of the
  // expression.
  int32_t Bound(const ComparisonFacts& facts, int32_t id, const DsState& state) const;

 private:
  static ComparisonFacts Read(const CSystem& model, int32_t id);

  const CSystem& model_;
  std::vector<ComparisonFacts> facts_;  // by id, from 0 up to the largest id the model uses
};

}  // namespace tickcheck
