#pragma once
// The declared ranges of the integer variables during successor generation: a successor in which
// an integer variable holds a value outside its declared range (Min .. Max, for variables with
// 0 <= Min <= Max) is not explored, and the first such value of each variable is reported with
// the jumps that made it, instead of being kept silently. A variable is reported once, whether its
// value first left its range here or its bits in the state space (CStateSpace::Encodable).

#include "compose/composition.h"
#include "model/ds_state.h"
#include "statespace/state_space.h"

namespace tickcheck {

class ValueRanges {
 public:
  explicit ValueRanges(const CStateSpace& space);

  // True when every integer value of `target` lies in its variable's declared range. Otherwise,
  // the first time for that variable, writes "ERROR! Variable <name>: value <v> outside its range
  // <Min> .. <Max> after <process>: <from> -> <to>[, ...]; states with such values are skipped",
  // naming every process of `transition` with its locations in `source` and `target`.
  bool Admit(const DsState& source, const DsState& target, const CComposedTransition& transition);

 private:
  const CStateSpace& space_;
};

}  // namespace tickcheck
