#include "driver/run.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/traces.h"
#include "compose/composition.h"
#include "driver/interrupt.h"
#include "driver/json_document.h"
#include "driver/language_run.h"
#include "driver/model_check.h"
#include "driver/model_file.h"
#include "driver/options.h"
#include "driver/output_file.h"
#include "driver/process_memory.h"
#include "driver/reports.h"
#include "driver/run_summary.h"
#include "driver/search_monitor.h"
#include "driver/trace_text.h"
#include "driver/units.h"
#include "expr/clock_bounds.h"
#include "model/console.h"
#include "model/refusal.h"
#include "model/system.h"

namespace tickcheck {
namespace {

using Clock = std::chrono::steady_clock;

uint32_t MillisecondTicks() {
  const auto now = Clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// While it lives, the console lines go to standard error, so that standard output holds nothing
// but the JSON document (`--json -`).
class ConsoleOnStandardError {
 public:
  ConsoleOnStandardError() : output_(std::cout.rdbuf(std::cerr.rdbuf())) {}
  ~ConsoleOnStandardError() { std::cout.rdbuf(output_); }
  ConsoleOnStandardError(const ConsoleOnStandardError&) = delete;
  ConsoleOnStandardError& operator=(const ConsoleOnStandardError&) = delete;

  // The real standard output.
  std::streambuf* Output() const { return output_; }

 private:
  std::streambuf* output_;
};

void ErrorLine(const std::string& text) {
  std::cerr << text << '\n' << std::flush;
}

// What the trace search did to the run.
enum class TraceEnd { kDone, kInterrupted };

// Looks for the traces of the properties found reachable or violated and puts them into
// `summary`; says on standard error what the search for them did, and for each property which
// it could not find a trace for (which only a model with errors should cause).
TraceEnd AddTraces(const CSystem& system, const RunLimits& limits,
                   const InterruptCatcher& interrupt, bool showProgress, Clock::time_point runStart,
                   RunSummary& summary) {
  std::vector<bool> wanted;
  for (const PropertyOutcome& outcome : summary.properties) {
    wanted.push_back((outcome.type == 0 && outcome.verdict == Verdict::kTrue) ||
                     (outcome.type == 1 && outcome.verdict == Verdict::kFalse));
  }
  const Clock::time_point start = Clock::now();
  Clock::time_point nextLine = start + std::chrono::seconds(2);
  // Stops at SIGINT; writes a progress line every 2 s when the search writes them.
  auto goOn = [&](int64_t explored) {
    if (interrupt.Interrupted())
      return false;
    const Clock::time_point now = Clock::now();
    if (showProgress && now >= nextLine) {
      ErrorLine("progress: " + Seconds(std::chrono::duration<double>(now - runStart).count()) +
                ", looking for traces: " + Counted(explored, "state") + " explored, " +
                Mebibytes(ResidentBytes()) + " resident");
      nextLine = now + std::chrono::seconds(2);
    }
    return true;
  };
  TraceSearch search;
  try {
    search = FindTraces(system, wanted, limits.search.states, goOn);
  } catch (const std::bad_alloc&) {
    // The verdicts are known; only the traces are lost.
    ErrorLine("tickcheck: out of memory while looking for traces; no trace is printed");
    return TraceEnd::kDone;
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
  summary.names = TraceNames::Of(system);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ErrorLine("traces: " + std::to_string(found) + " of " +
            std::to_string(std::count(wanted.begin(), wanted.end(), true)) + " found, " +
            Counted(search.states, "state") + " explored, " + Seconds(seconds));
  return TraceEnd::kDone;
}

// The run as it ends: its summary when verdicts were printed, and whether writing an output file
// failed.
struct SequenceEnd {
  std::optional<RunSummary> summary;
  bool outputFailed = false;
};

// Load, composition, search and verdicts, with every console line of a run on a model file. A
// refused model ends with its refusal line and its reports written as far as the run got (that
// is, empty or nearly), an interrupted search without replacing them.
SequenceEnd RunSequence(const Options& options, const RunLimits& limits,
                        TracePrinting tracePrinting, const InterruptCatcher& interrupt,
                        bool showProgress, SearchMonitor& monitor, Clock::time_point start,
                        uint32_t startTicks) {
  SequenceEnd end;
  const std::string& path = options.modelPath;
  ConsoleLine("obj file name:" + path);
  Reports reports(path);
  if (!reports.Opened())
    return end;
  auto commit = [&reports, &end] {
    if (const std::optional<std::string> problem = reports.Commit()) {
      ErrorLine("tickcheck: " + *problem);
      end.outputFailed = true;
    }
  };
  // The one place where a refusal is printed.
  auto refused = [&commit](const std::optional<Refusal>& refusal) {
    if (!refusal)
      return false;
    ConsoleLine(refusal->line);
    commit();
    return true;
  };
  // Every run prints this size, so a change of the composition's fields changes every output.
  static_assert(sizeof(CComposition) == 120);
  ConsoleLine("sizeof(composition):" + std::to_string(sizeof(CComposition)));

  ModelCheck check;
  if (refused(check.Load(path)))
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
  composition.printComposedTransitions(reports.ModelInfo());
  if (refused(check.Prepare({options.noClockIntervals, options.checkTimeSuccessors, limits.search,
                             options.fastReachedSet})))
    return end;
  check.Search(&monitor, reports.Manager());

  const Checker& checker = check.Checker();
  RunSummary summary;
  summary.interrupted = monitor.StoppedSearch();
  if (summary.interrupted)
    ErrorLine("interrupted");
  else
    check.Space().PrintEncoding(reports.ModelInfo());
  const uint32_t elapsed = MillisecondTicks() - startTicks;
  summary.seconds = std::chrono::duration<double>(Clock::now() - start).count();

  summary.properties = PropertyOutcomes(system, checker.PropertyResults(), summary.interrupted);
  // The trace search composes the locations it reaches too: what the run reports of the
  // composition is what the search made of it.
  summary.transruleSize = composition.transruleSize;
  summary.errors = GatherModelErrors(system, composition, checker.MisfitVariableCount(),
                                     static_cast<int32_t>(shortfalls.size()));
  const TraceEnd traceEnd = options.trace && !summary.interrupted
                                ? AddTraces(system, limits, interrupt, showProgress, start, summary)
                                : TraceEnd::kDone;
  for (const PropertyOutcome& outcome : summary.properties) {
    ConsoleLine("property" + std::to_string(outcome.number) + " : " + VerdictText(outcome.verdict));
    if (!outcome.trace || tracePrinting != TracePrinting::kWithVerdicts)
      continue;
    const std::string title = "property " + std::to_string(outcome.number) +
                              (outcome.type == 0 ? " (reachable)" : " (violated)");
    for (const std::string& line : TraceLines(title, *outcome.trace, summary.names))
      ConsoleLine(line);
  }
  if (!summary.interrupted) {
    check.Space().manager().DebugCheck(checker.Reached());
    commit();
  }
  ConsoleLine("execute time:" + std::to_string(elapsed));
  ConsoleLine("transrule size:" + std::to_string(summary.transruleSize));
  summary.search = checker.Progress();
  summary.interrupted = summary.interrupted || traceEnd == TraceEnd::kInterrupted;
  end.summary = std::move(summary);
  return end;
}

// Everything after the command line: the checks that come before anything is written, the run
// sequence, and what closes the run on standard error and in the JSON document.
RunOutcome Run(const Options& options, const RunLimits& limits, TracePrinting tracePrinting,
               Clock::time_point start, uint32_t startTicks) {
  if (options.modelPath.empty()) {
    ConsoleLine("Error! There must be a obj file path");
    ErrorLine(UsageLine());
    return {ExitCode::kFailure};
  }
  if (std::string_view(options.modelPath).ends_with(".tck"))
    return {RunLanguageModel(options, limits)};
  if (!options.queryPath.empty() || !options.emitPath.empty()) {
    ErrorLine("tickcheck: -q and --emit-model apply to .tck models only");
    ErrorLine(UsageLine());
    return {ExitCode::kUsage};
  }
  if (const std::optional<std::string> problem = ModelFileProblem(options.modelPath)) {
    ErrorLine("tickcheck: " + options.modelPath + ": " + *problem);
    return {ExitCode::kFailure};
  }
  const bool jsonToOutput = options.json && *options.json == "-";
  if (options.json && !jsonToOutput) {
    if (const std::optional<std::string> problem = ReplaceProblem(*options.json)) {
      ErrorLine("tickcheck: cannot write " + *options.json + ": " + *problem);
      return {ExitCode::kFailure};
    }
  }
  std::optional<ConsoleOnStandardError> console;
  if (jsonToOutput)
    console.emplace();

  const InterruptCatcher interrupt;
  const bool showProgress = options.progress || isatty(STDERR_FILENO) == 1;
  SearchMonitor monitor(interrupt, showProgress, std::cerr, start);
  SequenceEnd end = RunSequence(options, limits, tracePrinting, interrupt, showProgress, monitor,
                                start, startTicks);
  if (!end.summary)
    return {ExitCode::kFailure};
  RunSummary& summary = *end.summary;
  summary.peakResidentBytes = PeakResidentBytes();
  if (summary.errors.Any())
    ErrorLine(ModelErrorsLine(summary.errors));
  ErrorLine(SummaryLine(summary));

  if (options.json) {
    const std::string document = JsonDocument(options, summary);
    if (jsonToOutput) {
      std::ostream output(console->Output());
      output << document << std::flush;
    } else if (const std::optional<std::string> problem = ReplaceFile(*options.json, document)) {
      ErrorLine("tickcheck: cannot write " + *options.json + ": " + *problem);
      end.outputFailed = true;
    }
  }
  ExitCode exit = summary.errors.Any() ? ExitCode::kModelErrors : ExitCode::kComplete;
  if (end.outputFailed)
    exit = ExitCode::kFailure;
  if (summary.interrupted)
    exit = ExitCode::kInterrupted;
  return {exit, std::move(end.summary)};
}

}  // namespace

RunOutcome RunModel(const Options& options, const RunLimits& limits, TracePrinting tracePrinting) {
  const Clock::time_point start = Clock::now();
  const uint32_t startTicks = MillisecondTicks();
  try {
    return Run(options, limits, tracePrinting, start, startTicks);
  } catch (const std::bad_alloc&) {
    // Memory ran out outside the decision diagrams (in the waiting lists, say): the run ends the
    // way it ends when the diagrams run out, after everything built so far was released.
    std::fputs("Out of memory.\n", stderr);
    return {ExitCode::kFailure};
  }
}

int RunTickcheck(int argc, const char* const argv[], const RunLimits& limits) {
  const CommandLine line = ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (line.answered)
    return static_cast<int>(*line.answered);
  return static_cast<int>(RunModel(line.options, limits).exit);
}

}  // namespace tickcheck
