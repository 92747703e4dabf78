#pragma once
// What a trace (check/traces.h) looks like to a user: the names of the model's processes,
// locations and variables, kept beyond the model's lifetime, and the lines of a trace:
//
//   Trace for property 2 (reachable), 3 steps:
//     state 0: P(1).idle P(2).idle  id=0
//     step 1: delay 0  P(1): idle -> req   ->  P(1).req P(2).idle  id=0  P(1).x=0
//     step 2: delay 2  P(1): req -> wait   ->  P(1).wait P(2).idle  id=1  P(1).x=0
//     step 3: delay 3  P(1): wait -> cs    ->  P(1).cs P(2).idle  id=1
//
// A state shows each process's location, then the integer variables, then the active clocks. A
// step shows the time waited before its jumps, its jumps ("(waiting)" for a last step that only
// waits) and the state after them; the columns are aligned within one trace. For a compiled
// model a jump shows the values of its edge's select names (`Train(2): appr -> stop [e=1]`),
// and a jump that the compiler added is not shown.
// The compact view shows after the first state only what a step changed: the locations and
// integers whose values differ, and the clocks that were set or became active (the others
// advanced by the step's delay).
//
// A lasso (the run of a liveness property) goes on with the steps of its cycle, labelled "cycle
// 1:", "cycle 2:" ..., the last of which comes back to the state where the cycle starts; its
// heading says so ("Trace for property 3 (violated), 2 steps, then a cycle of 2 steps back to the
// state after step 2:"), or says that the run ends in a state with no step ("Trace for property 3
// (violated), 4 steps to a state with no step:").

#include <string>
#include <vector>

#include "check/traces.h"
#include "model/system.h"

namespace tickcheck {

// What a compiled model's jump stands for in its source: the values of its edge's select names,
// or that the compiler added it.
struct JumpSource {
  bool added = false;
  std::vector<std::pair<std::string, int32_t>> selects;
};

// The model's names; a missing name is replaced by the number it would name.
struct TraceNames {
  std::vector<std::string> processes;               // by 0-based process
  std::vector<std::vector<std::string>> locations;  // by 0-based process, then 0-based location
  std::vector<std::string> variables;               // by 0-based variable id (id - 1)
  std::vector<std::string> integers;                // by entry of TraceState::intValues
  // For a compiled model: by 0-based process, then by jump number - 1 (empty for a model file).
  std::vector<std::vector<JumpSource>> jumps;

  static TraceNames Of(const CSystem& system);
  // The name of variable `id` (1-based), of location `location` (1-based) of process `process`
  // (1-based); a number outside the model gives the number itself.
  std::string Variable(int32_t id) const;
  std::string Location(int32_t process, int32_t location) const;
  std::string Process(int32_t process) const;
  // The source of jump `jump` (its number in [Jump<p>]) of process `process` (1-based); null
  // when unknown.
  const JumpSource* Jump(int32_t process, int32_t jump) const;
};

enum class TraceView { kFull, kChanges };

// The lines of `trace`, headed "Trace for <title>, <n> steps:".
std::vector<std::string> TraceLines(const std::string& title, const Trace& trace,
                                    const TraceNames& names, TraceView view = TraceView::kFull);

}  // namespace tickcheck
