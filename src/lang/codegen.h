#pragma once
// Code generation: writes the instantiated network, its clock plan and its queries as the
// description of a model file (model/model_writer.h). Integer variables come first, then the
// clocks; every process keeps its locations in declaration order; an edge becomes one jump per
// disjunct of its guard (and per channel of a sync whose index depends on variables); each query
// conjunction becomes one property, in query order.
//
// Broadcast channels are made exact for the checker's composition: a process that receives on a
// channel somewhere gets a receiving self-loop in every location without a receiving edge on it
// (it stays where it is), receiving jumps come first in their location, and a send that no other
// process receives becomes an internal jump.

#include <optional>
#include <vector>

#include "lang/clock_plan.h"
#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/query.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

// The model file's description; nullopt after an error (a broadcast receive that would need
// several jumps, two receives on one broadcast channel out of one location).
std::optional<ModelSpec> GenerateModel(const Network& network, const NetworkGuards& guards,
                                       const ClockPlan& clocks,
                                       const std::vector<QueryPlan>& queries,
                                       Diagnostics& diagnostics);

}  // namespace tickcheck::lang
