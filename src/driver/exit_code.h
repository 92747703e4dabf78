#pragma once
// The exit codes of tickcheck, one per way a run can end.

namespace tickcheck {

enum class ExitCode : int {
  kComplete = 0,       // every property decided (or --help, --version)
  kFailure = 1,        // no verdicts: no or no readable model file, a refused model, a report
                       // that cannot be written, memory running out
  kUsage = 2,          // the command line was not understood; usage on standard error
  kModelErrors = 3,    // verdicts printed, but the model had errors: they may not hold
  kLimitReached = 4,   // --memory-limit or --time-limit ended the search: verdicts found so far
                       // printed, the others unknown
  kInterrupted = 130,  // SIGINT: verdicts found so far printed, the others unknown
};

}  // namespace tickcheck
