#include "driver/language_run.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "driver/compiled_run.h"
#include "driver/source_text.h"
#include "lang/compiler.h"

namespace tickcheck {

ExitCode RunLanguageModel(const Options& options, const RunLimits& limits,
                          const std::string& kind) {
  std::string problem;
  const std::optional<std::string> modelText = ReadSourceText(options.modelPath, problem);
  if (!modelText) {
    std::cerr << "tickcheck: " << options.modelPath << ": " << problem << '\n';
    return ExitCode::kFailure;
  }
  const std::string queryPath =
      !options.queryPath.empty()
          ? options.queryPath
          : std::filesystem::path(options.modelPath).replace_extension(".q").string();
  std::optional<lang::SourceFile> queries;
  if (const std::optional<std::string> queryText = ReadSourceText(queryPath, problem)) {
    queries = lang::SourceFile{queryPath, *queryText};
  } else if (!options.queryPath.empty() || options.emitPath.empty()) {
    std::cerr << "tickcheck: " << queryPath << ": cannot read the queries: " << problem
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
  return RunCompilation(options, limits, {kind, queries.has_value(), *compilation});
}

}  // namespace tickcheck
