#pragma once
// The check of a model file, the one sequence that every input goes through: a model-file run
// hands it the file that it names, a front end the model file that it compiled, made in memory
// (the file that --emit-model writes). It loads the model, composes it, builds the state space
// and the search, runs it, looks for the traces of --trace, and answers what it found as data.
//
// Its lines go to a sink (model/messages.h). The stage lines are the console of a model-file run:
//
//   obj file name:<name>, sizeof(composition):<bytes>, the stages' own lines, one verdict line
//   "property<i> : 1|0|unknown" per property (each followed by its trace with --trace),
//   "execute time:<ms>", "transrule size:<n>", "composition destruct end", "destruct system"
//
// and the problem lines are the refusal of the model and the errors it showed. What concerns the
// run itself (progress, an interruption, the trace search's line) goes to standard error.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "driver/exit_code.h"
#include "driver/interrupt.h"
#include "driver/model_check.h"
#include "driver/options.h"
#include "driver/reports.h"
#include "driver/run_summary.h"
#include "driver/search_monitor.h"
#include "model/messages.h"
#include "model/profile.h"

namespace tickcheck {

// The run around a check: its start, its SIGINT, its control of the search.
struct CheckContext {
  std::chrono::steady_clock::time_point start;
  uint32_t startTicks = 0;  // the millisecond clock that "execute time:" counts from
  const InterruptCatcher& interrupt;
  SearchMonitor& monitor;
  bool showProgress = false;
};

// The control of a stage that runs after the search (the trace search, the liveness search): it
// answers no at SIGINT or once a resource limit is reached, and, when the run shows progress,
// writes "progress: <s>, <doing>: <n> states explored, <MiB> resident" every 2 s.
std::function<bool(int64_t)> StageControl(const CheckContext& context, std::string doing);

// How a check ended: its summary when it printed verdicts, and whether committing the reports
// failed (after a line on standard error).
struct CheckEnd {
  std::optional<RunSummary> summary;
  bool outputFailed = false;
};

// What a check writes besides its lines.
enum class ReportFiles { kBesideModel, kNone };

// Checks the model file `file` with the search options of `options` (-n, -t, --trace,
// --fast-reached-set) within `limits`. With kBesideModel the two reports are written next to
// the path of `file` (driver/reports.h), committed after a complete search or a refusal. A
// refused model ends with its problem line and no summary.
CheckEnd CheckModelFile(const ProfileIndex& file, const Options& options, const RunLimits& limits,
                        const CheckContext& context, MessageSink& messages, ReportFiles reports);

// The millisecond clock of "execute time:", which wraps after 49 days as a 32-bit count.
uint32_t MillisecondTicks();

// CheckModelFile inside a context of its own: SIGINT caught while it runs, progress lines when
// `options` asks for them or standard error is a terminal, the run's time counted from `start`.
CheckEnd CheckInContext(const ProfileIndex& file, const Options& options, const RunLimits& limits,
                        std::chrono::steady_clock::time_point start, uint32_t startTicks,
                        MessageSink& messages, ReportFiles reports);

// Closes a run that printed verdicts: on standard error the line naming the model's errors (when
// it had some), then the summary line, with the peak memory read now into `summary`. Answers the
// run's exit code: kInterrupted, else kFailure when `outputFailed`, else kModelErrors or
// kComplete.
ExitCode CloseRun(RunSummary& summary, bool outputFailed);

}  // namespace tickcheck
