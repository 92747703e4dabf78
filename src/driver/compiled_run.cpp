#include "driver/compiled_run.h"

#include <algorithm>
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

// The outcome of every query. Query q is property q + 1, of Type 0 for E<> (satisfied when
// reachable) and of Type 1 for A[] (satisfied when it holds), so the property's verdict is the
// query's; its trace, when it has one, shows it (E<> satisfied, A[] not satisfied).
std::vector<QueryOutcome> QueryOutcomes(const lang::Compilation& compilation,
                                        const std::vector<PropertyOutcome>& properties) {
  std::vector<QueryOutcome> outcomes;
  for (size_t q = 0; q < compilation.queries.size(); ++q) {
    QueryOutcome outcome;
    outcome.text = compilation.queries[q].text;
    outcome.satisfied = Verdict::kUnknown;
    if (q < properties.size()) {
      outcome.satisfied = properties[q].verdict;
      outcome.properties.push_back(properties[q].number);
      outcome.trace = properties[q].trace;
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

// What each jump of the compiled model stands for in the source: its edge's select values, or
// that the compiler added it.
std::vector<std::vector<JumpSource>> JumpSources(const lang::Compilation& compilation) {
  std::vector<std::vector<JumpSource>> sources;
  for (size_t p = 0; p < compilation.origins.size(); ++p) {
    const lang::Process& process = compilation.network.processes[p];
    sources.emplace_back();
    for (const lang::JumpOrigin& origin : compilation.origins[p]) {
      JumpSource source{origin.edge < 0, {}};
      const auto edge = std::find_if(
          process.edges.begin(), process.edges.end(),
          [&origin](const lang::Edge& candidate) { return candidate.source == origin.edge; });
      for (size_t k = 0; edge != process.edges.end() && k < edge->selectNames.size() &&
                         k < origin.selectValues.size();
           ++k)
        source.selects.emplace_back(edge->selectNames[k], origin.selectValues[k]);
      sources.back().push_back(std::move(source));
    }
  }
  return sources;
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
  summary.names.jumps = JumpSources(compilation);

  // With `--json -` standard output holds the document alone.
  std::ostream& out = options.json && *options.json == "-" ? std::cerr : std::cout;
  const std::vector<QueryOutcome> queries = QueryOutcomes(compilation, summary.properties);
  for (const QueryOutcome& query : queries) {
    const std::string verdict = VerdictWords(query.satisfied);
    out << query.text << "  -- " << verdict << '\n';
    if (query.trace) {
      for (const std::string& line :
           TraceLines(query.text + " (" + verdict + ")", *query.trace, summary.names,
                      options.compactTrace ? TraceView::kChanges : TraceView::kFull))
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
