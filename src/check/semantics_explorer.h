#pragma once
// An explicit-state explorer of the plain discrete-time semantics of a loaded model, one state at
// a time: the search for the runs that `--trace` prints (check/traces.h), and the reference that
// the tests compare the checker's verdicts with.
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
// In a format-2 model the comparisons of a guard or an invariant are all evaluated, in order; an
// effect (variable 0) runs its expression on the state being made and every assignment checks
// the range of its integer variable at once; a run-time error (expr/program.h) means the step is
// not taken (RunTimeErrorSeen; a range error counts as RangeErrorSeen) and a property that meets
// one does not hold. A loop that runs past its bound ends the exploration (kLoopBound).
// A Type 0 property holds when some reachable state satisfies it, Type 1 when every one does; any
// other Type holds. The explorer reads the model records, composes locations through the
// composition and evaluates expressions with the expression evaluator; it shares nothing with the
// symbolic search (no delay window, no merging of waiting entries, no reached set).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compose/composition.h"
#include "expr/program.h"
#include "model/ds_state.h"
#include "model/system.h"

namespace tickcheck {

// One successor: a tick (no transition) or a composed transition, and the state it leads to.
struct Step {
  std::optional<CComposedTransition>
      transition;        // none for a tick; valid while the composition lives
  int32_t ordinal = -1;  // the transition's place among those that leave its source
  DsState next;
};

// How an exploration ended.
enum class ExploreEnd { kExhausted, kStopped, kStateLimit, kInterrupted, kLoopBound };

class SemanticsExplorer {
 public:
  // `system` is loaded with its properties; the explorer composes the locations of `composition`
  // that it reaches. Both must outlive the explorer.
  SemanticsExplorer(const CSystem& system, CComposition& composition);
  SemanticsExplorer(const SemanticsExplorer&) = delete;
  SemanticsExplorer& operator=(const SemanticsExplorer&) = delete;

  // The initial locations, the initial integer values, and the clocks of the initial locations
  // (in process order, each once) at their initial values.
  DsState Initial() const;
  // The tick first (when allowed), then the transitions in the composition's order.
  std::vector<Step> Successors(const DsState& state);
  // Whether some successor made so far had a value outside its variable's declared range.
  bool RangeErrorSeen() const { return rangeError_; }
  // Format 2: whether some evaluation met a run-time error, and whether it was a loop that ran
  // past its bound.
  bool RunTimeErrorSeen() const { return runTimeError_; }
  bool LoopBoundReached() const { return loopBound_; }
  // Lets `deadlock` answer the properties that ask for a deadlock; it must outlive the explorer.
  void SetDeadlockHook(const DeadlockHook* deadlock) { deadlock_ = deadlock; }
  // The property's conjunction in one state. A clock atom on a clock the state does not carry
  // holds unless negated; a location atom that names no process never holds, negated or not.
  // An expression property that meets a run-time error does not hold; the error goes to `error`
  // when it is given.
  bool Holds(const CProperty& property, const DsState& state,
             std::optional<RunTimeError>* error = nullptr) const;
  // True when the invariant of every process's current location holds in `state`.
  bool InvariantsHold(const DsState& state) const;

  // Visits the reachable states breadth-first, each once, the initial state first: `visit` gets
  // each new state with its number in the order of visits (0 for the initial state) and answers
  // whether to go on. Ends when `visit` answers no (kStopped), when no state is left
  // (kExhausted), once more than `stateLimit` states were visited (kStateLimit; 0: no limit), or
  // when `goOn`, asked every few thousand states with the number visited so far, answers no
  // (kInterrupted). The states
  // visited are kept, with the step that first reached each, until the next exploration.
  ExploreEnd Explore(const std::function<bool(int64_t, const DsState&)>& visit,
                     int64_t stateLimit = 0, const std::function<bool(int64_t)>& goOn = {});
  // The number of states that the last exploration visited.
  int64_t Visited() const { return static_cast<int64_t>(visits_.size()); }
  // The breadth-first path of the last exploration from the initial state to its state number
  // `index` (< Visited()): one step per tick or transition, in order; empty for the initial state.
  // After a search of the graph below, the path by which each state was first met.
  std::vector<Step> PathTo(int64_t index) const;

