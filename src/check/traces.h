#pragma once
// Traces: for each property that the search found reachable (Type 0) or violated (Type 1), one
// run of the model from the initial state to a state that shows it. They are found after the
// search, by a breadth-first exploration of the plain discrete-time semantics
// (check/semantics_explorer.h) that ends once every wanted property has its state, so the runs
// are short, and the search itself pays nothing for them.
//
// A trace is a list of steps: a delay (that many ticks), then the jumps of one composed
// transition. Consecutive ticks make one step's delay; a last step without jumps is the waiting
// that reaches a state showing the property.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "check/semantics_explorer.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

// One state of a trace, owning its values.
struct TraceState {
  std::vector<int32_t> locations;     // 1-based location per process, in process order
  std::vector<int32_t> intValues;     // as DsState::intValues
  std::vector<int32_t> activeClocks;  // variable ids of the active clocks, in process order
  std::vector<int32_t> clockValues;   // the value of each active clock
};

// One process's part in a step: it moves from location `from` to `to` (all 1-based) by its jump
// number `jump` of section [Jump<process>] (0 when no jump of the model file fits the composed
// transition, which a composition of the loaded records always avoids).
struct TraceJump {
  int32_t process = 0;
  int32_t from = 0;
  int32_t to = 0;
  int32_t jump = 0;
};

struct TraceStep {
  int32_t delay = 0;
  std::vector<TraceJump> jumps;  // the initiator first, then partners or receivers
  TraceState state;              // the state after the jumps
};

struct Trace {
  TraceState initial;
  std::vector<TraceStep> steps;
  // A lasso (the run of a liveness property, check/liveness_search.h): the steps that lead from
  // the last state of `steps` (the initial state when there is none) back to it, repeated
  // forever; empty when the run ends in that state, which has no step. None for the other traces.
  std::optional<std::vector<TraceStep>> cycle{};
};

struct TraceSearch {
  enum class End {
    kComplete,     // every wanted property got its trace
    kMissing,      // the reachable states ran out first (or the state limit was reached)
    kInterrupted,  // `goOn` answered no; no trace is kept
  };
  End end = End::kComplete;
  std::vector<std::optional<Trace>> traces;  // one per loaded property
  int64_t states = 0;                        // states visited
};

// The trace of the run `path` from `initial` (steps of the explorer of the semantics): the ticks
// before a transition become its delay.
Trace TraceOf(const DsState& initial, const std::vector<Step>& path);

// Looks for a trace of every property whose `wanted` entry is true (one entry per loaded
// property; only Type 0 and Type 1 properties can have one). Visits at most `stateLimit` states
// (0: no limit) and asks `goOn` every few thousand states, with the number of states visited so
// far, whether to go on. The expressions that cannot be evaluated are reported to `messages`.
TraceSearch FindTraces(const CSystem& system, MessageSink& messages,
                       const std::vector<bool>& wanted, int64_t stateLimit,
                       const std::function<bool(int64_t)>& goOn);

}  // namespace tickcheck
