#pragma once
// The verdicts of liveness properties (model/property.h) by another method than the checker's
// search for a lasso, for the tests: the whole reachable state graph of the explorer of the
// semantics is built first, then each property is decided by fixpoints over it. The states from
// which a run stays in the states of formula f are
//
//   EG f = nu Z. mu Y. f and (no step, or a step into Z that counts, or a step into Y)
//
// where every step counts, or with --no-zeno only ticks: the largest set of f-states from which
// f-states lead to a state with no step or, again and again, through a counting step back into
// the set. `E[] p` holds when the initial state is in EG p, `A<> p` when it is not in EG not p,
// `p --> q` when no reachable state where p holds is in EG not q.

#include <cstddef>
#include <optional>
#include <vector>

#include "compose/composition.h"
#include "model/property.h"
#include "model/system.h"

namespace tickcheck::testing {

// A finite state graph: the steps out of each state, and whether each step counts for a run
// (every step, or with --no-zeno only ticks).
struct LivenessGraph {
  struct Arc {
    size_t target = 0;
    bool counts = false;
  };
  std::vector<std::vector<Arc>> successors;  // one list per state
};

// The verdict of a liveness property on `graph` from state 0, given its formulas per state (q
// only for a leads-to), by the fixpoints above.
bool DecideOnGraph(const LivenessGraph& graph, Liveness liveness, std::vector<bool> p,
                   std::vector<bool> q);

struct ReferenceLiveness {
  std::vector<std::optional<bool>> verdicts;  // one per property: none for the others
  size_t states = 0;
  bool complete = true;  // false when more than the limit of states was reachable
};

ReferenceLiveness DecideLivenessByFixpoints(const CSystem& system, CComposition& composition,
                                            bool noZeno, size_t stateLimit);

}  // namespace tickcheck::testing
