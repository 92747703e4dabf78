#include "check/traces.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <unordered_set>

#include "check/semantics_explorer.h"
#include "expr/comparison_table.h"

namespace tickcheck {
namespace {

TraceState Owned(const DsState& state) {
  return {{state.locations.begin(), state.locations.end()},
          state.intValues,
          state.activeClocks,
          state.clockValues};
}

// Finds the jumps of a composed transition: the composition lists its participants' guards and
// assignments one after the other, so each participant's jump is one that leaves its location
// for its target and whose guard and assignments come next, and together they must account for
// all of them (a jump without guard or assignments fits anywhere, so a choice may have to be
// taken back).
class JumpMatch {
 public:
  JumpMatch(const CSystem& system, const CComposedTransition& transition,
            std::span<const int32_t> from, std::span<const int32_t> to)
      : system_(system), transition_(transition), from_(from), to_(to) {}

  // One entry per participant, in its order; jump 0 where no choice accounts for everything.
  std::vector<TraceJump> Jumps() {
    for (int32_t process : transition_.procId) {
      const size_t p = static_cast<size_t>(process);
      jumps_.push_back({process + 1, from_[p], to_[p]});
    }
    if (!Choose(0, 0, 0)) {
      for (TraceJump& jump : jumps_)
        jump.jump = 0;
    }
    return jumps_;
  }

 private:
  // Whether `jump` can take participant k's part: its role in the synchronisation (an internal
  // or broadcast jump alone; else the initiator sends and the others take its channel, a binary
  // partner receiving), its target, and the guards and assignments that come next.
  bool Fits(const CJump& jump, size_t k, size_t guard, size_t update) const {
    const size_t p = static_cast<size_t>(transition_.procId[k]);
    bool role = false;
    if (jumps_.size() == 1)
      role = jump.Syn <= 0 || jump.Broadcast;
    else if (k == 0)
      role = jump.Syn > 0 && jump.SynType != 0;
    else
      role = jump.Syn == initiator_->Syn && (initiator_->Broadcast || jump.SynType != 1);
    if (!role || jump.To != to_[p] ||
        guard + jump.guardExpIds.size() > transition_.guardExpId.size() ||
        update + jump.assignments.size() > transition_.updates.size() ||
        !std::equal(jump.guardExpIds.begin(), jump.guardExpIds.end(),
                    transition_.guardExpId.begin() + static_cast<std::ptrdiff_t>(guard))) {
      return false;
    }
    for (size_t n = 0; n < jump.assignments.size(); ++n) {
      const CUpdate taken = transition_.updates[update + n];
      if (taken.updateVar != jump.assignments[n].varId ||
          taken.updateExpId != jump.assignments[n].expId)
        return false;
    }
    return true;
  }

  bool Choose(size_t k, size_t guard, size_t update) {
    if (k == jumps_.size())
      return guard == transition_.guardExpId.size() && update == transition_.updates.size();
    const size_t p = static_cast<size_t>(transition_.procId[k]);
    const CLocation& location = system_.processes[p].locations[static_cast<size_t>(from_[p]) - 1];
    for (const CJump& jump : location.jumps) {
      if (!Fits(jump, k, guard, update))
        continue;
      jumps_[k].jump = jump.number;
      if (k == 0)
        initiator_ = &jump;
      if (Choose(k + 1, guard + jump.guardExpIds.size(), update + jump.assignments.size()))
        return true;
    }
    return false;
  }

