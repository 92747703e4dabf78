#include "model/ds_state.h"

namespace tickcheck {

int32_t VariableValue(const CSystem& model, const DsState& state, int32_t v) {
  if (v < 1 || static_cast<size_t>(v) > model.variables.size())
    return 0;
  if (model.variables[static_cast<size_t>(v) - 1].Type == VarType::kInteger) {
    const int32_t index = IntegerValueIndex(model, state, v);
    return index < 0 ? 0 : state.intValues[static_cast<size_t>(index)];
  }
  for (size_t k = 0; k < state.activeClocks.size() && k < state.clockValues.size(); ++k) {
    if (state.activeClocks[k] == v)
      return state.clockValues[k];
  }
  return -1;
}

}  // namespace tickcheck
