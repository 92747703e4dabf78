#pragma once
// Whether a property (model/property.h) holds in one discrete state of its model.

#include <cstdint>

#include "model/ds_state.h"
#include "model/property.h"
#include "model/system.h"

namespace tickcheck {

// Kind 1 compares the state's integer value, kind 2 the state's value of the clock (a clock the
// state does not carry satisfies the atom unless negated), kind 3 the location of the process.
// An integer variable the state holds no value for makes the comparison false; an atom of a
// process the state does not have never holds, negated or not.
bool AtomHolds(const CAtomProperty& atom, const CSystem& model, const DsState& state);

// True when every atom holds; a property without atoms always holds.
bool Holds(const CProperty& property, const CSystem& model, const DsState& state);

// Applies relation 1 to 6 (signed); any other code answers false (the property loader turns an
// invalid relation into one that never holds, so atoms never ask with one).
bool CompareAtomValue(int32_t value, int32_t relation, int32_t bound);

}  // namespace tickcheck