  const CSystem& system_;
  const CComposedTransition& transition_;
  std::span<const int32_t> from_, to_;
  std::vector<TraceJump> jumps_;
  const CJump* initiator_ = nullptr;  // participant 0's jump, once chosen
};

}  // namespace

// The path folded into steps: the ticks before a transition become its delay.
Trace TraceOf(const CSystem& system, const DsState& initial, const std::vector<Step>& path,
              const CComposition& composition) {
  Trace trace{Owned(initial), {}};
  int32_t delay = 0;
  for (const Step& step : path) {
    if (!step.transition) {
      ++delay;
      continue;
    }
    TraceStep folded{delay, {}, Owned(step.next)};
    const std::span<const int32_t> from = composition.LocationVector(step.transition->pre);
    const std::span<const int32_t> to = composition.LocationVector(step.transition->post);
    folded.jumps = JumpMatch(system, *step.transition, from, to).Jumps();
    trace.steps.push_back(std::move(folded));
    delay = 0;
  }
  if (delay > 0)
    trace.steps.push_back({delay, {}, Owned(path.back().next)});
  return trace;
}

namespace {

// A step of a path of the delay-jumping search: `delay` ticks, then the transition (none for a
// last step that only waits), giving `next`.
struct JumpStep {
  int32_t delay = 0;
  std::optional<CComposedTransition> transition;
  DsState next;
};

// The path folded into steps, as TraceOf does for a path of single ticks.
Trace FoldedJumps(const CSystem& system, const DsState& initial, const std::vector<JumpStep>& path,
                  const CComposition& composition) {
  Trace trace{Owned(initial), {}};
  int32_t delay = 0;
  for (const JumpStep& step : path) {
    delay += step.delay;
    if (!step.transition)
      continue;
    TraceStep folded{delay, {}, Owned(step.next)};
    const std::span<const int32_t> from = composition.LocationVector(step.transition->pre);
    const std::span<const int32_t> to = composition.LocationVector(step.transition->post);
    folded.jumps = JumpMatch(system, *step.transition, from, to).Jumps();
    trace.steps.push_back(std::move(folded));
    delay = 0;
  }
  if (delay > 0)
    trace.steps.push_back({delay, {}, Owned(path.back().next)});
  return trace;
}

// A breadth-first search of the discrete-time semantics that waits from a state only to the next
// delay at which some comparison of a clock (in a guard, an invariant or a property atom) may
// change its answer, or a clock reaches its Max, instead of tick by tick: its cost does not grow
// with the clock constants. Between two such delays every comparison keeps its answer, so the
// ticks in between are allowed when the first is, and the transitions enabled stay the same; but
// a transition is taken only at those delays, so the search may miss a state that needs a
// transition at another delay, and FindTraces then asks the tick-by-tick search.
class JumpSearch {
 public:
  JumpSearch(const CSystem& system, const CComposition& composition, SemanticsExplorer& explorer)
      : system_(system),
        composition_(composition),
        explorer_(explorer),
        table_(system),
        boundsOf_(system.variables.size() + 1) {
    for (const CProcess& process : system.processes) {
      for (const CLocation& location : process.locations) {
        AddComparisons(location.invariantExpIds);
        for (const CJump& jump : location.jumps)
          AddComparisons(jump.guardExpIds);
      }
    }
    for (const CProperty& property : system.properties) {
      for (const CAtomProperty& atom : property.atoms) {
        if (atom.kind == CAtomProperty::kClock && IsClock(atom.variable))
          boundsOf_[static_cast<size_t>(atom.variable)].push_back({-1, atom.bound});
      }
    }
  }

  // Visits states breadth-first from the initial one until `visit` answers false for one (its
  // path is then PathTo(that state's number)), no state is left, more than `stateLimit` states
  // were visited (0: no limit), or `goOn` answers false; answers how it ended.
  ExploreEnd Explore(const std::function<bool(int64_t, const DsState&)>& visit, int64_t stateLimit,
                     const std::function<bool(int64_t)>& goOn) {
    const DsState initial = explorer_.Initial();
    integers_ = initial.intValues.size();
    Remember(initial, -1, 0, -1);
    for (size_t at = 0; at < nodes_.size(); ++at) {
      const DsState state = Recall(at);
      if (!visit(static_cast<int64_t>(at), state))
        return ExploreEnd::kStopped;
      if (stateLimit > 0 && static_cast<int64_t>(nodes_.size()) > stateLimit)
        return ExploreEnd::kStateLimit;
      if (at % 4096 == 0 && goOn && !goOn(static_cast<int64_t>(nodes_.size())))
        return ExploreEnd::kInterrupted;
      std::vector<Step> steps = explorer_.Successors(state);
      bool tickAllowed = false;
      for (Step& step : steps) {
        if (!step.transition) {
          tickAllowed = true;
          continue;
        }
        Remember(step.next, static_cast<int64_t>(at), 0, step.ordinal);
      }
      if (!tickAllowed)
        continue;
      const std::optional<int64_t> delay = NextDelay(state);
      if (!delay)
        continue;
      DsState waited = state;
      for (size_t k = 0; k < waited.activeClocks.size(); ++k) {
        const int64_t max = system_.variables[static_cast<size_t>(waited.activeClocks[k]) - 1].Max;
        waited.clockValues[k] =
            static_cast<int32_t>(std::min<int64_t>(waited.clockValues[k] + *delay, max));
      }
      if (explorer_.InvariantsHold(waited))
        Remember(waited, static_cast<int64_t>(at), static_cast<int32_t>(*delay), -1);
    }
    return ExploreEnd::kExhausted;
  }

  int64_t Visited() const { return static_cast<int64_t>(nodes_.size()); }

