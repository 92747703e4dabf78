#pragma once
// The stage of a check that decides the liveness properties (check/liveness.h), after the search
// and before the traces: it puts their verdicts, and with --trace their lassos, into the run's
// summary, and says on standard error what it did:
//
//   liveness: 2 of 2 properties decided, 48123 states explored, 0.412 s
//
// With progress lines, one every 2 s while it runs ("progress: 4.062 s, deciding liveness:
// 1745373 states explored, 155.1 MiB resident"). SIGINT or a resource limit of the run ends it:
// the liveness properties not decided by then are unknown. The run-time errors that the formulas
// meet (format 2) are reported as the search reports those of the other properties; a loop past its
// bound ends the stage like SIGINT, but the run goes on (as a run with model errors).

#include "check/run_time_errors.h"
#include "driver/check_sequence.h"
#include "driver/model_check.h"
#include "driver/options.h"
#include "driver/run_summary.h"
#include "model/system.h"

namespace tickcheck {

enum class LivenessEnd { kDone, kInterrupted, kLimitReached };

// Decides the liveness properties of `system` into `summary.properties` (whose liveness
// properties are unknown until then), reporting run-time errors to `errors`; a run without any
// does nothing.
LivenessEnd AddLivenessVerdicts(const CSystem& system, CComposition& composition,
                                const Options& options, const RunLimits& limits,
                                const CheckContext& context, RunTimeErrors& errors,
                                RunSummary& summary);

}  // namespace tickcheck
