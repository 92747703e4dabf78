#include "check/liveness.h"

#include <algorithm>

#include "check/liveness_search.h"
#include "check/semantics_explorer.h"

namespace tickcheck {
namespace {

// The lasso as a trace: the prefix from the initial state, the cycle from the prefix's last state.
Trace LassoTrace(const DsState& initial, const Lasso& lasso) {
  Trace trace = TraceOf(initial, lasso.prefix);
  const DsState& start = lasso.prefix.empty() ? initial : lasso.prefix.back().next;
  trace.cycle = TraceOf(start, lasso.cycle).steps;
  return trace;
}

}  // namespace

bool HasLiveness(const CSystem& system) {
  return std::any_of(system.properties.begin(), system.properties.end(),
                     [](const CProperty& p) { return p.liveness != Liveness::kNone; });
}

LivenessResults DecideLiveness(const CSystem& system, MessageSink& messages, bool noZeno,
                               bool traces, int64_t stateLimit,
                               const std::function<bool(int64_t)>& goOn) {
  LivenessResults results;
  results.verdicts.resize(system.properties.size());
  results.traces.resize(system.properties.size());
  results.errors.resize(system.properties.size());
  if (!HasLiveness(system))
    return results;
  SemanticsExplorer explorer(system, messages);
  LivenessSearch search(explorer, noZeno);
  const DsState initial = explorer.Initial();
  for (size_t i = 0; i < system.properties.size(); ++i) {
    const CProperty& property = system.properties[i];
    if (property.liveness == Liveness::kNone)
      continue;
    const LivenessOutcome outcome = search.Decide(property, stateLimit, goOn);
    results.errors[i] = outcome.error;
    if (outcome.end != LivenessOutcome::End::kDecided) {
      switch (outcome.end) {
        case LivenessOutcome::End::kStateLimit:
          results.end = LivenessResults::End::kStateLimit;
          break;
        case LivenessOutcome::End::kLoopBound:
          results.end = LivenessResults::End::kLoopBound;
          break;
        default:
          results.end = LivenessResults::End::kInterrupted;
          break;
      }
      break;
    }
    results.verdicts[i] = outcome.holds;
    if (traces && outcome.lasso)
      results.traces[i] = LassoTrace(initial, *outcome.lasso);
  }
  results.states = search.States();
  return results;
}

}  // namespace tickcheck