  std::vector<JumpStep> PathTo(int64_t index) const {
    std::vector<JumpStep> path;
    for (int64_t at = index; nodes_[static_cast<size_t>(at)].parent >= 0;
         at = nodes_[static_cast<size_t>(at)].parent) {
      const Node& node = nodes_[static_cast<size_t>(at)];
      JumpStep step{node.delay, std::nullopt, Recall(static_cast<size_t>(at))};
      if (node.via >= 0) {
        auto transition =
            composition_.Transitions(Recall(static_cast<size_t>(node.parent)).locationIndex)
                .begin();
        std::advance(transition, node.via);
        step.transition = *transition;
      }
      path.push_back(std::move(step));
    }
    std::reverse(path.begin(), path.end());
    return path;
  }

 private:
  // A visited state: where its words start in `words_`, the state it was reached from (-1 for the
  // initial state), and how: a wait of `delay` ticks (`via` -1) or the transition of that ordinal
  // among its source's.
  struct Node {
    size_t offset = 0;
    int64_t parent = -1;
    int32_t delay = 0;
    int32_t via = -1;
  };
  // A comparison of a clock: its expression id, or -1 for a property atom's fixed bound.
  struct Mark {
    int32_t expression = -1;
    int32_t bound = 0;
  };

  bool IsClock(int32_t v) const {
    return v >= 1 && static_cast<size_t>(v) <= system_.variables.size() &&
           system_.variables[static_cast<size_t>(v) - 1].Type == VarType::kClock;
  }

  void AddComparisons(const std::vector<int32_t>& ids) {
    for (int32_t id : ids) {
      const ComparisonFacts facts = table_.Facts(id);
      if (IsClock(facts.variable))
        boundsOf_[static_cast<size_t>(facts.variable)].push_back(
            {facts.fixedBound ? -1 : id, facts.bound});
    }
  }

  // The first delay of at least 1 at which a comparison of an active clock of `state` may answer
  // otherwise than one delay earlier or later, or a clock reaches its Max; nothing when every
  // active clock stands at its Max.
  std::optional<int64_t> NextDelay(const DsState& state) const {
    std::optional<int64_t> next;
    const auto offer = [&next](int64_t delay) {
      if (delay >= 1 && (!next || delay < *next))
        next = delay;
    };
    for (size_t k = 0; k < state.activeClocks.size(); ++k) {
      const int32_t clock = state.activeClocks[k];
      const int64_t value = state.clockValues[k];
      const int64_t max = system_.variables[static_cast<size_t>(clock) - 1].Max;
      if (value >= max)
        continue;
      offer(max - value);
      for (const Mark& mark : boundsOf_[static_cast<size_t>(clock)]) {
        const int64_t bound = mark.expression < 0 ? mark.bound
                                                  : table_.Bound(table_.Facts(mark.expression),
                                                                 mark.expression, state);
        for (int64_t side = -1; side <= 1; ++side)
          offer(bound + side - value);
      }
    }
    return next;
  }

  // A state's words: its composed location's number (two words), its integer values and the
  // values of its active clocks, which its locations determine.
  std::span<const int32_t> Words(size_t index) const {
    const size_t end = index + 1 < nodes_.size() ? nodes_[index + 1].offset : words_.size();
    return {words_.data() + nodes_[index].offset, end - nodes_[index].offset};
  }

  DsState Recall(size_t index) const {
    const std::span<const int32_t> words = Words(index);
    DsState state;
    state.locationIndex = static_cast<int64_t>(static_cast<uint32_t>(words[0])) |
                          (static_cast<int64_t>(words[1]) << 32);
    state.locations = composition_.LocationVector(state.locationIndex);
    const size_t integers = integers_;
    state.intValues.assign(words.begin() + 2,
                           words.begin() + 2 + static_cast<std::ptrdiff_t>(integers));
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      const CLocation& location =
          system_.processes[p].locations[static_cast<size_t>(state.locations[p]) - 1];
      for (int32_t clock : location.activeClocks) {
        if (std::find(state.activeClocks.begin(), state.activeClocks.end(), clock) ==
            state.activeClocks.end())
          state.activeClocks.push_back(clock);
      }
    }
    state.clockValues.assign(words.begin() + 2 + static_cast<std::ptrdiff_t>(integers),
                             words.end());
    return state;
  }

  void Remember(const DsState& state, int64_t parent, int32_t delay, int32_t via) {
    const size_t offset = words_.size();
    words_.push_back(static_cast<int32_t>(state.locationIndex));
    words_.push_back(static_cast<int32_t>(state.locationIndex >> 32));
    words_.insert(words_.end(), state.intValues.begin(), state.intValues.end());
    words_.insert(words_.end(), state.clockValues.begin(), state.clockValues.end());
    nodes_.push_back({offset, parent, delay, via});
    if (!seen_.insert(nodes_.size() - 1).second) {
      nodes_.pop_back();
      words_.resize(offset);
    }
  }

