#pragma once
// Small random models in the modelling language whose processes of a template are
// interchangeable, with queries that name particular processes, from a seed, for the
// differential test of the symmetry reduction: one or two templates instantiated for every value
// of a scalar set or of an integer range (from 0 or from 1, with arrays indexed by that range as
// a type), with local clocks and counters, committed and urgent locations, identities held in
// global variables (of a scalar set too, which keeps its first member in place) and arrays
// indexed by the identities, a global clock, binary synchronisation with a controller, also on
// arrays of channels indexed by the identities (the controller selects the member or remembers
// it in a variable), and broadcasts whose receivers touch only their own variables. Some models
// break the symmetry on purpose (a process compares an identity with a constant one, the
// controller too or receives on a member's channel by a constant index, a process uses its
// identity in arithmetic); the checker must then leave the set out. The same seed always gives
// the same model.

#include <cstdint>
#include <string>

namespace tickcheck::testing {

struct RandomSymmetricModel {
  std::string model;            // a .tck text
  std::string queries;          // a .q text
  bool breaksSymmetry = false;  // made to break the symmetry of its first template
};

RandomSymmetricModel MakeRandomSymmetricModel(uint64_t seed);

}  // namespace tickcheck::testing
