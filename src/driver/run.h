#pragma once
// The run of one invocation: `tickcheck [options] <model file>` (see driver/options.h). Checks
// that the model file is one, loads the model, builds the composition, checks every property and
// prints one verdict line per property on standard output, writes the two reports next to the
// model file, and closes with a summary line on standard error. Returns the process exit code
// (driver/exit_code.h). A model path ending in ".tck" is a model in the modelling language
// (driver/language_run.h).

namespace tickcheck {

int RunTickcheck(int argc, const char* const argv[]);

}  // namespace tickcheck
