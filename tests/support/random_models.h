#pragma once
// A seeded generator of small random networks of timed automata in which timing matters, for
// differential tests of the checker's verdicts. One to three processes with one or two clocks
// each; some clocks are active in every location of their process, compared by other processes
// too and now and then listed by their locations; now and then a shared clock that locations of
// every process may list and every process compares and resets; some models have one clock per
// process that runs up to a Max of 40 to 120. A few bounded integers; invariants and guards over
// several clocks and the integers (now and then an invariant over an integer); resets and integer
// updates; binary synchronisations and a broadcast channel, under the old or the usual broadcast
// rule (then with locations that have several, guarded, receiving jumps); committed and urgent
// locations, urgent channels and urgent internal jumps; reachability and invariance properties
// over locations, integers and clocks. A process compares only clocks that are active where it
// compares them; every location's L and U bounds are at least the largest lower- and upper-bound
// constants that a path from it may compare with the clock before resetting it (properties
// included; every comparison of a shared clock anywhere), sometimes more. The initial state
// satisfies its invariants. The model is written with the model-file writer.

#include <cstdint>
#include <string>

#include "model/model_writer.h"

namespace tickcheck::testing {

struct RandomModel {
  ModelSpec records;
  // The model in readable form: variables, processes with their locations (active clocks with
  // their bounds, invariants) and jumps, and properties.
  std::string description;
};

// The same seed always gives the same model (with the same C++ standard library).
RandomModel RandomTimedModel(uint64_t seed);

}  // namespace tickcheck::testing
