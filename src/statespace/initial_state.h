#pragma once
// The initial state of a composed model: every process in its initial location, every integer
// variable at its initial value, and the clocks that the initial locations list (in process
// order, each once) at their initial values.

#include <variant>

#include "compose/composition.h"
#include "model/ds_state.h"
#include "model/refusal.h"
#include "model/system.h"

namespace tickcheck {

// The initial state, or the refusal of the model when an initial value of an integer variable
// (in declaration order) or of an initial clock does not fit its bits:
// "ERROR! Model refused: variable <name>: initial value <v> does not fit 0 .. <largest>" (or
// "clock <name>: ..."), or in a format-2 model when the bound of an initial invariant meets a
// run-time error ("ERROR! Model refused: the invariant of <process>.<location> cannot be evaluated
// in the initial state: <what>").
std::variant<DsState, Refusal> BuildInitialState(const CSystem& model,
                                                 const CComposition& composition);

}  // namespace tickcheck
