#pragma once
// An explicit-state explorer of a loaded model file, for the tests only: the discrete-time
// semantics that the checker must agree with, computed by brute force from the model records,
// the composition and the expression evaluator (nothing of the checker's delay windows, merging
// or reached set):
//  - a state is the location of each process, the integer values and the values of the active
//    clocks;
//  - a tick adds 1 to every active clock (stopping at its Max) and is allowed when the
//    invariants of all current locations hold afterwards;
//  - a composed transition fires when its whole guard (clocks included) holds; its target gets
//    the clock list of its locations (kept clocks keep their values, new ones start at 0) and the
//    updates in order; it is kept when the target invariants hold and every integer variable
//    with a declared range lies in it (otherwise it counts as a range error).
// Type 0 properties hold when some reachable state satisfies them, Type 1 when all do.

#include <cstddef>
#include <string>
#include <vector>

namespace tickcheck::testing {

struct ModelVerdicts {
  std::vector<bool> properties;  // one per loaded property
  bool rangeError = false;
  size_t states = 0;
  bool complete = true;  // false when the state limit stopped the exploration
};

ModelVerdicts ExploreModelFile(const std::string& path, size_t stateLimit);

}  // namespace tickcheck::testing
