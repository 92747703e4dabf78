#pragma once
// The L and U bounds that a model's clocks need. The search widens a stored state by the L and U
// bounds that the model file gives its clocks, and waits before a jump until every clock has
// passed them; its verdicts are those of the discrete-time semantics only when every location's
// bounds are at least the ones computed here.
//
// For each location and each clock that it lists as active, the needed L (U) is the largest
// constant of a lower-bound (upper-bound) comparison of the clock that some path from the location
// may meet before the clock is reset or leaves the state: the location's invariant and the guards
// of its jumps, then, through every jump of the process that keeps the clock active without
// assigning it, the needs of the jump's target. Counted everywhere the clock is listed, since
// they may be met whatever the clock's own process does: the comparisons of the clock in other
// processes' invariants and guards, and the clock atoms of the properties, in the direction in
// which a state that settles the property compares the clock (a witness of a Type 0 property, a
// counterexample to a Type 1 property; a negated atom compares the other way). == and != count
// both ways; -1 means that nothing compares the clock. In a format-2 model a bound that reads
// integer variables counts with the largest value it can take (expr/value_bounds.h), at most the
// clock's Max, and the clock's Max where that cannot be told; a comparison of a clock inside a
// property expression counts both ways, wherever the clock is listed.
//
// A read-only result computed once from a loaded model; it writes nothing into the model.

#include <cstddef>
#include <string>
#include <vector>

#include "model/system.h"

namespace tickcheck {

class ClockBoundAnalysis {
 public:
  // `system` is loaded with its properties. Comparison bounds that read no state are evaluated
  // once, without a state, as the per-location clock limits are.
  explicit ClockBoundAnalysis(const CSystem& system);

  // The bounds that location `location` (0-based) of process `process` (0-based) needs, one entry
  // per entry of the location's activeClocks, in the same order.
  const std::vector<LUBound>& Needed(size_t process, size_t location) const {
    return needed_[process][location];
  }

  // One line per location whose L or U bounds in the file are below the needed ones, in process
  // and location order: "Warning! process <p> (<name>) location <l> (<name>): clock bounds below
  // the largest constants compared before a reset: <clock> L=<file> needs <needed>, <clock>
  // U=<file> needs <needed>; verdicts may be wrong" (without " (<name>)" for a process without
  // a name).
  std::vector<std::string> Shortfalls() const;

 private:
  const CSystem& system_;
  std::vector<std::vector<std::vector<LUBound>>> needed_;  // process, location, active clock
};

}  // namespace tickcheck
