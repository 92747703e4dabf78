#pragma once
// The run of one invocation: `tickcheck [options] <model file>` (see driver/options.h). Checks
// that the model file is one, loads the model, builds the composition, checks every property and
// prints one verdict line per property on standard output, writes the two reports next to the
// model file, and closes with a summary line on standard error. A model path ending in ".tck" is
// a model in the modelling language (driver/language_run.h).

#include <optional>

#include "driver/exit_code.h"
#include "driver/model_check.h"
#include "driver/options.h"
#include "driver/run_summary.h"

namespace tickcheck {

// How a run ended, with what it found when verdicts were printed (a run on a model file).
struct RunOutcome {
  ExitCode exit = ExitCode::kFailure;
  std::optional<RunSummary> summary{};
};

// The run of `options` within `limits`; memory running out ends it with "Out of memory." on
// standard error and kFailure.
RunOutcome RunModel(const Options& options, const RunLimits& limits = {});

// Parses the command line and runs it; returns the process exit code (driver/exit_code.h).
int RunTickcheck(int argc, const char* const argv[], const RunLimits& limits = {});

}  // namespace tickcheck
