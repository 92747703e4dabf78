#pragma once
// The run of a model written in the modelling language (`tickcheck model.tck`), or in the XTA
// text format (`tickcheck model.xta`), which the language's parser reads too: compiles the model
// and its queries and runs the compiled model (driver/compiled_run.h).
//
// Compilation errors go to standard error, one `FILE:LINE:COL: message` line each, and nothing
// is checked; a file that cannot be read is named with the reason ("tickcheck: m.tck: No such
// file or directory").

#include <string>

#include "driver/exit_code.h"
#include "driver/model_check.h"
#include "driver/options.h"

namespace tickcheck {

// Runs the .tck or .xta model of `options` with its queries (`options.queryPath`, by default
// the model's path with the extension ".q"), writing the compiled model file to
// `options.emitPath` when it is set (without a query file, only that); `kind` is the input the
// JSON document names ("language" or "xta"). Answers as RunCompilation, and kFailure for errors
// in the model or the queries and files that cannot be read.
ExitCode RunLanguageModel(const Options& options, const RunLimits& limits = {},
                          const std::string& kind = "language");

}  // namespace tickcheck
