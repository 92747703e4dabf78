#pragma once
// The decision of liveness properties (model/property.h) on the explicit discrete states of the
// explorer of the semantics (check/semantics_explorer.h), whose successors are the steps of runs.
//
// A run is a sequence of steps (one tick, or one composed transition) from a state that is
// infinite or ends in a state with no step at all (no tick is allowed and no transition can be
// taken). A run of ticks only is a run, and so is a run with infinitely many transitions and no
// tick (a Zeno run) unless the search leaves Zeno runs out: then an infinite run must tick
// infinitely often. Clocks stop at their Max, so the states are finite and every infinite run
// ends in a cycle of states.
//  - `E[] p` holds when some run from the initial state has p in every state;
//  - `A<> p` holds when every run from the initial state has p in some state (not E[] not p);
//  - `p --> q` holds when every run from every reachable state where p holds has q in some state,
//    its first one included (A[] (p imply A<> q)).
// Each asks for a run that stays in the states where some formula holds (p for E[], not p for
// A<>, not q for a leads-to, from a reachable state where p holds): a path in those states to a
// state with no step, or to a cycle of them (with a tick in it when Zeno runs are left out). The
// search looks for one depth first with the on-the-fly search for strongly connected components
// that marks a component as soon as one of its edges is accepting (every edge, or every tick),
// over the states of the formula only; a leads-to runs it from each reachable state where p holds
// and q does not, in the order of their numbers, keeping what earlier searches found. Every state
// is expanded at most once per decision (for a leads-to, the states that no search meets are
// expanded once to find the reachable states).
//
// Such a run is a lasso: the steps from the initial state to the state where its cycle starts,
// then the steps of the cycle back to that state (none when the run ends there, in a state with no
// step). It is the witness of a satisfied `E[]` and the counterexample of an `A<>` or a leads-to
// that does not hold.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "check/semantics_explorer.h"
#include "model/property.h"

namespace tickcheck {

// A run as steps of the explorer: `prefix` from the initial state, then `cycle` from the last
// state of the prefix back to it, repeated forever; an empty cycle means that the run ends in
// that state, which has no step.
struct Lasso {
  std::vector<Step> prefix;
  std::vector<Step> cycle;
};

struct LivenessOutcome {
  enum class End {
    kDecided,      // `holds` is the verdict
    kStateLimit,   // more than the limit of states were met first
    kInterrupted,  // `goOn` answered no
    kLoopBound,    // a formula ran a loop past its bound (`error`)
  };
  End end = End::kDecided;
  bool holds = false;
  std::optional<Lasso> lasso;  // the run the search found (see above), when it found one
  // The first run-time error that a formula met (format 2); a formula does not hold in a state
  // where it meets one.
  std::optional<RunTimeError> error;
};

class LivenessSearch {
 public:
  // Searches the graph of `explorer` (StartGraph is called here), which must outlive the search.
  // `noZeno` leaves out the infinite runs that tick only finitely often.
  LivenessSearch(SemanticsExplorer& explorer, bool noZeno);

  // Decides a property whose liveness is not kNone. Stops once the explorer has numbered more
  // than `stateLimit` states (0: no limit), or when `goOn`, asked every few thousand states
  // expanded with the number of states met so far, answers no. States met by earlier decisions
  // stay numbered.
  LivenessOutcome Decide(const CProperty& property, int64_t stateLimit,
                         const std::function<bool(int64_t)>& goOn);

  // The number of states met so far, over every decision.
  int64_t States() const { return explorer_.Visited(); }

 private:
  // An edge that closes a cycle: from `source` by `via` into `target`.
  struct Closing {
    int64_t source = 0;
    int32_t via = -1;
    int64_t target = 0;
  };
  // A state being expanded: the edge that led to it (-1 for a root), its edges, the next to try.
  struct Frame {
    int64_t state = 0;
    int32_t viaIn = -1;
    std::vector<SemanticsExplorer::Edge> edges;
    size_t next = 0;
  };
  // The root of a component on the search's stack: its order, an accepting edge inside the
  // component, and the edge by which the search entered the root when it is accepting (it lies
  // inside the component once the component joins one below).
  struct Root {
    int64_t order = 0;
    std::optional<Closing> accepting;
    std::optional<Closing> entering;
  };
  enum class Found { kNothing, kRun, kStopped };

  // Whether state `state` may lie on the run looked for. A formula's run-time error goes to
  // `error_`; a loop past its bound stops the search.
  bool Kept(int64_t state);
  // The search from `start` (a kept state not met by a search of this decision yet); on kRun
  // `lasso_` holds the run.
  Found SearchFrom(int64_t start);
  // Starts expanding `state`, entered by `entering` (none for a start); answers whether it has
  // no step at all.
  bool Enter(int64_t state, const std::optional<Closing>& entering);
  // Whether an edge by `via` counts for a cycle: any edge, or without Zeno runs only a tick.
  bool Accepting(int32_t via) const { return !noZeno_ || via == -1; }
  // The run through the frames to the frame of order `rootOrder`, around the component of that
  // root through `accepting`.
  Lasso LassoAround(int64_t rootOrder, const Closing& accepting);
  // The run through the frames, ending in the state of the top frame.
  Lasso LassoToTop();
  // The steps along the frames from the first to number `last`, after the path to the first.
  std::vector<Step> PathAlongFrames(size_t last) const;
  // The steps of a shortest path from `from` to `to` inside the component whose root has order
  // `rootOrder`.
  std::vector<Step> PathInside(int64_t from, int64_t to, int64_t rootOrder);
  bool Poll();
  void Grow();

  SemanticsExplorer& explorer_;
  const bool noZeno_;
  // The decision under way.
  const CProperty* property_ = nullptr;
  std::optional<CProperty> then_;
  int64_t stateLimit_ = 0;
  std::function<bool(int64_t)> goOn_;
  int64_t expanded_ = 0;
  bool stopped_ = false;
  std::optional<RunTimeError> error_;
  std::optional<Lasso> lasso_;
  // Per state number: the order in which this decision's search met it (0: not yet; kDone: its
  // component is complete and holds no accepting cycle), and its formulas' answers (bit 0: known,
  // bit 1: the first formula, bit 2: the second).
  std::vector<int64_t> order_;
  std::vector<uint8_t> answers_;
  int64_t counter_ = 0;
  std::vector<Frame> frames_;
  std::vector<Root> roots_;
  std::vector<int64_t> active_;  // the states met whose component is not complete, in order
};

}  // namespace tickcheck
