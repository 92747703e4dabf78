#include "driver/liveness_stage.h"

#include <new>

#include "check/liveness.h"
#include "driver/console.h"
#include "driver/units.h"

namespace tickcheck {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

LivenessEnd AddLivenessVerdicts(const CSystem& system, CComposition& composition,
                                const Options& options, const RunLimits& limits,
                                const CheckContext& context, RunTimeErrors& errors,
                                RunSummary& summary) {
  if (!HasLiveness(system))
    return LivenessEnd::kDone;
  const Clock::time_point start = Clock::now();
  const std::function<bool(int64_t)> goOn = StageControl(context, "deciding liveness");
  LivenessResults results;
  try {
    results = DecideLiveness(system, composition.Messages(), options.noZeno, options.trace,
                             limits.search.states, goOn);
  } catch (const std::bad_alloc&) {
    ErrorLine(
        "tickcheck: out of memory while deciding liveness properties; their verdicts are "
        "unknown");
    return LivenessEnd::kDone;
  }
  int64_t decided = 0;
  int64_t asked = 0;
  for (size_t i = 0; i < system.properties.size(); ++i) {
    if (system.properties[i].liveness == Liveness::kNone)
      continue;
    ++asked;
    if (results.errors[i])
      errors.InProperty(*results.errors[i], i);
    if (!results.verdicts[i])
      continue;
    ++decided;
    PropertyOutcome& outcome = summary.properties[i];
    outcome.verdict = *results.verdicts[i] ? Verdict::kTrue : Verdict::kFalse;
    outcome.trace = std::move(results.traces[i]);
  }
  if (results.end == LivenessResults::End::kInterrupted && context.monitor.LimitReached()) {
    ErrorLine(
        "tickcheck: the " +
        std::string(*context.monitor.LimitReached() == ResourceLimit::kMemory ? "memory" : "time") +
        " limit was reached while deciding liveness properties; those not decided are "
        "unknown");
    return LivenessEnd::kLimitReached;
  }
  if (results.end == LivenessResults::End::kInterrupted) {
    ErrorLine(
        "tickcheck: interrupted while deciding liveness properties; those not decided are "
        "unknown");
    return LivenessEnd::kInterrupted;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ErrorLine("liveness: " + std::to_string(decided) + " of " + std::to_string(asked) +
            (asked == 1 ? " property" : " properties") + " decided, " +
            Counted(results.states, "state") + " explored, " + Seconds(seconds));
  return LivenessEnd::kDone;
}

}  // namespace tickcheck
