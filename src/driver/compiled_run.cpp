#include "driver/compiled_run.h"

#include <chrono>
#include <cstdint>
#include <iostream>
#include <optional>
#include <utility>
#include <vector>

#include "driver/check_sequence.h"
#include "driver/console.h"
#include "driver/json_document.h"
#include "driver/trace_text.h"
#include "model/model_writer.h"
#include "model/profile.h"

namespace tickcheck {
namespace {

using Clock = std::chrono::steady_clock;

// The verdict of a query from its properties, those of `properties` from position `first` on:
// unknown when one of them is undecided.
Verdict VerdictOf(const lang::QueryPlan& plan, const std::vector<PropertyOutcome>& properties,
                  size_t first) {
  std::vector<bool> decided;
  for (size_t k = first; k < first + plan.conjunctions.size(); ++k) {
    if (k >= properties.size() || properties[k].verdict == Verdict::kUnknown)
      return Verdict::kUnknown;
    decided.push_back(properties[k].verdict == Verdict::kTrue);
  }
  return lang::Verdict(plan, decided) ? Verdict::kTrue : Verdict::kFalse;
}

// The outcome of every query. The trace that shows a query's verdict, when one was made (E<>
// satisfied, A[] not satisfied), is the first trace among its properties: only the properties
// that show it (reachable, or violated) have traces.
std::vector<QueryOutcome> QueryOutcomes(const lang::Compilation& compilation,
                                        const std::vector<PropertyOutcome>& properties) {
  std::vector<QueryOutcome> outcomes;
  size_t first = 0;
  for (size_t q = 0; q < compilation.queries.size(); ++q) {
    const lang::QueryPlan& plan = compilation.plans[q];
    QueryOutcome outcome;
    outcome.text = compilation.queries[q].text;
    outcome.satisfied = VerdictOf(plan, properties, first);
    for (size_t k = first; k < first + plan.conjunctions.size() && k < properties.size(); ++k) {
      outcome.properties.push_back(properties[k].number);
      if (properties[k].trace && !outcome.trace)
        outcome.trace = properties[k].trace;
    }
    outcomes.push_back(std::move(outcome));
    first += plan.conjunctions.size();
  }
  return outcomes;
}

std::string VerdictWords(Verdict satisfied) {
  switch (satisfied) {
    case Verdict::kTrue:
      return "satisfied";
    case Verdict::kFalse:
      return "not satisfied";
    case Verdict::kUnknown:
      break;
  }
  return "unknown";
}

}  // namespace

ExitCode RunCompilation(const Options& options, const RunLimits& limits,
                        const CompiledInput& input) {
  const lang::Compilation& compilation = input.compilation;
  if (!options.emitPath.empty()) {
    const std::string failure = WriteModelFile(compilation.model, options.emitPath);
    if (!failure.empty()) {
      std::cerr << "tickcheck: " << failure << '\n';
      return ExitCode::kFailure;
    }
    if (!input.hasQueries)
      return ExitCode::kComplete;
  }
  if (const std::optional<std::string> problem = JsonTargetProblem(options)) {
    std::cerr << *problem << '\n';
    return ExitCode::kFailure;
  }

  // The compiled model goes to the check as the bytes of its model file, read like any other.
  const Clock::time_point start = Clock::now();
  const uint32_t startTicks = MillisecondTicks();
  ModelFileText file = ComposeModelFile(compilation.model);
  if (!file.failure.empty()) {
    std::cerr << "tickcheck: the compiled model file: " << file.failure << '\n';
    return ExitCode::kFailure;
  }
  StreamMessages problems(std::cerr, StreamMessages::Shown::kProblemsOnly);
  CheckEnd end = CheckInContext(ProfileIndex::OfBytes(options.modelPath, std::move(file.bytes)),
                                options, limits, start, startTicks, problems, ReportFiles::kNone);
  if (!end.summary)
    return ExitCode::kFailure;
  RunSummary& summary = *end.summary;

  // With `--json -` standard output holds the document alone.
  std::ostream& out = options.json && *options.json == "-" ? std::cerr : std::cout;
  const std::vector<QueryOutcome> queries = QueryOutcomes(compilation, summary.properties);
  for (const QueryOutcome& query : queries) {
    const std::string verdict = VerdictWords(query.satisfied);
    out << query.text << "  -- " << verdict << '\n';
    if (query.trace) {
      for (const std::string& line :
           TraceLines(query.text + " (" + verdict + ")", *query.trace, summary.names))
        out << line << '\n';
    }
  }
  out << std::flush;
  ExitCode exit = CloseRun(summary, end.outputFailed);
  if (options.json &&
      !WriteJsonDocument(options, JsonDocument(options, summary, input.kind, queries)) &&
      exit != ExitCode::kInterrupted) {
    exit = ExitCode::kFailure;
  }
  return exit;
}

}  // namespace tickcheck
