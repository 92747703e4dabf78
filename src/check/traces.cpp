#include "check/traces.h"

#include "check/semantics_explorer.h"

namespace tickcheck {
namespace {

TraceState Owned(const DsState& state) {
  return {{state.locations.begin(), state.locations.end()},
          state.intValues,
          state.activeClocks,
          state.clockValues};
}

// The path folded into steps: the ticks before a transition become its delay.
Trace Folded(const DsState& initial, const std::vector<Step>& path) {
  Trace trace{Owned(initial), {}};
  int32_t delay = 0;
  for (const Step& step : path) {
    if (step.jumps.empty()) {
      ++delay;
      continue;
    }
    TraceStep folded{delay, {}, Owned(step.next)};
    for (const StepJump& part : step.jumps)
      folded.jumps.push_back({part.process + 1, part.jump->From, part.jump->To, part.jump->number});
    trace.steps.push_back(std::move(folded));
    delay = 0;
  }
  if (delay > 0)
    trace.steps.push_back({delay, {}, Owned(path.back().next)});
  return trace;
}

}  // namespace

TraceSearch FindTraces(const CSystem& system, MessageSink& messages,
                       const std::vector<bool>& wanted, int64_t stateLimit,
                       const std::function<bool(int64_t)>& goOn) {
  const std::vector<CProperty>& properties = system.properties;
  TraceSearch search;
  search.traces.resize(properties.size());
  SemanticsExplorer explorer(system, messages);
  // The visit that shows each wanted property, by its number in the exploration.
  std::vector<int64_t> shownAt(properties.size(), -1);
  size_t open = 0;
  for (size_t i = 0; i < properties.size(); ++i)
    open += wanted[i] && (properties[i].Type == 0 || properties[i].Type == 1) ? 1 : 0;
  const ExploreEnd end =
      open == 0 ? ExploreEnd::kStopped
                : explorer.Explore(
                      [&](int64_t index, const DsState& state) {
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
                      },
                      stateLimit, goOn);
  search.states = explorer.Visited();
  if (end == ExploreEnd::kInterrupted) {
    search.end = TraceSearch::End::kInterrupted;
    return search;
  }
  const DsState initial = explorer.Initial();
  for (size_t i = 0; i < properties.size(); ++i) {
    if (shownAt[i] >= 0)
      search.traces[i] = Folded(initial, explorer.PathTo(shownAt[i]));
  }
  search.end = open == 0 ? TraceSearch::End::kComplete : TraceSearch::End::kMissing;
  return search;
}

}  // namespace tickcheck
