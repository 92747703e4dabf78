#pragma once
// Code generation: writes the instantiated network, its clock plan and its queries as the
// description of a model file of format 2 (model/model_writer.h). Integer variables come first
// (each cell of a record or array one variable, with its declared range), then the clocks; every
// process keeps its locations in declaration order; an edge becomes one jump per disjunct of its
// guard (and per channel of a sync whose index depends on variables); each query becomes one
// property that holds its formula (lower.h says how terms become expression trees).
//
// Updates stay assignment pairs where they can (a variable or a clock set to a value without
// calls or side effects) and are effects otherwise, in their order. Committed and urgent
// locations and urgent channels become the keys `Committed<l>`, `Urgent<l>` and `[Channels]
// Urgent<c>`; a model with a broadcast channel asks for the usual broadcast rule
// (`BroadcastRule=1`): every receiving edge is a receiving jump, whatever else the process does
// on the channel. An edge on an urgent channel with a clock in its guard is refused.

#include <optional>
#include <vector>

#include "lang/clock_plan.h"
#include "lang/diagnostics.h"
#include "lang/network.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

// Where a jump of the model file comes from: a source edge of the process's template (its
// number from 0) with the values of its select names; edge -1 would mark a jump that code
// generation added (none is added today).
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

// The model file's description; nullopt after an error (a clock in the guard of an edge on an
// urgent channel, an expression the model file cannot carry).
std::optional<GeneratedModel> GenerateModel(const Network& network, const NetworkGuards& guards,
                                            const NetworkInvariants& invariants,
                                            const ClockPlan& clocks,
                                            const std::vector<Query>& queries,
                                            Diagnostics& diagnostics);

}  // namespace tickcheck::lang
