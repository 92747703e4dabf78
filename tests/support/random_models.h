#pragma once
// A seeded generator of small random networks of timed automata in which timing matters, for
// differential tests of the checker's verdicts: one to three processes with one or two clocks
// each (some active in every location, compared by other processes too and now and then listed
// by their locations; in some models one
// clock per process, running up to a Max of 40 to 120), a few bounded
// integers, invariants and guards over several clocks and the integers, resets and integer
// updates, binary synchronisations and a broadcast channel, now and then an invariant over an
// integer, and reachability and invariance
// properties over locations, integers and clocks. Clocks are active wherever their process
// compares them; every location's L and U bounds are at least the largest lower- and upper-bound
// constants that a path from it may compare with the clock before resetting it (properties
// included), sometimes more. The initial state satisfies its invariants. No jump is urgent.
// The model is written with the model-file writer.

#include <cstdint>
#include <string>

#include "model/model_writer.h"

namespace tickcheck::testing {

struct RandomModel {
  ModelSpec spec;
  // The model in readable form: variables, processes with their locations (active clocks with
  // their bounds, invariants) and jumps, and properties.
  std::string description;
};

// The same seed always gives the same model.
RandomModel RandomTimedModel(uint64_t seed);

}  // namespace tickcheck::testing
