#include "statespace/ds_state.h"

#include "model/system.h"

namespace tickcheck {

int32_t VariableValue(const DsState* state, int32_t v) {
  if (state == nullptr || g_system == nullptr || v < 1 ||
      static_cast<size_t>(v) > g_system->variables.size()) {
    return 0;
  }
  const size_t position = static_cast<size_t>(v) - 1;
  if (g_system->variables[position].Type == VarType::kInteger) {
    return position < state->intValues.size() ? state->intValues[position] : 0;
  }
  for (size_t k = 0; k < state->activeClocks.size() && k < state->clockValues.size(); ++k) {
    if (state->activeClocks[k] == v)
      return state->clockValues[k];
  }
  return -1;
}

}  // namespace tickcheck
