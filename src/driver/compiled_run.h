#pragma once
// The run of a model that a front end compiled (a .tck model; an XML document; an XTA file): the
// compiled model file, made in memory, goes through the check of every model file
// (driver/check_sequence.h), and the run prints one verdict line per query on standard output:
//
//   E<> P(1).cs && P(2).cs  -- not satisfied
//
// With `--trace`, a query that some reachable state decides (E<> satisfied, A[] not satisfied) is
// followed by the run to such a state (driver/trace_text.h), headed by the query's text and
// verdict, in the model's names. The check's own console lines are not shown; its problem lines
// (a value outside its range, say) go to standard error as they come, then, after the verdicts,
// the closing lines. `--json` writes the document of the run with the queries' verdicts
// (driver/json_document.h); with `--json -` the verdict lines go to standard error.

#include <string>

#include "driver/exit_code.h"
#include "driver/model_check.h"
#include "driver/options.h"
#include "lang/compiler.h"

namespace tickcheck {

// What a front end hands the run.
struct CompiledInput {
  std::string kind;        // the JSON document's "input": "language", "xml" or "xta"
  bool hasQueries = true;  // false: only --emit-model is wanted
  const lang::Compilation& compilation;
};

// Writes the compiled model file to `options.emitPath` when it is set (and stops there when the
// input has no queries), then checks the model and prints the queries' verdicts. Answers
// kComplete, kFailure (the compiled model refused, a file that cannot be written), kModelErrors
// (the check reported errors, such as a value outside its range) or kInterrupted (queries not
// yet decided print "unknown").
ExitCode RunCompilation(const Options& options, const RunLimits& limits,
                        const CompiledInput& input);

}  // namespace tickcheck
