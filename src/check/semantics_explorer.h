#pragma once
// An explicit-state explorer of the plain discrete-time semantics of a loaded model, one state at
// a time: the search for the runs that `--trace` prints (check/traces.h), and the reference that
// the tests compare the checker's verdicts with. It reads the model records and evaluates
// expressions with the expression evaluator; it shares nothing with the symbolic search (no
// composition, no delay window, no merging of waiting entries, no reached set), so that the tests
// that compare the two check the composition too.
//
// A state is the location of each process, the integer values and the values of the active
// clocks (those that the current locations list, in process order, each once). Its transitions
// are made from the jumps of the current locations:
//  - an internal jump (Syn <= 0) alone;
//  - a sending jump (SynType other than 0) on a channel that is not broadcast, with each jump of
//    another process on the same channel that receives (SynType other than 1): one transition
//    per pair;
//  - a broadcast jump (Broadcast=1, SynType other than 0) under the usual rule
//    (CSystem::usualBroadcast): with, for every other process, one of its receiving jumps
//    (Syn equal, Broadcast=1, SynType other than 1) whose guard holds, one transition per choice,
//    a process without such a jump staying where it is; under the old rule with every process
//    that has a broadcast jump on the channel anywhere, each taking its first jump on the channel
//    out of its current location (none fires when one has no such jump; when no process listens,
//    the model is broken there and no later jump of the state is looked at);
//  - while some process is in a committed location, only the transitions in which a process
//    leaves a committed location.
// A transition can be taken when the guards of its jumps hold in the state and the target's
// invariants hold after it: the processes that take part move, the clock list is rebuilt (kept
// clocks keep their values, new ones start at 0), then the assignments run in order, the
// initiator's first. A transition whose integers leave their declared range (0 <= Min <= Max) is
// reported (RangeErrorSeen) and its state not explored.
//
// Urgent jumps (iUrgent=1, internal only): time passing from a state that a transition entered (or
// the initial state) reaches a run of states; an urgent jump is taken only in the first state of
// that run in which it can be taken. The explorer keeps, beside each state, the urgent jumps that
// could be taken in an earlier state of the run it is in (the run starts anew after every
// transition).
//
// A tick (every active clock + 1, never above its Max) is possible when no process is in a
// committed or urgent location, no transition synchronising on an urgent channel can be taken,
// and every current location's invariant holds after it.
//
// In a format-2 model the comparisons of a guard or an invariant are all evaluated, in order; an
// effect (variable 0) runs its expression on the state being made and every assignment checks
// the range of its integer variable at once; a run-time error (expr/program.h) means the step is
// not taken (RunTimeErrorSeen; a range error counts as RangeErrorSeen) and a property that meets
// one does not hold. A loop that runs past its bound ends the exploration (kLoopBound).
//
// A state is a deadlock when no transition can be taken in it nor in any state that ticks alone
// reach from it (urgent jumps count here wherever they can be taken). The explorer answers the
// `deadlock` of property expressions itself (DeadlockHook).
//
// A Type 0 property holds when some reachable state satisfies it, Type 1 when every one does; any
// other Type holds.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <unordered_set>
#include <utility>
#include <vector>

#include "expr/program.h"
#include "model/ds_state.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

// One process's part in a transition: the 0-based process and the jump it takes.
struct StepJump {
  int32_t process = 0;
  const CJump* jump = nullptr;
};

// One successor: a tick (no jumps) or a transition, and the state it leads to.
struct Step {
  std::vector<StepJump> jumps;  // the initiator first, then partners or receivers in process order
  DsState next;
};

// How an exploration ended.
enum class ExploreEnd { kExhausted, kStopped, kStateLimit, kInterrupted, kLoopBound };

class SemanticsExplorer : private DeadlockHook {
 public:
  // `system` is loaded with its properties; `messages` takes the lines of the expressions that
  // cannot be evaluated. Both must outlive the explorer.
  SemanticsExplorer(const CSystem& system, MessageSink& messages);
  SemanticsExplorer(const SemanticsExplorer&) = delete;
  SemanticsExplorer& operator=(const SemanticsExplorer&) = delete;

  // The initial locations, the initial integer values, and the clocks of the initial locations
  // (in process order, each once) at their initial values. Its locationIndex is the explorer's
  // own number of the location vector.
  DsState Initial();
  // The successors of `state` (taken as the first state of a wait: no urgent jump passed yet), the
  // tick first when it is possible, then the transitions in the order of their initiators.
  std::vector<Step> Successors(const DsState& state);
  // The location vector that the explorer numbered `number` (a state's locationIndex).
  std::span<const int32_t> LocationsOf(int64_t number) const {
    return rows_[static_cast<size_t>(number)];
  }
  // Whether some successor made so far had a value outside its variable's declared range.
  bool RangeErrorSeen() const { return rangeError_; }
  // Format 2: whether some evaluation met a run-time error, and whether it was a loop that ran
  // past its bound.
  bool RunTimeErrorSeen() const { return runTimeError_; }
  bool LoopBoundReached() const { return loopBound_; }
  // Whether `state` is a deadlock (see above).
  bool IsDeadlock(const DsState& state) const override;
  // The explorer as the hook that answers `deadlock` in property expressions.
  const DeadlockHook& Deadlock() const { return *this; }
  // The property in one state: its expression, or its conjunction of atoms. A clock atom on a
  // clock the state does not carry holds unless negated; a location atom that names no process
  // never holds, negated or not. An expression property that meets a run-time error does not
  // hold; the error goes to `error` when it is given.
  bool Holds(const CProperty& property, const DsState& state,
             std::optional<RunTimeError>* error = nullptr) const;
  // True when the invariant of every process's current location holds in `state`.
  bool InvariantsHold(const DsState& state) const;

