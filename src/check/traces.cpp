#include "check/traces.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_set>

#include "check/semantics_explorer.h"
#include "expr/comparison_table.h"
#include "expr/program.h"

namespace tickcheck {
namespace {

TraceState Owned(const DsState& state) {
  return {{state.locations.begin(), state.locations.end()},
          state.intValues,
          state.activeClocks,
          state.clockValues};
}

// The jumps of a step as a trace shows them.
std::vector<TraceJump> Shown(const std::vector<StepJump>& jumps) {
  std::vector<TraceJump> shown;
  for (const StepJump& part : jumps)
    shown.push_back({part.process + 1, part.jump->From, part.jump->To, part.jump->number});
  return shown;
}

}  // namespace

// The path folded into steps: the ticks before a transition become its delay.
Trace TraceOf(const DsState& initial, const std::vector<Step>& path) {
  Trace trace{Owned(initial), {}};
  int32_t delay = 0;
  for (const Step& step : path) {
    if (step.jumps.empty()) {
      ++delay;
      continue;
    }
    trace.steps.push_back({delay, Shown(step.jumps), Owned(step.next)});
    delay = 0;
  }
  if (delay > 0)
    trace.steps.push_back({delay, {}, Owned(path.back().next)});
  return trace;
}

namespace {

// A step of a path of the delay-jumping search: `delay` ticks, then the jumps of a transition
// (none for a last step that only waits), giving `next`.
struct JumpStep {
  int32_t delay = 0;
  std::vector<StepJump> jumps;
  DsState next;
};

// The path folded into steps, as TraceOf does for a path of single ticks.
Trace FoldedJumps(const DsState& initial, const std::vector<JumpStep>& path) {
  Trace trace{Owned(initial), {}};
  int32_t delay = 0;
  for (const JumpStep& step : path) {
    delay += step.delay;
    if (step.jumps.empty())
      continue;
    trace.steps.push_back({delay, Shown(step.jumps), Owned(step.next)});
    delay = 0;
  }
  if (delay > 0)
    trace.steps.push_back({delay, {}, Owned(path.back().next)});
  return trace;
}

// A breadth-first search of the discrete-time semantics that waits from a state only to the next
// delay at which some comparison of a clock (in a guard, an invariant, a property atom, or met by
// the evaluation of a property expression in the state) may change its answer, or a clock reaches
// its Max, instead of tick by tick: its cost does not grow with the clock constants. Between two
// such delays every comparison keeps its answer, so the ticks in between are allowed when the first
// is, and the transitions enabled stay the same; but a transition is taken only at those delays, so
// the search may miss a state that needs a transition at another delay, and FindTraces then asks
// the tick-by-tick search.
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
      if (property.expression >= 0 && (property.Type == 0 || property.Type == 1) &&
          std::ranges::any_of(
              system.expressions[property.expression].Bindings(),
              [this](const ExpBinding& binding) { return IsClock(binding.variable); }))
        clockExpressions_.push_back(property.expression);
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
      for (size_t k = 0; k < steps.size(); ++k) {
        if (steps[k].jumps.empty()) {
          tickAllowed = true;
          continue;
        }
        Remember(steps[k].next, static_cast<int64_t>(at), 0, static_cast<int32_t>(k));
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
      JumpStep step{node.delay, {}, Recall(static_cast<size_t>(at))};
      // A node keeps only the transition's place among its source's steps.
      if (node.via >= 0) {
        step.jumps =
            explorer_
                .Successors(Recall(static_cast<size_t>(node.parent)))[static_cast<size_t>(node.via)]
                .jumps;
      }
      path.push_back(std::move(step));
    }
    std::reverse(path.begin(), path.end());
    return path;
  }

 private:
  // A visited state: where its words start in `words_`, the state it was reached from (-1 for the
  // initial state), and how: a wait of `delay` ticks (`via` -1) or the step of that place among
  // its source's successors.
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
    // A property expression takes the same path, and gives the same answer, until a comparison
    // of a clock that it meets changes its answer.
    met_.clear();
    for (int32_t id : clockExpressions_)
      EvaluateObserved(system_.expressions[id], system_, state, &explorer_.Deadlock(), met_);
    for (const ClockComparison& comparison : met_) {
      const auto active =
          std::find(state.activeClocks.begin(), state.activeClocks.end(), comparison.clock);
      if (active == state.activeClocks.end())
        continue;
      const int64_t value =
          state.clockValues[static_cast<size_t>(active - state.activeClocks.begin())];
      if (value >= system_.variables[static_cast<size_t>(comparison.clock) - 1].Max)
        continue;
      for (int64_t side = -1; side <= 1; ++side)
        offer(int64_t{comparison.bound} + side - value);
    }
    return next;
  }

  // A state's words: the explorer's number of its location vector (two words), its integer values
  // and the values of its active clocks, which its locations determine.
  std::span<const int32_t> Words(size_t index) const {
    const size_t end = index + 1 < nodes_.size() ? nodes_[index + 1].offset : words_.size();
    return {words_.data() + nodes_[index].offset, end - nodes_[index].offset};
  }

  DsState Recall(size_t index) const {
    const std::span<const int32_t> words = Words(index);
    DsState state;
    state.locationIndex = static_cast<int64_t>(static_cast<uint32_t>(words[0])) |
                          (static_cast<int64_t>(words[1]) << 32);
    state.locations = explorer_.LocationsOf(state.locationIndex);
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
  SemanticsExplorer& explorer_;
  const ComparisonTable table_;
  std::vector<std::vector<Mark>> boundsOf_;   // by clock variable id
  std::vector<int32_t> clockExpressions_;     // the property expressions that read a clock
  mutable std::vector<ClockComparison> met_;  // scratch of NextDelay
  size_t integers_ = 0;                       // the integer values of a state
  std::vector<int32_t> words_;
  std::vector<Node> nodes_;
  std::unordered_set<size_t, NodeHash, NodeEqual> seen_{64, NodeHash{this}, NodeEqual{this}};
};

}  // namespace

TraceSearch FindTraces(const CSystem& system, MessageSink& messages,
                       const std::vector<bool>& wanted, int64_t stateLimit,
                       const std::function<bool(int64_t)>& goOn) {
  const std::vector<CProperty>& properties = system.properties;
  TraceSearch search;
  search.traces.resize(properties.size());
  SemanticsExplorer explorer(system, messages);
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
  // A model with urgent jumps is looked for tick by tick: the jumps would take them at the end of
  // a wait rather than at its first moment.
  const bool urgentJumps = std::ranges::any_of(system.processes, [](const CProcess& process) {
    return std::ranges::any_of(process.locations, [](const CLocation& location) {
      return std::ranges::any_of(location.jumps,
                                 [](const CJump& jump) { return jump.Syn <= 0 && jump.iUrgent; });
    });
  });
  if (open > 0 && !urgentJumps) {
    JumpSearch jumps(system, explorer);
    const ExploreEnd end = jumps.Explore(show, stateLimit, goOn);
    search.states += jumps.Visited();
    if (end == ExploreEnd::kInterrupted) {
      search.end = TraceSearch::End::kInterrupted;
      return search;
    }
    for (size_t i = 0; i < properties.size(); ++i) {
      if (shownAt[i] >= 0)
        search.traces[i] = FoldedJumps(initial, jumps.PathTo(shownAt[i]));
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
        search.traces[i] = TraceOf(initial, explorer.PathTo(shownAt[i]));
    }
  }
  search.end = open == 0 ? TraceSearch::End::kComplete : TraceSearch::End::kMissing;
  return search;
}

}  // namespace tickcheck