  // The state graph, for searches of their own (check/liveness_search.h). States are numbered in
  // the order in which they are first met, as Explore numbers them, and kept until the next
  // exploration or StartGraph.
  struct Edge {
    int64_t target = 0;
    int32_t via = -1;  // the transition's place among its source's (Step::ordinal), -1 for a tick
  };
  // Forgets every state and numbers the initial state 0.
  void StartGraph();
  // The steps out of state number `state` (< Visited()) in the order of Successors, numbering the
  // targets that are met for the first time.
  std::vector<Edge> Edges(int64_t state);
  // The state numbered `state` (< Visited()).
  DsState StateOf(int64_t state) const { return Recall(state); }
  // The step of edge `via` out of state `from` into state `to`, as Successors makes it.
  Step StepAlong(int64_t from, int32_t via, int64_t to) const;

  struct Verdicts {
    std::vector<uint8_t> results;  // one per loaded property, 1 or 0
    int64_t states = 0;            // reachable states visited
    bool complete = true;          // false when more than the limit of states was reachable
    bool rangeError = false;       // some successor had a value outside its declared range
    bool runTimeError = false;     // format 2: some evaluation met a run-time error
    bool loopBound = false;        // format 2: a loop ran past its bound, which ended the search
  };
  // How far Decide explores: until every property is settled, or every reachable state (which
  // finds every value outside its range).
  enum class Extent { kUntilSettled, kWhole };
  // Explores as far as `extent` says or until no state is left; `complete` is false when more
  // than `stateLimit` states were found first.
  Verdicts Decide(int64_t stateLimit, Extent extent = Extent::kUntilSettled);

 private:
  // A visited state: where its words start, the state it was reached from (-1 for the initial
  // state) and the transition that reached it (none for a tick).
  struct Visit {
    size_t offset = 0;
    int64_t parent = -1;
    int32_t via = -1;  // the ordinal of the transition among its source's, -1 for a tick
  };
  struct VisitHash {
    const SemanticsExplorer* explorer;
    size_t operator()(int64_t index) const;
  };
  struct VisitEqual {
    const SemanticsExplorer* explorer;
    bool operator()(int64_t a, int64_t b) const;
  };

  bool Satisfied(int32_t expression, const DsState& state) const;
  // Whether every comparison of `comparisons` holds in `state` (format 2: see above).
  bool AllHold(std::span<const int32_t> comparisons, const DsState& state) const;
  // Applies one update of a transition to `next`; false after a run-time error (noted).
  bool Update(const CUpdate& update, DsState& next) const;
  void NoteError(const RunTimeError& error) const;
  // Whether every integer variable with a declared range lies in it.
  bool InRange(const DsState& state) const;
  const CLocation& LocationOf(const DsState& state, size_t process) const;
  // The clocks that the locations of `state` list, in process order, each once.
  std::vector<int32_t> ClocksOf(const DsState& state) const;
  // Keeps `state` as a new visit unless it was visited; answers its number and whether it was
  // new.
  std::pair<int64_t, bool> Remember(const DsState& state, int64_t parent, int32_t via);
  // The state of visit `index`, as it was remembered.
  DsState Recall(int64_t index) const;
  std::span<const int32_t> Words(int64_t index) const;

  const CSystem& system_;
  CComposition& composition_;
  const size_t integerCount_;
  mutable bool rangeError_ = false;
  mutable bool runTimeError_ = false;
  mutable bool loopBound_ = false;
  const DeadlockHook* deadlock_ = nullptr;
  // Every visited state packed as its composed-location index, integer values and clock values.
  std::vector<int32_t> words_;
  std::vector<Visit> visits_;
  std::unordered_set<int64_t, VisitHash, VisitEqual> visited_;
};

}  // namespace tickcheck
