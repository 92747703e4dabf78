#pragma once
// The report of the run-time errors that a search meets in a format-2 model (expr/program.h):
// one line per edge (a jump: its guard and its assignments), per location invariant and per
// property, the first time; a value outside the range of an assigned variable is reported once
// per variable, by the value ranges (check/value_ranges.h). A loop that runs past its bound stops
// the search.
//
// Lines: "ERROR! <what> in the guard of|in an assignment of <process>: <from> -> <to>; such steps
// are skipped", "ERROR! <what> in the invariant of <process>.<location>; such steps are skipped",
// "ERROR! <what> in property <i>; it does not hold in such states"; after a loop that ran too
// long, "...; the search stops, and the verdicts it has not found are unknown" instead. <what>
// is Describe(error) of expr/program.h.

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>

#include "check/value_ranges.h"
#include "compose/composition.h"
#include "expr/program.h"
#include "model/ds_state.h"
#include "model/messages.h"
#include "model/system.h"

namespace tickcheck {

class RunTimeErrors {
 public:
  // All arguments must outlive the object.
  RunTimeErrors(const CSystem& model, ValueRanges& values, MessageSink& messages);

  // An error met while firing `transition` from `source` into `target` (its guard, its
  // assignments or the target's invariants; `target` has the transition's locations).
  void InTransition(const ExpressionError& error, const DsState& source, const DsState& target,
                    const CComposedTransition& transition);
  // An error met while evaluating property `property` (0-based).
  void InProperty(const RunTimeError& error, size_t property);

  // Whether a loop ran past its bound: the search must stop.
  bool LoopBoundReached() const { return loopBound_; }
  // The number of edges, invariants and properties reported.
  int32_t Count() const { return static_cast<int32_t>(reported_.size()); }

 private:
  // Where an expression is used: the guard or an assignment of jump `jump` of location `location`
  // of process `process`, or the invariant of that location (jump -1). All 0-based.
  struct Use {
    size_t process;
    size_t location;
    int32_t jump;
    bool assignment;
  };
  // Writes the line for `error` at `where` the first time `key` is reported.
  void Report(const RunTimeError& error, const std::tuple<int64_t, int64_t, int64_t>& key,
              const std::string& where);
  std::string Where(const Use& use) const;

  const CSystem& model_;
  ValueRanges& values_;
  MessageSink& messages_;
  std::unordered_map<int32_t, Use> uses_;  // by expression id, the first use in the model
  std::set<std::tuple<int64_t, int64_t, int64_t>> reported_;
  bool loopBound_ = false;
};

}  // namespace tickcheck
