#pragma once
// A discrete state: one complete, explicit state of the network (the location of every process,
// the value of every integer variable, the value of every clock that the state carries), and the
// value of a variable in it.

#include <cstdint>
#include <span>
#include <vector>

#include "model/system.h"

namespace tickcheck {

struct DsState {
  // Composed-location index of the location vector.
  int64_t locationIndex = -1;
  // The composition's row for that index: one 1-based location id per process, in process
  // order. Not owned: the composition keeps its rows for the whole run, and states of one
  // composed location share the row.
  std::span<const int32_t> locations;
  // One value per integer variable (Type 0), in declaration order: the value of an integer
  // variable is entry `intValueIndex` of its record (entry v - 1 for variable v when the model
  // declares its integer variables first, as model compilers do).
  std::vector<int32_t> intValues;
  // clockValues[k] is the value of clock activeClocks[k]; a clock not listed has no value.
  std::vector<int32_t> clockValues;
  std::vector<int32_t> activeClocks;
};

// The entry of `state`'s integer values that holds integer variable `v` of `model`, or -1 when
// `v` is not an integer variable or the state has no such entry.
inline int32_t IntegerValueIndex(const CSystem& model, const DsState& state, int32_t v) {
  if (v < 1 || static_cast<size_t>(v) > model.variables.size())
    return -1;
  const CVariable& variable = model.variables[static_cast<size_t>(v) - 1];
  if (variable.Type != VarType::kInteger || variable.intValueIndex < 0 ||
      static_cast<size_t>(variable.intValueIndex) >= state.intValues.size()) {
    return -1;
  }
  return variable.intValueIndex;
}

// The value of variable `v` of `model` in `state`: for an integer variable its entry in
// `intValues`, for any other variable its value among the active clocks, or -1 when the state
// does not carry it. A variable id outside the model, or an integer variable beyond the state's
// values, gives 0.
int32_t VariableValue(const CSystem& model, const DsState& state, int32_t v);

}  // namespace tickcheck
