#include "expr/property_evaluation.h"

#include <algorithm>

#include "model/expression_record.h"

namespace tickcheck {

bool CompareAtomValue(int32_t value, int32_t relation, int32_t bound) {
  return IsRelationCode(relation) && ApplyRelation(relation, value, bound);
}

bool AtomHolds(const CAtomProperty& atom, const CSystem& model, const DsState& state) {
  bool result = false;
  switch (atom.kind) {
    case CAtomProperty::kIntegerVariable: {
      const int32_t index = IntegerValueIndex(model, state, atom.variable);
      result =
          atom.relation != CAtomProperty::kNeverHolds && index >= 0 &&
          CompareAtomValue(state.intValues[static_cast<size_t>(index)], atom.relation, atom.bound);
      break;
    }
    case CAtomProperty::kClock: {
      const auto clock =
          std::find(state.activeClocks.begin(), state.activeClocks.end(), atom.variable);
      if (clock == state.activeClocks.end())
        return atom.negated != 1;
      const size_t position = static_cast<size_t>(clock - state.activeClocks.begin());
      result = atom.relation != CAtomProperty::kNeverHolds && position < state.clockValues.size() &&
               CompareAtomValue(state.clockValues[position], atom.relation, atom.bound);
      break;
    }
    default:
      // An atom that names no process is not about the state at all: it never holds, negated
      // or not.
      if (atom.process < 1 || static_cast<size_t>(atom.process) > state.locations.size())
        return false;
      result = state.locations[static_cast<size_t>(atom.process) - 1] == atom.location;
      break;
  }
  return atom.negated == 1 ? !result : result;
}

bool Holds(const CProperty& property, const CSystem& model, const DsState& state) {
  return std::all_of(property.atoms.begin(), property.atoms.end(),
                     [&](const CAtomProperty& atom) { return AtomHolds(atom, model, state); });
}

}  // namespace tickcheck
