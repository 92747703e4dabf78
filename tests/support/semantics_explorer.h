#pragma once
// A test-only explorer of the plain discrete-time semantics of a loaded model: the reference that
// the checker's verdicts are compared with (tests/check/verdicts_test.cpp, and through
// ExploreModelFile the modelling language's differential test), and a way to replay a trace
// step by step.
//
// A state is the location of each process, the integer values and the values of the active
// clocks. Its successors are
//  - a tick: every active clock + 1, never above its Max; allowed when every current location's
//    invariant holds afterwards;
//  - every composed transition of the composition whose whole guard (clocks included) holds in
//    the state, giving the state that the jump makes (the clock list rebuilt in process order,
//    kept clocks keeping their values, new ones at 0; then the updates in order), kept when the
//    invariants of the target's locations hold and every integer variable with a declared range
//    (0 <= Min <= Max) lies in it; a value outside its range is reported (RangeErrorSeen) and its
//    state not explored.
// A Type 0 property holds when some reachable state satisfies it, Type 1 when every one does; any
// other Type holds. The explorer reads the model records, composes locations through the
// composition and evaluates expressions with the expression evaluator; it shares nothing with the
// search (no delay window, no merging of waiting entries, no reached set).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compose/composition.h"
#include "model/ds_state.h"
#include "model/system.h"

namespace tickcheck::testing {

// One successor: a tick (no transition) or a composed transition, and the state it leads to.
struct Step {
  std::optional<CComposedTransition> transition;  // none for a tick
  DsState next;
};

class SemanticsExplorer {
 public:
  // `system` is loaded with its properties; the explorer composes the locations of `composition`
  // that it reaches.
  SemanticsExplorer(const CSystem& system, CComposition& composition);

  // The initial locations, the initial integer values, and the clocks of the initial locations
  // (in process order, each once) at their initial values.
  DsState Initial() const;
  // The tick first (when allowed), then the transitions in the composition's order.
  std::vector<Step> Successors(const DsState& state);
  // Whether some successor made so far had a value outside its variable's declared range.
  bool RangeErrorSeen() const { return rangeError_; }
  // The property's conjunction in one state. A clock atom on a clock the state does not carry
  // holds unless negated; a location atom that names no process never holds, negated or not.
  bool Holds(const CProperty& property, const DsState& state) const;
  // True when the invariant of every process's current location holds in `state`.
  bool InvariantsHold(const DsState& state) const;

  struct Verdicts {
    std::vector<uint8_t> results;  // one per loaded property, 1 or 0
    int64_t states = 0;            // reachable states visited
    bool complete = true;          // false when more than the limit of states was reachable
    bool rangeError = false;       // some successor had a value outside its declared range
  };
  // How far Decide explores: until every property is settled, or every reachable state (which
  // finds every value outside its range).
  enum class Extent { kUntilSettled, kWhole };
  // Visits the reachable states breadth-first as far as `extent` says or until none is left;
  // stops with `complete` false when more than `stateLimit` states were found.
  Verdicts Decide(int64_t stateLimit, Extent extent = Extent::kUntilSettled);

 private:
  bool Satisfied(int32_t expression, const DsState& state) const;
  // Whether every integer variable with a declared range lies in it.
  bool InRange(const DsState& state) const;
  const CLocation& LocationOf(const DsState& state, size_t process) const;

  const CSystem& system_;
  CComposition& composition_;
  bool rangeError_ = false;
};

// The verdicts of a model file by the explorer, every reachable state visited.
struct ModelVerdicts {
  std::vector<bool> properties;  // one per loaded property
  bool rangeError = false;
  size_t states = 0;
  bool complete = true;  // false when the state limit stopped the exploration
};
// Loads and composes the model file as a run does (nothing when it is refused) and explores it.
ModelVerdicts ExploreModelFile(const std::string& path, size_t stateLimit);

}  // namespace tickcheck::testing
