#include "expr/property.h"

#include <algorithm>
#include <iostream>

#include "model/expression_record.h"
#include "statespace/ds_state.h"

namespace tickcheck {

bool CAtomProperty::Compare(int32_t value, int32_t relation, int32_t bound) {
  if (!IsRelationCode(relation)) {
    std::cout << "ERROR! In CAtomProperty::Compare()\n";
    return false;
  }
  return ApplyRelation(relation, value, bound);
}

bool CAtomProperty::IsSatisfied(const DsState& state) const {
  bool result = false;
  switch (kind) {
    case kIntegerVariable: {
      const int32_t index = IntegerValueIndex(state, variable);
      result = relation != kNeverHolds && index >= 0 &&
               Compare(state.intValues[static_cast<size_t>(index)], relation, bound);
      break;
    }
    case kClock: {
      const auto clock = std::find(state.activeClocks.begin(), state.activeClocks.end(), variable);
      if (clock == state.activeClocks.end())
        return negated != 1;
      const size_t position = static_cast<size_t>(clock - state.activeClocks.begin());
      result = relation != kNeverHolds && position < state.clockValues.size() &&
               Compare(state.clockValues[position], relation, bound);
      break;
    }
    default:
      // An atom that names no process is not about the state at all: it never holds, negated
      // or not.
      if (process < 1 || static_cast<size_t>(process) > state.locations.size())
        return false;
      result = state.locations[static_cast<size_t>(process) - 1] == location;
      break;
  }
  return negated == 1 ? !result : result;
}

bool CProperty::Holds(const DsState& state) const {
  return std::all_of(atoms.begin(), atoms.end(),
                     [&state](const CAtomProperty& atom) { return atom.IsSatisfied(state); });
}

}  // namespace tickcheck
