#pragma once
// The JSON document of a run (`--json`): the verdicts with their traces, the model's errors and
// the statistics.
//
// {"tickcheck": "<version>", "model": "<model file>",
//  "options": {"no_clock_intervals": false, "check_time_successors": false, "trace": true},
//  "interrupted": false,
//  "properties": [{"number": 1, "type": 0, "verdict": 1, "trace": {
//      "initial": {"locations": [1, 1], "integers": {"id": 0}, "clocks": {}},
//      "steps": [{"delay": 0, "jumps": [{"process": 1, "from": 1, "to": 2}],
//                 "state": {"locations": [2, 1], "integers": {"id": 0}, "clocks": {"x1": 0}}}]}}],
//  "model_errors": {"refused_expression_records": 0, "invalid_atom_relations": 0,
//                   "misfit_variables": 0, "unheard_broadcasts": 0},
//  "statistics": {"stored_states": 378, "transitions_fired": 1047, "sweeps": 98,
//                 "waiting_entries": 0, "seconds": 0.012, "states_per_second": 31500,
//                 "peak_rss_bytes": 5369856, "transrule_size": 34}}
//
// "verdict" is 1 or 0 as the verdict line shows it, null when the run was interrupted before the
// property was decided. "trace" is the property's trace (check/traces.h) with --trace, for a
// property found reachable or violated; null otherwise. Processes and locations are numbers from
// 1; integers and the active clocks are named by the model's names.

#include <optional>
#include <string>
#include <vector>

#include "driver/options.h"
#include "driver/run_summary.h"

namespace tickcheck {

// The document of a run on `input` ("model file", "language", "xml" or "xta"), indented by two
// spaces, ending with a line feed; `queries` are those of a compiled model (none for a model
// file).
std::string JsonDocument(const Options& options, const RunSummary& summary,
                         const std::string& input, const std::vector<QueryOutcome>& queries);

// Where `--json` writes: nothing when it is not given or is "-" (standard output), or when its
// file can be replaced; otherwise the line that says why not ("tickcheck: cannot write FILE:
// reason"), which ends a run before it begins.
std::optional<std::string> JsonTargetProblem(const Options& options);

// Writes `document` to standard output for `--json -`, else replaces the file whole. False after
// "tickcheck: cannot write FILE: reason" on standard error.
bool WriteJsonDocument(const Options& options, const std::string& document);

}  // namespace tickcheck
