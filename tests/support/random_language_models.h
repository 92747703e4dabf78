#pragma once
// Small random models in the modelling language with their queries, from a seed, for the
// differential tests: two or three processes with local clocks and invariants, guards over
// clocks and integers combined with &&, ||, ! and imply, clock comparisons with every relation,
// binary and broadcast synchronisation (with listeners that have no receiving edge in some
// locations and receivers whose guards can block), arrays indexed by constants, variables and
// template parameters, a global clock, and increments that can leave a variable's range.
// The same seed always gives the same model.

#include <cstdint>
#include <string>

namespace tickcheck::testing {

struct RandomLanguageModel {
  std::string model;    // a .tck text
  std::string queries;  // a .q text
};

RandomLanguageModel MakeRandomLanguageModel(uint64_t seed);

}  // namespace tickcheck::testing
