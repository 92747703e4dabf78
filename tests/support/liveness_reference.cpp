#include "support/liveness_reference.h"

#include <algorithm>

#include "check/semantics_explorer.h"

namespace tickcheck::testing {
namespace {

using Arc = LivenessGraph::Arc;

// EG f over `graph`, f given per state.
std::vector<bool> AlwaysGlobally(const LivenessGraph& graph,
                                 const std::vector<std::vector<size_t>>& predecessors,
                                 const std::vector<bool>& f) {
  const size_t n = f.size();
  std::vector<bool> z = f;
  while (true) {
    // mu Y: the f-states that reach, through f-states, a state with no step or a counting step
    // into Z; found backwards from those.
    std::vector<bool> y(n, false);
    std::vector<size_t> pending;
    for (size_t s = 0; s < n; ++s) {
      const std::vector<Arc>& arcs = graph.successors[s];
      const bool seed =
          f[s] && (arcs.empty() || std::any_of(arcs.begin(), arcs.end(), [&](const Arc& arc) {
                     return arc.counts && z[arc.target];
                   }));
      if (seed) {
        y[s] = true;
        pending.push_back(s);
      }
    }
    while (!pending.empty()) {
      const size_t t = pending.back();
      pending.pop_back();
      for (size_t s : predecessors[t]) {
        if (f[s] && !y[s]) {
          y[s] = true;
          pending.push_back(s);
        }
      }
    }
    if (y == z)
      return z;
    z = std::move(y);
  }
}

}  // namespace

bool DecideOnGraph(const LivenessGraph& graph, Liveness liveness, std::vector<bool> p,
                   std::vector<bool> q) {
  const size_t n = graph.successors.size();
  std::vector<std::vector<size_t>> predecessors(n);
  for (size_t s = 0; s < n; ++s) {
    for (const Arc& arc : graph.successors[s])
      predecessors[arc.target].push_back(s);
  }
  switch (liveness) {
    case Liveness::kAlways:
      return AlwaysGlobally(graph, predecessors, p)[0];
    case Liveness::kEventually:
      p.flip();
      return !AlwaysGlobally(graph, predecessors, p)[0];
    default: {
      q.flip();
      const std::vector<bool> avoided = AlwaysGlobally(graph, predecessors, q);
      for (size_t s = 0; s < n; ++s) {
        if (p[s] && avoided[s])
          return false;
      }
      return true;
    }
  }
}

ReferenceLiveness DecideLivenessByFixpoints(const CSystem& system, CComposition& composition,
                                            bool noZeno, size_t stateLimit) {
  ReferenceLiveness reference;
  reference.verdicts.resize(system.properties.size());
  SemanticsExplorer explorer(system, composition.Messages());
  LivenessGraph graph;
  explorer.StartGraph();
  for (int64_t state = 0; state < explorer.Visited(); ++state) {
    if (static_cast<size_t>(explorer.Visited()) > stateLimit) {
      reference.complete = false;
      return reference;
    }
    std::vector<Arc> arcs;
    for (const SemanticsExplorer::Edge& edge : explorer.Edges(state))
      arcs.push_back({static_cast<size_t>(edge.target), !noZeno || edge.via == -1});
    graph.successors.push_back(std::move(arcs));
  }
  const size_t n = graph.successors.size();
  reference.states = n;
  for (size_t i = 0; i < system.properties.size(); ++i) {
    const CProperty& property = system.properties[i];
    if (property.liveness == Liveness::kNone)
      continue;
    std::vector<bool> p(n);
    std::vector<bool> q(n);
    for (size_t s = 0; s < n; ++s) {
      const DsState state = explorer.StateOf(static_cast<int64_t>(s));
      p[s] = explorer.Holds(property, state);
      q[s] = explorer.Holds(property.Then(), state);
    }
    reference.verdicts[i] = DecideOnGraph(graph, property.liveness, std::move(p), std::move(q));
  }
  return reference;
}

}  // namespace tickcheck::testing
