#pragma once
// The values that a successor may hold. A successor in which an integer variable holds a value
// outside its declared range (Min .. Max, for variables with 0 <= Min <= Max, and for every
// integer variable of a format-2 model), or a variable a
// value that does not fit its bits, is not explored; the first such value of each variable is
// reported, instead of being kept silently. A variable is reported once, whichever of the two it
// broke first.

#include <cstdint>
#include <vector>

#include "compose/composition.h"
#include "model/ds_state.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

class ValueRanges {
 public:
  // `model` and `messages`, where its lines go, must outlive the object.
  ValueRanges(const CSystem& model, MessageSink& messages);

  // True when every integer value of `target` lies in its variable's declared range. Otherwise,
  // the first time for that variable, writes "ERROR! Variable <name>: value <v> outside its range
  // <Min> .. <Max> after <process>: <from> -> <to>[, ...]; states with such values are skipped",
  // naming every process of `transition` with its locations in `source` and `target`.
  bool Admit(const DsState& source, const DsState& target, const CComposedTransition& transition);
  // Writes the message of Admit for `value` of integer variable `variableId`, the first time for
  // that variable: a format-2 assignment found it outside its range.
  void ReportRange(int32_t variableId, int32_t value, const DsState& source, const DsState& target,
                   const CComposedTransition& transition);
  // True when every value of `state` (less its variable's encodingOffset) fits its bit run.
  // Otherwise, when `report` is set, writes
  // "ERROR! Variable <name>: value <v> does not fit its <n> bits; states with such values are
  // skipped" the first time for that variable.
  bool Encodable(const DsState& state, bool report);
  // The number of variables reported so far.
  int32_t MisfitVariableCount() const;

 private:
  // True the first time it is asked for variable `variableId`.
  bool FirstMisfit(int32_t variableId);
  // Writes the message of Encodable for `value` of variable `variableId`, the first time.
  void ReportBits(int32_t variableId, int32_t value);

  // An integer variable whose value a state holds, and the entry that holds it.
  struct IntegerEntry {
    int32_t variable;
    size_t index;
  };

  const CSystem& model_;
  MessageSink& messages_;
  std::vector<uint8_t> reported_;  // per variable id
  std::vector<IntegerEntry> integers_;
  // Per variable id: the values from 0 up to below this limit fit the variable's bits (FitsBits).
  std::vector<int64_t> bitLimits_;
  std::vector<int32_t> offsets_;  // per variable id: its encodingOffset
};

}  // namespace tickcheck
