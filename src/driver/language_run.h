#pragma once
// The run of a model written in the modelling language (`tickcheck model.tck`): compiles the
// model and its queries to a model file, runs the checker's run sequence on it, and prints one
// verdict line per query on standard output:
//
//   E<> P(1).cs && P(2).cs  -- not satisfied
//
// With `--trace`, a query that some reachable state decides (E<> satisfied, A[] not satisfied) is
// followed by the run to such a state (driver/trace_text.h), headed by the query's text and
// verdict, in the model's source names.
//
// Compilation errors go to standard error, one `FILE:LINE:COL: message` line each, and nothing
// is checked. The checker's own console lines are not shown; its messages (a value outside its
// variable's range, say) go to standard error as they come, as do its summary lines.

#include "driver/exit_code.h"
#include "driver/model_check.h"
#include "driver/options.h"

namespace tickcheck {

// Runs the .tck model of `options` with its queries (`options.queryPath`, by default the model's
// path with the extension ".q"), writing the compiled model file to `options.emitPath` when it
// is set (without a query file, only that). Answers kComplete, kFailure (errors in the model or
// the queries, a file that cannot be read or written, a compiled model that the checker
// refused), kUsage (`--json`, which describes model files only), kModelErrors (the check
// reported errors, such as a value outside its range) or kInterrupted (queries not yet decided
// print "unknown").
ExitCode RunLanguageModel(const Options& options, const RunLimits& limits = {});

}  // namespace tickcheck