  struct NodeHash {
    const JumpSearch* search;
    size_t operator()(size_t index) const {
      uint64_t hash = 0x9E3779B97F4A7C15ull;
      for (int32_t word : search->Words(index))
        hash = (hash ^ static_cast<uint32_t>(word)) * 0x100000001B3ull;
      return static_cast<size_t>(hash ^ (hash >> 29));
    }
  };
  struct NodeEqual {
    const JumpSearch* search;
    bool operator()(size_t a, size_t b) const {
      return std::ranges::equal(search->Words(a), search->Words(b));
    }
  };

  const CSystem& system_;
  const CComposition& composition_;
  SemanticsExplorer& explorer_;
  const ComparisonTable table_;
  std::vector<std::vector<Mark>> boundsOf_;  // by clock variable id
  size_t integers_ = 0;                      // the integer values of a state
  std::vector<int32_t> words_;
  std::vector<Node> nodes_;
  std::unordered_set<size_t, NodeHash, NodeEqual> seen_{64, NodeHash{this}, NodeEqual{this}};
};

}  // namespace

TraceSearch FindTraces(const CSystem& system, CComposition& composition,
                       const std::vector<bool>& wanted, int64_t stateLimit,
                       const std::function<bool(int64_t)>& goOn) {
  const std::vector<CProperty>& properties = system.properties;
  TraceSearch search;
  search.traces.resize(properties.size());
  SemanticsExplorer explorer(system, composition);
  size_t open = 0;
  for (size_t i = 0; i < properties.size(); ++i)
    open += wanted[i] && (properties[i].Type == 0 || properties[i].Type == 1) ? 1 : 0;
  // Marks in `shownAt` the wanted properties that `state`, visit `index`, shows; answers whether
  // some are left.
  std::vector<int64_t> shownAt(properties.size(), -1);
  const auto show = [&](int64_t index, const DsState& state) {
    for (size_t i = 0; i < properties.size(); ++i) {
      const int32_t type = properties[i].Type;
      if (!wanted[i] || shownAt[i] >= 0 || (type != 0 && type != 1))
        continue;
      if (explorer.Holds(properties[i], state) == (type == 0)) {
        shownAt[i] = index;
        --open;
      }
    }
    return open > 0;
  };

  // First waiting from delay to delay at which something may change; what that misses, tick by
  // tick.
  const DsState initial = explorer.Initial();
  // The marks of the jumps come from comparisons of atoms, guards and invariants: a property that
  // is an expression is looked for tick by tick.
  const bool atomsOnly = std::ranges::all_of(
      properties, [](const CProperty& property) { return property.expression < 0; });
  if (open > 0 && atomsOnly) {
    JumpSearch jumps(system, composition, explorer);
    const ExploreEnd end = jumps.Explore(show, stateLimit, goOn);
    search.states += jumps.Visited();
    if (end == ExploreEnd::kInterrupted) {
      search.end = TraceSearch::End::kInterrupted;
      return search;
    }
    for (size_t i = 0; i < properties.size(); ++i) {
      if (shownAt[i] >= 0)
        search.traces[i] = FoldedJumps(system, initial, jumps.PathTo(shownAt[i]), composition);
    }
  }
  if (open > 0) {
    std::ranges::fill(shownAt, -1);
    std::vector<bool> missing(properties.size(), false);
    for (size_t i = 0; i < properties.size(); ++i)
      missing[i] = wanted[i] && !search.traces[i];
    const auto showMissing = [&](int64_t index, const DsState& state) {
      for (size_t i = 0; i < properties.size(); ++i) {
        if (missing[i] && shownAt[i] < 0 &&
            explorer.Holds(properties[i], state) == (properties[i].Type == 0)) {
          shownAt[i] = index;
          --open;
        }
      }
      return open > 0;
    };
    const ExploreEnd end = explorer.Explore(showMissing, stateLimit, goOn);
    search.states += explorer.Visited();
    if (end == ExploreEnd::kInterrupted) {
      search.end = TraceSearch::End::kInterrupted;
      return search;
    }
    for (size_t i = 0; i < properties.size(); ++i) {
      if (missing[i] && shownAt[i] >= 0)
        search.traces[i] = TraceOf(system, initial, explorer.PathTo(shownAt[i]), composition);
    }
  }
  search.end = open == 0 ? TraceSearch::End::kComplete : TraceSearch::End::kMissing;
  return search;
}

}  // namespace tickcheck