  // Visits the reachable states breadth-first, each once, the initial state first: `visit` gets
  // each new state with its number in the order of visits (0 for the initial state) and answers
  // whether to go on. Ends when `visit` answers no (kStopped), when no state is left
  // (kExhausted), once more than `stateLimit` states were visited (kStateLimit; 0: no limit), or
  // when `goOn`, asked every few thousand states with the number visited so far, answers no
  // (kInterrupted). A state counts once for each set of urgent jumps it has already passed (see
  // above). The states visited are kept, with the step that first reached each, until the next
  // exploration.
  ExploreEnd Explore(const std::function<bool(int64_t, const DsState&)>& visit,
                     int64_t stateLimit = 0, const std::function<bool(int64_t)>& goOn = {});
  // The number of states that the last exploration visited.
  int64_t Visited() const { return static_cast<int64_t>(visits_.size()); }
  // The breadth-first path of the last exploration from the initial state to its state number
  // `index` (< Visited()): one step per tick or transition, in order; empty for the initial state.
  // After a search of the graph below, the path by which each state was first met.
  std::vector<Step> PathTo(int64_t index);

  // The state graph, for searches of their own (check/liveness_search.h). Its states are the
  // explorer's visits (a state with the urgent jumps it has passed, so one state may have several
  // numbers), numbered in the order in which they are first met, as Explore numbers them, and
  // kept until the next exploration or StartGraph.
  struct Edge {
    int64_t target = 0;
    int32_t via = -1;  // the transition's place among its source's moves, -1 for a tick
  };
  // Forgets every state and numbers the initial state 0.
  void StartGraph();
  // The steps out of state number `state` (< Visited()) in the order of Successors, numbering the
  // targets that are met for the first time.
  std::vector<Edge> Edges(int64_t state);
  // The state numbered `state` (< Visited()).
  DsState StateOf(int64_t state) const { return Recall(state).state; }
  // The step of edge `via` out of state `from` into state `to`, as Successors makes it.
  Step StepAlong(int64_t from, int32_t via, int64_t to);

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
  // A state with the urgent jumps (process, place among its location's jumps) that could be
  // taken earlier in the run of ticks it is in, ascending pairs.
  struct Node {
    DsState state;
    std::vector<int32_t> passed;
  };
  // A transition of the state: its jumps, the initiator first.
  struct Move {
    std::vector<StepJump> jumps;
    bool urgentChannel = false;
    int32_t urgentJump = -1;  // for an urgent internal jump, its place among its location's jumps
  };
  struct NodeStep {
    Step step;
    int32_t via = -1;  // the place of the transition among the state's moves, -1 for a tick
    std::vector<int32_t> passed;
  };
  // A visited state: where its words start, the state it was reached from (-1 for the initial
  // state) and the transition that reached it (-1 for a tick).
  struct Visit {
    size_t offset = 0;
    int64_t parent = -1;
    int32_t via = -1;
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
  bool GuardHolds(const CJump& jump, const DsState& state) const;
  // Whether the guard of every jump of `jumps` holds (each evaluated).
  bool GuardsHold(std::span<const StepJump> jumps, const DsState& state) const;
  // Applies one assignment of a jump to `next`; false after a run-time error (noted).
  bool Update(const Assignment& assignment, DsState& next) const;
  void NoteError(const RunTimeError& error) const;
  // Whether every integer variable with a declared range lies in it.
  bool InRange(const DsState& state) const;
  const CLocation& LocationOf(const DsState& state, size_t process) const;
  // The clocks that the locations of `state` list, in process order, each once.
  std::vector<int32_t> ClocksOf(const DsState& state) const;
  // Points `state` at the explorer's row of `vector` and numbers it.
  void PlaceAt(DsState& state, const std::vector<int32_t>& vector) const;
  // The transitions out of the state's locations whose jumps' guards hold, in the order of their
  // initiators (process, then jump).
  std::vector<Move> Moves(const DsState& state) const;
  // Whether no process is in a committed or urgent location.
  bool TimeMayPass(const DsState& state) const;
  // The state one tick later (its invariants not tested).
  DsState Ticked(const DsState& state) const;
  // Appends the broadcasts that `sender`'s jump `jump` starts to `moves`; answers false when no
  // process listens under the old rule.
  bool AddBroadcasts(const DsState& state, int32_t sender, const CJump& jump,
                     std::vector<Move>& moves) const;
  // The state that `move` makes from `state` (its invariants not tested), or nothing after a
  // run-time error in an assignment.
  std::optional<DsState> Apply(const DsState& state, const Move& move) const;
  // The ticks and transitions of `node`, the tick first.
  std::vector<NodeStep> Successors(const Node& node);
  // Keeps `node` as a new visit unless it was visited; answers its number and whether it was new.
  std::pair<int64_t, bool> Remember(const Node& node, int64_t parent, int32_t via);
  // The node of visit `index`, as it was remembered.
  Node Recall(int64_t index) const;
  std::span<const int32_t> Words(int64_t index) const;

  const CSystem& system_;
  MessageSink& messages_;
  const size_t integerCount_;
  mutable bool rangeError_ = false;
  mutable bool runTimeError_ = false;
  mutable bool loopBound_ = false;
  // The location vectors met so far: a state's locations point at one of these rows.
  mutable std::deque<std::vector<int32_t>> rows_;
  mutable std::map<std::vector<int32_t>, int64_t> rowNumbers_;
  // Every visited node packed as its row number, integer values, clock values and passed jumps.
  std::vector<int32_t> words_;
  std::vector<Visit> visits_;
  std::unordered_set<int64_t, VisitHash, VisitEqual> visited_;
};

}  // namespace tickcheck
