#include "driver/language_run.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/check_sequence.h"
#include "driver/console.h"
#include "driver/trace_text.h"
#include "lang/compiler.h"
#include "model/model_writer.h"
#include "model/profile.h"

namespace tickcheck {
namespace {

using Clock = std::chrono::steady_clock;

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path))
    return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "satisfied", "not satisfied", or "unknown" when a property that decides it is undecided; the
// query's properties are those of `properties` from position `first` on.
std::string VerdictOf(const lang::QueryPlan& plan, const std::vector<PropertyOutcome>& properties,
                      size_t first) {
  std::vector<bool> decided;
  for (size_t k = first; k < first + plan.conjunctions.size(); ++k) {
    if (k >= properties.size() || properties[k].verdict == Verdict::kUnknown)
      return "unknown";
    decided.push_back(properties[k].verdict == Verdict::kTrue);
  }
  return lang::Verdict(plan, decided) ? "satisfied" : "not satisfied";
}

// The trace that shows the query's verdict, when one was made: E<> satisfied, A[] not
// satisfied. Only the properties that show it (reachable, or violated) have traces, so it is the
// first trace among the query's properties.
std::optional<Trace> TraceOf(const lang::QueryPlan& plan,
                             const std::vector<PropertyOutcome>& properties, size_t first) {
  for (size_t k = first; k < first + plan.conjunctions.size() && k < properties.size(); ++k) {
    if (properties[k].trace)
      return properties[k].trace;
  }
  return std::nullopt;
}

}  // namespace

ExitCode RunLanguageModel(const Options& options, const RunLimits& limits) {
  if (options.json) {
    std::cerr << "tickcheck: --json describes model files only: write the compiled model file "
                 "with --emit-model and check that\n";
    return ExitCode::kUsage;
  }
  const std::optional<std::string> modelText = ReadText(options.modelPath);
  if (!modelText) {
    std::cerr << options.modelPath << ": cannot read the file\n";
    return ExitCode::kFailure;
  }
  const std::string queryPath =
      !options.queryPath.empty()
          ? options.queryPath
          : std::filesystem::path(options.modelPath).replace_extension(".q").string();
  std::optional<lang::SourceFile> queries;
  if (const std::optional<std::string> queryText = ReadText(queryPath)) {
    queries = lang::SourceFile{queryPath, *queryText};
  } else if (!options.queryPath.empty() || options.emitPath.empty()) {
    std::cerr << queryPath << ": cannot read the queries"
              << (options.queryPath.empty() ? " (name another file with -q FILE)" : "") << '\n';
    return ExitCode::kFailure;
  }

  std::vector<lang::Diagnostic> errors;
  const std::optional<lang::Compilation> compilation =
      lang::Compile({options.modelPath, *modelText}, queries, errors);
  if (!compilation) {
    for (const lang::Diagnostic& error : errors)
      std::cerr << error.Format() << '\n';
    return ExitCode::kFailure;
  }
  if (!options.emitPath.empty()) {
    const std::string failure = WriteModelFile(compilation->model, options.emitPath);
    if (!failure.empty()) {
      std::cerr << failure << '\n';
      return ExitCode::kFailure;
    }
    if (!queries)
      return ExitCode::kComplete;
  }

  // The compiled model goes to the check as the bytes of its model file, read like any other.
  const Clock::time_point start = Clock::now();
  const uint32_t startTicks = MillisecondTicks();
  ModelFileText file = ComposeModelFile(compilation->model);
  if (!file.failure.empty()) {
    std::cerr << "the compiled model file: " << file.failure << '\n';
    return ExitCode::kFailure;
  }
  StreamMessages problems(std::cerr, StreamMessages::Shown::kProblemsOnly);
  CheckEnd end = CheckInContext(ProfileIndex::OfBytes(options.modelPath, std::move(file.bytes)),
                                options, limits, start, startTicks, problems, ReportFiles::kNone);
  if (!end.summary)
    return ExitCode::kFailure;
  const RunSummary& summary = *end.summary;
  size_t property = 0;
  for (size_t q = 0; q < compilation->queries.size(); ++q) {
    const lang::QueryPlan& plan = compilation->plans[q];
    const std::string verdict = VerdictOf(plan, summary.properties, property);
    std::cout << compilation->queries[q].text << "  -- " << verdict << '\n';
    if (const std::optional<Trace> trace = TraceOf(plan, summary.properties, property)) {
      for (const std::string& line :
           TraceLines(compilation->queries[q].text + " (" + verdict + ")", *trace, summary.names)) {
        std::cout << line << '\n';
      }
    }
    property += plan.conjunctions.size();
  }
  std::cout << std::flush;
  return CloseRun(*end.summary, end.outputFailed);
}

}  // namespace tickcheck
