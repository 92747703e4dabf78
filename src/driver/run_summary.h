#pragma once
// What a run found, gathered while its objects still live: one verdict per property, the errors
// the model showed, the counters of the search and the run's time and memory; and the lines that
// say it on standard error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/search_control.h"
#include "check/traces.h"
#include "compose/composition.h"
#include "driver/search_monitor.h"
#include "driver/trace_text.h"
#include "model/system.h"

namespace tickcheck {

enum class Verdict { kFalse, kTrue, kUnknown };

struct PropertyOutcome {
  int32_t number = 0;  // 1-based, as in "property<number> : ..."
  int32_t type = 0;
  Verdict verdict = Verdict::kUnknown;
  std::optional<Trace> trace{};  // with --trace: the run that shows a reachable or violated one
  Liveness liveness = Liveness::kNone;
};

// Problems of a model that did not stop its run but may have changed its verdicts; each was
// reported by its own console line when it happened.
struct ModelErrors {
  int32_t refusedExpressions = 0;    // "ERROR! Expression <i> refused: ..."
  int32_t invalidAtomRelations = 0;  // "ERROR! In Load atom relation!"
  int32_t misfitVariables = 0;       // "ERROR! Variable <name>: value ... outside ..." or "...
                                     // does not fit ..."
  int32_t unheardBroadcasts = 0;     // "Error: there must be at least a jump syn with ..."
  int32_t shortClockBounds = 0;      // "Warning! process <p> ...: clock bounds below ..."
  // Format 2 only (unset otherwise): edges, invariants and properties with a run-time error
  // ("ERROR! <what> in ...").
  std::optional<int32_t> runTimeErrors;

  bool Any() const;
};

// The verdict of a query of a compiled model (`E<> f  -- satisfied`), from the properties that
// decide it.
struct QueryOutcome {
  std::string text;                       // as the query file or the document gives it
  Verdict satisfied = Verdict::kUnknown;  // kTrue: satisfied, kFalse: not satisfied
  std::vector<int32_t> properties;        // the numbers of the properties that decide it
  std::optional<Trace> trace{};           // with --trace: the run that shows E<> or refutes A[]
};

struct RunSummary {
  bool interrupted = false;
  std::optional<ResourceLimit> limit{};  // the resource limit that ended the search, if one did
  std::vector<PropertyOutcome> properties;
  ModelErrors errors;
  SearchProgress search;
  double seconds = 0;  // the time that "execute time:" shows
  uint64_t peakResidentBytes = 0;
  int32_t transruleSize = 0;
  TraceNames names{};  // with --trace: the model's names, for the traces
};

// The verdict of every loaded property from the search's results (one per property, 1 or 0).
// After an interrupted search a property that was still open is unknown: a Type 0 property not
// yet found, a Type 1 property not yet violated. A liveness property is unknown (until the
// liveness stage, driver/liveness_stage.h, decides it).
std::vector<PropertyOutcome> PropertyOutcomes(const CSystem& system,
                                              const std::vector<uint8_t>& results,
                                              bool interrupted);

// The errors that the records of the run kept count of; `misfitVariables` is the number of
// variables the search reported for a value outside their range or bits, `shortClockBounds` the
// number of locations whose clock bounds were reported as too low when the model was loaded.
ModelErrors GatherModelErrors(const CSystem& system, const CComposition& composition,
                              int32_t misfitVariables, int32_t shortClockBounds,
                              int32_t runTimeErrors);

// "1", "0" or "unknown", as the verdict lines show it.
std::string VerdictText(Verdict verdict);

// The line that says the model had errors, naming each kind with its count.
std::string ModelErrorsLine(const ModelErrors& errors);

// The closing line: stored states, transitions fired, sweeps, time, states per second, peak
// memory.
std::string SummaryLine(const RunSummary& summary);

}  // namespace tickcheck
