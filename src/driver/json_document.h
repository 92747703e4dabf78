#pragma once
// The JSON document of a run (`--json`): the verdicts, the model's errors and the statistics.
//
// {"tickcheck": "<version>", "model": "<model file>",
//  "options": {"no_clock_intervals": false, "check_time_successors": false},
//  "interrupted": false,
//  "properties": [{"number": 1, "type": 0, "verdict": 1, "trace": null}],
//  "model_errors": {"refused_expression_records": 0, "invalid_atom_relations": 0,
//                   "misfit_variables": 0, "unheard_broadcasts": 0},
//  "statistics": {"stored_states": 378, "transitions_fired": 1047, "sweeps": 98,
//                 "waiting_entries": 0, "seconds": 0.012, "states_per_second": 31500,
//                 "peak_rss_bytes": 5369856, "transrule_size": 34}}
//
// "verdict" is 1 or 0 as the verdict line shows it, null when the run was interrupted before the
// property was decided. "trace" belongs to each property and is null while no trace is made; a
// trace fills that field and changes nothing else.

#include <string>

#include "driver/options.h"
#include "driver/run_summary.h"

namespace tickcheck {

// The document, indented by two spaces, ending with a line feed.
std::string JsonDocument(const Options& options, const RunSummary& summary);

}  // namespace tickcheck
