#include "check/traces.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <unordered_map>

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
  JumpSearch(const CSystem& system, SemanticsExplorer& explorer)
      : system_(system),
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
    Remember(explorer_.Initial(), -1, {});
    for (size_t at = 0; at < nodes_.size(); ++at) {
      if (!visit(static_cast<int64_t>(at), nodes_[at].state))
        return ExploreEnd::kStopped;
      if (stateLimit > 0 && static_cast<int64_t>(nodes_.size()) > stateLimit)
        return ExploreEnd::kStateLimit;
      if (at % 4096 == 0 && goOn && !goOn(static_cast<int64_t>(nodes_.size())))
        return ExploreEnd::kInterrupted;
      const DsState state = nodes_[at].state;
      std::vector<Step> steps = explorer_.Successors(state);
      bool tickAllowed = false;
      for (Step& step : steps) {
        if (!step.transition) {
          tickAllowed = true;
          continue;
        }
        Remember(std::move(step.next), static_cast<int64_t>(at), {0, step.transition, {}});
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
        Remember(std::move(waited), static_cast<int64_t>(at),
                 {static_cast<int32_t>(*delay), std::nullopt, {}});
    }
    return ExploreEnd::kExhausted;
  }

  int64_t Visited() const { return static_cast<int64_t>(nodes_.size()); }

  std::vector<JumpStep> PathTo(int64_t index) const {
    std::vector<JumpStep> path;
    for (int64_t at = index; nodes_[static_cast<size_t>(at)].parent >= 0;
         at = nodes_[static_cast<size_t>(at)].parent) {
      JumpStep step = nodes_[static_cast<size_t>(at)].step;
      step.next = nodes_[static_cast<size_t>(at)].state;
      path.push_back(std::move(step));
    }
    std::reverse(path.begin(), path.end());
    return path;
  }

 private:
  struct Node {
    DsState state;
    int64_t parent = -1;
    JumpStep step;  // how the parent reached it (its `next` left empty)
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

  void Remember(DsState state, int64_t parent, JumpStep step) {
    std::vector<int32_t> key;
    key.reserve(2 + state.intValues.size() + state.clockValues.size());
    key.push_back(static_cast<int32_t>(state.locationIndex));
    key.push_back(static_cast<int32_t>(state.locationIndex >> 32));
    key.insert(key.end(), state.intValues.begin(), state.intValues.end());
    key.insert(key.end(), state.clockValues.begin(), state.clockValues.end());
    if (!seen_.emplace(std::move(key), nodes_.size()).second)
      return;
    nodes_.push_back({std::move(state), parent, std::move(step)});
  }

  struct KeyHash {
    size_t operator()(const std::vector<int32_t>& key) const {
      uint64_t hash = 0x9E3779B97F4A7C15ull;
      for (int32_t word : key)
        hash = (hash ^ static_cast<uint32_t>(word)) * 0x100000001B3ull;
      return static_cast<size_t>(hash ^ (hash >> 29));
    }
  };

  const CSystem& system_;
  SemanticsExplorer& explorer_;
  const ComparisonTable table_;
  std::vector<std::vector<Mark>> boundsOf_;  // by clock variable id
  std::vector<Node> nodes_;
  std::unordered_map<std::vector<int32_t>, size_t, KeyHash> seen_;
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
    JumpSearch jumps(system, explorer);
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
