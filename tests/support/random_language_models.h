#pragma once
// Small random models in the modelling language with their queries, from a seed, for the
// differential tests: two or three processes with local clocks and invariants (clock bounds
// that read variables too), guards over clocks and integers combined with &&, ||, !, imply and
// quantifiers, clock comparisons with every relation, binary and broadcast synchronisation
// (several receiving edges out of one location, receivers with clock guards and disjunctions,
// listeners without a receiving edge in some locations), in half of the models committed and
// urgent locations and urgent channels (binary, and broadcast arrays indexed by a variable),
// arrays indexed by constants, variables, template parameters and select names, an array sized
// by a range type, a negative range, records with array fields, constant arrays, functions with
// loops, locals, reference parameters and results, bit operators, compound assignments and
// increments, a global clock that several processes read and reset, clocks set to values of
// variables, and updates that can leave a variable's range, divide by zero or index outside an
// array. The queries compare variables with constants and with each other, read fields, call
// functions, quantify and ask for deadlocks. The same seed always gives the same model.

#include <cstdint>
#include <string>

namespace tickcheck::testing {

struct RandomLanguageModel {
  std::string model;    // a .tck text
  std::string queries;  // a .q text
};

RandomLanguageModel MakeRandomLanguageModel(uint64_t seed);

}  // namespace tickcheck::testing
