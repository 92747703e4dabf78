#include "driver/run.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "driver/check_sequence.h"
#include "driver/console.h"
#include "driver/json_document.h"
#include "driver/language_run.h"
#include "driver/model_file.h"
#include "driver/options.h"
#include "driver/run_summary.h"
#include "driver/xml_run.h"
#include "model/profile.h"

namespace tickcheck {
namespace {

using Clock = std::chrono::steady_clock;

// Everything after the command line: the checks that come before anything is written, the run
// sequence, and what closes the run on standard error and in the JSON document.
RunOutcome Run(const Options& options, const RunLimits& limits, Clock::time_point start,
               uint32_t startTicks) {
  if (options.modelPath.empty()) {
    std::cout << "Error! There must be a obj file path" << std::endl;
    ErrorLine(UsageLine());
    return {ExitCode::kFailure};
  }
  if (std::string_view(options.modelPath).ends_with(".tck"))
    return {RunLanguageModel(options, limits)};
  if (std::string_view(options.modelPath).ends_with(".xta"))
    return {RunLanguageModel(options, limits, "xta")};
  if (std::string_view(options.modelPath).ends_with(".xml"))
    return {RunXmlModel(options, limits)};
  if (!options.queryPath.empty() || !options.emitPath.empty()) {
    ErrorLine("tickcheck: -q and --emit-model apply to .tck, .xta and .xml models only");
    ErrorLine(UsageLine());
    return {ExitCode::kUsage};
  }
  if (const std::optional<std::string> problem = ModelFileProblem(options.modelPath)) {
    ErrorLine("tickcheck: " + options.modelPath + ": " + *problem);
    return {ExitCode::kFailure};
  }
  if (const std::optional<std::string> problem = JsonTargetProblem(options)) {
    ErrorLine(*problem);
    return {ExitCode::kFailure};
  }
  const bool jsonToOutput = options.json && *options.json == "-";
  // With `--json -` the console goes to standard error, so that standard output holds nothing
  // but the document.
  StreamMessages console(jsonToOutput ? std::cerr : std::cout, StreamMessages::Shown::kEveryLine);
  CheckEnd end = CheckInContext(ProfileIndex(options.modelPath), options, limits, start, startTicks,
                                console, ReportFiles::kBesideModel);
  if (!end.summary)
    return {ExitCode::kFailure};
  RunSummary& summary = *end.summary;
  // Closing the run reads the peak memory, which the document holds.
  ExitCode exit = CloseRun(summary, end.outputFailed);
  if (options.json &&
      !WriteJsonDocument(options, JsonDocument(options, summary, "model file", {})) &&
      exit != ExitCode::kInterrupted) {
    exit = ExitCode::kFailure;
  }
  return {exit, std::move(end.summary)};
}

}  // namespace

RunOutcome RunModel(const Options& options, const RunLimits& limits) {
  const Clock::time_point start = Clock::now();
  const uint32_t startTicks = MillisecondTicks();
  try {
    return Run(options, limits, start, startTicks);
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
