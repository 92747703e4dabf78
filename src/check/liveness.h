#pragma once
// The liveness properties of a model (model/property.h) decided one after the other by the search
// of check/liveness_search.h over one explorer of the semantics, after the search of the other
// properties: each verdict, and the lasso that shows it as a trace.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "check/traces.h"
#include "expr/program.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

struct LivenessResults {
  enum class End {
    kComplete,     // every liveness property is decided
    kStateLimit,   // more than the limit of states were met before every one was decided
    kInterrupted,  // `goOn` answered no before every one was decided
    kLoopBound,    // a formula ran a loop past its bound (its error is in `errors`)
  };
  End end = End::kComplete;
  // One per loaded property: the verdict of each liveness property decided, none for the others.
  std::vector<std::optional<bool>> verdicts;
  // One per loaded property: with traces asked for, the lasso of each decided liveness property
  // that has one (a satisfied E[], a violated A<> or leads-to).
  std::vector<std::optional<Trace>> traces;
  // One per loaded property: the first run-time error that its formulas met (format 2); a formula
  // does not hold in a state where it meets one.
  std::vector<std::optional<RunTimeError>> errors;
  int64_t states = 0;  // states met
};

// Decides the liveness properties of `system` in order, stopping at the first that the limits
// stop: more than `stateLimit` states met (0: no limit), or `goOn`, asked every few thousand
// states with the number met so far, answering no. `noZeno` leaves Zeno runs out. `messages` takes
// the lines of the expressions that cannot be evaluated.
LivenessResults DecideLiveness(const CSystem& system, MessageSink& messages, bool noZeno,
                               bool traces, int64_t stateLimit,
                               const std::function<bool(int64_t)>& goOn);

// Whether `system` has a liveness property.
bool HasLiveness(const CSystem& system);

}  // namespace tickcheck
