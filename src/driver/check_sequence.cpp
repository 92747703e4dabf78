#include "driver/check_sequence.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <vector>

#include "check/traces.h"
#include "compose/composition.h"
#include "driver/console.h"
#include "driver/liveness_stage.h"
#include "driver/process_memory.h"
#include "driver/trace_text.h"
#include "driver/units.h"
#include "expr/clock_bounds.h"
#include "expr/property_symmetry.h"

namespace tickcheck {
namespace {

using Clock = std::chrono::steady_clock;

// What the trace search did to the run.
enum class TraceEnd { kDone, kInterrupted, kLimitReached };

std::string LimitName(ResourceLimit limit) {
  return limit == ResourceLimit::kMemory ? "memory" : "time";
}

// Looks for the traces of the properties found reachable or violated and puts them into
// `summary`; says on standard error what the search for them did, and for each property which
// it could not find a trace for (which only a model with errors should cause).
TraceEnd AddTraces(const CSystem& system, CComposition& composition, const RunLimits& limits,
                   const CheckContext& context, RunSummary& summary) {
  std::vector<bool> wanted;
  for (const PropertyOutcome& outcome : summary.properties) {
    wanted.push_back((outcome.type == 0 && outcome.verdict == Verdict::kTrue) ||
                     (outcome.type == 1 && outcome.verdict == Verdict::kFalse));
  }
  const Clock::time_point start = Clock::now();
  const std::function<bool(int64_t)> goOn = StageControl(context, "looking for traces");
  TraceSearch search;
  try {
    search = FindTraces(system, composition.Messages(), wanted, limits.search.states, goOn);
  } catch (const std::bad_alloc&) {
    // The verdicts are known; only the traces are lost.
    ErrorLine("tickcheck: out of memory while looking for traces; no trace is printed");
    return TraceEnd::kDone;
  }
  if (search.end == TraceSearch::End::kInterrupted && context.monitor.LimitReached()) {
    ErrorLine("tickcheck: the " + LimitName(*context.monitor.LimitReached()) +
              " limit was reached while looking for traces; the verdicts stand, no trace is "
              "printed");
    return TraceEnd::kLimitReached;
  }
  if (search.end == TraceSearch::End::kInterrupted) {
    ErrorLine(
        "tickcheck: interrupted while looking for traces; the verdicts stand, no trace is "
        "printed");
    return TraceEnd::kInterrupted;
  }
  int64_t found = 0;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (!wanted[i])
      continue;
    if (!search.traces[i]) {
      ErrorLine("tickcheck: no trace found for property " + std::to_string(i + 1));
      continue;
    }
    summary.properties[i].trace = std::move(search.traces[i]);
    ++found;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ErrorLine("traces: " + std::to_string(found) + " of " +
            std::to_string(std::count(wanted.begin(), wanted.end(), true)) + " found, " +
            Counted(search.states, "state") + " explored, " + Seconds(seconds));
  return TraceEnd::kDone;
}

// One line per set of interchangeable processes: how many the search permutes, and which members
// the properties keep apart.
std::vector<std::string> SymmetryLines(const CSystem& system, const PropertySymmetry& symmetry) {
  std::vector<std::string> lines;
  const std::vector<SymmetrySet>& sets = system.symmetry;
  for (size_t s = 0; s < sets.size(); ++s) {
    const int32_t free = symmetry.FreeCount(static_cast<int32_t>(s));
    std::string line = "symmetry: " + (free == 0 ? std::string("no") : std::to_string(free)) +
                       " processes of " + sets[s].name + " are interchangeable";
    // Members kept apart, grouped by the property that keeps them.
    std::vector<std::pair<int32_t, std::string>> apart;
    for (size_t k = 0; k < sets[s].members.size(); ++k) {
      const int32_t property = symmetry.FixedBy()[s][k];
      if (property < 0)
        continue;
      const std::string& name =
          system.processes[static_cast<size_t>(sets[s].members[k].process) - 1].ProcessName;
      const auto group = std::find_if(apart.begin(), apart.end(), [property](const auto& entry) {
        return entry.first == property;
      });
      if (group == apart.end())
        apart.emplace_back(property, name);
      else
        group->second += ", " + name;
    }
    for (size_t g = 0; g < apart.size(); ++g) {
      line += (g == 0 ? "; " : ", ") + apart[g].second + " apart for property " +
              std::to_string(apart[g].first + 1);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

std::function<bool(int64_t)> StageControl(const CheckContext& context, std::string doing) {
  return [&context, doing = std::move(doing),
          nextLine = Clock::now() + std::chrono::seconds(2)](int64_t explored) mutable {
    if (context.interrupt.Interrupted() || !context.monitor.WithinLimits())
      return false;
    const Clock::time_point now = Clock::now();
    if (context.showProgress && now >= nextLine) {
      ErrorLine("progress: " + Seconds(std::chrono::duration<double>(now - context.start).count()) +
                ", " + doing + ": " + Counted(explored, "state") + " explored, " +
                Mebibytes(ResidentBytes()) + " resident");
      nextLine = now + std::chrono::seconds(2);
    }
    return true;
  };
}

uint32_t MillisecondTicks() {
  const auto now = Clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

CheckEnd CheckModelFile(const ProfileIndex& file, const Options& options, const RunLimits& limits,
                        const CheckContext& context, MessageSink& messages,
                        ReportFiles reportFiles) {
  CheckEnd end;
  messages.Stage("obj file name:" + file.Path());
  std::optional<Reports> reports;
  if (reportFiles == ReportFiles::kBesideModel) {
    reports.emplace(file.Path(), messages);
    if (!reports->Opened())
      return end;
  }
  auto commit = [&reports, &end] {
    if (!reports)
      return;
    if (const std::optional<std::string> problem = reports->Commit()) {
      ErrorLine("tickcheck: " + *problem);
      end.outputFailed = true;
    }
  };
  // The one place where a refusal is printed.
  auto refused = [&commit, &messages](const std::optional<Refusal>& refusal) {
    if (!refusal)
      return false;
    messages.Problem(refusal->line);
    commit();
    return true;
  };
  // Every run prints this size, so a change of the composition's fields changes every output.
  static_assert(sizeof(CComposition) == 120);
  messages.Stage("sizeof(composition):" + std::to_string(sizeof(CComposition)));

  ModelCheck check(messages);
  if (refused(check.Load(file)))
    return end;
  const CSystem& system = check.Model();
  // Bounds below what the model compares make the verdicts unreliable, not the model invalid:
  // the user is told on standard error, the run goes on, and it ends as a run with model errors.
  const std::vector<std::string> shortfalls = ClockBoundAnalysis(system).Shortfalls();
  for (const std::string& line : shortfalls)
    ErrorLine(line);
  if (refused(check.Compose()))
    return end;
  CComposition& composition = check.Composition();
  if (reports)
    composition.printComposedTransitions(reports->ModelInfo());
  if (refused(check.Prepare({options.noClockIntervals, options.checkTimeSuccessors, limits.search,
                             !options.noSymmetry})))
    return end;
  if (!options.noSymmetry) {
    for (const std::string& line : system.symmetryNotes)
      ErrorLine(line);
  }
  if (const PropertySymmetry* symmetry = check.Checker().Symmetry()) {
    for (const std::string& line : SymmetryLines(system, *symmetry))
      ErrorLine(line);
  }
  check.Search(&context.monitor, reports ? reports->Manager() : nullptr);

  const Checker& checker = check.Checker();
  RunSummary summary;
  summary.interrupted = context.monitor.StoppedSearch();
  summary.limit = context.monitor.LimitReached();
  const bool stopped = summary.interrupted || summary.limit;
  if (summary.interrupted) {
    ErrorLine("interrupted");
  } else if (summary.limit) {
    ErrorLine("tickcheck: the " + LimitName(*summary.limit) + " limit of " +
              (*summary.limit == ResourceLimit::kMemory ? Mebibytes(*options.memoryLimit)
                                                        : Seconds(*options.timeLimit)) +
              " was reached; the search stopped, the verdicts not found by then are unknown");
  } else if (reports) {
    check.Space().PrintEncoding(reports->ModelInfo());
  }
  const uint32_t elapsed = MillisecondTicks() - context.startTicks;
  summary.seconds = std::chrono::duration<double>(Clock::now() - context.start).count();

  // A loop that ran past its bound stopped the search too: what it had not found is unknown.
  const bool stoppedEarly = stopped || checker.StoppedByLoopBound();
  summary.properties = PropertyOutcomes(system, checker.PropertyResults(), stoppedEarly);
  // The trace search composes the locations it reaches too: what the run reports of the
  // composition is what the search made of it.
  summary.transruleSize = composition.transruleSize;
  summary.names = TraceNames::Of(system);
  const LivenessEnd livenessEnd =
      stoppedEarly ? LivenessEnd::kDone
                   : AddLivenessVerdicts(system, composition, options, limits, context,
                                         check.Checker().Errors(), summary);
  // The liveness properties' run-time errors count too.
  summary.errors =
      GatherModelErrors(system, composition, checker.MisfitVariableCount(),
                        static_cast<int32_t>(shortfalls.size()), checker.RunTimeErrorCount());
  const TraceEnd traceEnd = options.trace && !stoppedEarly && livenessEnd == LivenessEnd::kDone
                                ? AddTraces(system, composition, limits, context, summary)
                                : TraceEnd::kDone;
  for (const PropertyOutcome& outcome : summary.properties) {
    messages.Stage("property" + std::to_string(outcome.number) + " : " +
                   VerdictText(outcome.verdict));
    if (!outcome.trace)
      continue;
    // Only a satisfied E[] has a trace among the properties that hold.
    const std::string title = "property " + std::to_string(outcome.number) +
                              (outcome.type == 0                   ? " (reachable)"
                               : outcome.verdict == Verdict::kTrue ? " (satisfied)"
                                                                   : " (violated)");
    for (const std::string& line :
         TraceLines(title, *outcome.trace, summary.names,
                    options.compactTrace ? TraceView::kChanges : TraceView::kFull))
      messages.Stage(line);
  }
  if (!stopped) {
    check.Space().manager().DebugCheck(checker.Reached());
    commit();
  }
  messages.Stage("execute time:" + std::to_string(elapsed));
  messages.Stage("transrule size:" + std::to_string(summary.transruleSize));
  summary.search = checker.Progress();
  summary.interrupted = summary.interrupted || livenessEnd == LivenessEnd::kInterrupted ||
                        traceEnd == TraceEnd::kInterrupted;
  if (livenessEnd == LivenessEnd::kLimitReached || traceEnd == TraceEnd::kLimitReached)
    summary.limit = context.monitor.LimitReached();
  end.summary = std::move(summary);
  return end;
}

CheckEnd CheckInContext(const ProfileIndex& file, const Options& options, const RunLimits& limits,
                        Clock::time_point start, uint32_t startTicks, MessageSink& messages,
                        ReportFiles reports) {
  const InterruptCatcher interrupt;
  const bool showProgress = options.progress || isatty(STDERR_FILENO) == 1;
  SearchMonitor monitor(interrupt, showProgress, std::cerr, start,
                        {options.memoryLimit, options.timeLimit});
  return CheckModelFile(file, options, limits,
                        {start, startTicks, interrupt, monitor, showProgress}, messages, reports);
}

ExitCode CloseRun(RunSummary& summary, bool outputFailed) {
  summary.peakResidentBytes = PeakResidentBytes();
  if (summary.errors.Any())
    ErrorLine(ModelErrorsLine(summary.errors));
  ErrorLine(SummaryLine(summary));
  if (summary.interrupted)
    return ExitCode::kInterrupted;
  if (summary.limit)
    return ExitCode::kLimitReached;
  if (outputFailed)
    return ExitCode::kFailure;
  return summary.errors.Any() ? ExitCode::kModelErrors : ExitCode::kComplete;
}

}  // namespace tickcheck
