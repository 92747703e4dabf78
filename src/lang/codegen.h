#pragma once
// Code generation: writes the instantiated network, its clock plan and its queries as the
// description of a model file of format 2 (model/model_writer.h). Integer variables come first
// (each cell of a record or array one variable, with its declared range), then the clocks; every
// process keeps its locations in declaration order; an edge becomes one jump per disjunct of its
// guard (and per channel of a sync whose index depends on variables); each query becomes one
// property that holds its formula (lower.h says how terms become expression trees).
//
// Updates stay assignment pairs where they can (a variable or a clock set to a value without
// calls or side effects) and are effects otherwise, in their order. Broadcast channels are made
// exact for the checker's composition: a process that receives on a channel somewhere gets a
// receiving self-loop in every location without a receiving edge on it (it stays where it is),
// receiving jumps come first in their location, and a send that no other process receives
// becomes an internal jump.
//
// Committed and urgent locations and urgent channels are refused: the model file does not carry
// them yet.

#include <optional>
#include <vector>

#include "lang/clock_plan.h"
#include "lang/diagnostics.h"
#include "lang/network.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

// Where a jump of the model file comes from: a source edge of the process's template (its
// number from 0) with the values of its select names, or nothing (edge -1) for a jump that code
// generation added (a broadcast listener's receiving self-loop).
struct JumpOrigin {
  int32_t edge = -1;
  std::vector<int32_t> selectValues;
  bool operator==(const JumpOrigin&) const = default;
};

struct GeneratedModel {
  ModelSpec model;
  // Per process, per jump of its [Jump<p>] section in order.
  std::vector<std::vector<JumpOrigin>> origins;
};

// The model file's description; nullopt after an error (a broadcast receive that would need
// several jumps, two receives on one broadcast channel out of one location, a construct the
// model file cannot carry).
std::optional<GeneratedModel> GenerateModel(const Network& network, const NetworkGuards& guards,
                                            const NetworkInvariants& invariants,
                                            const ClockPlan& clocks,
                                            const std::vector<Query>& queries,
                                            Diagnostics& diagnostics);

}  // namespace tickcheck::lang
