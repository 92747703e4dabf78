#include "driver/xml_run.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "driver/compiled_run.h"
#include "driver/source_text.h"
#include "xml/compiler.h"

namespace tickcheck {

ExitCode RunXmlModel(const Options& options, const RunLimits& limits) {
  std::string problem;
  const std::optional<std::string> document = ReadSourceText(options.modelPath, problem);
  if (!document) {
    std::cerr << "tickcheck: " << options.modelPath << ": " << problem << '\n';
    return ExitCode::kFailure;
  }
  std::optional<lang::SourceFile> queries;
  if (!options.queryPath.empty()) {
    const std::optional<std::string> text = ReadSourceText(options.queryPath, problem);
    if (!text) {
      std::cerr << "tickcheck: " << options.queryPath << ": cannot read the queries: " << problem
                << '\n';
      return ExitCode::kFailure;
    }
    queries = lang::SourceFile{options.queryPath, *text};
  }
  std::vector<lang::Diagnostic> errors;
  const std::optional<lang::Compilation> compilation =
      xml::CompileDocument({options.modelPath, *document}, queries, errors);
  if (!compilation) {
    for (const lang::Diagnostic& error : errors)
      std::cerr << error.Format() << '\n';
    return ExitCode::kFailure;
  }
  const bool hasQueries = !compilation->queries.empty();
  if (!hasQueries && options.emitPath.empty()) {
    std::cerr << "tickcheck: " << options.modelPath
              << ": the document has no queries (name a query file with -q FILE)\n";
    return ExitCode::kFailure;
  }
  return RunCompilation(options, limits, {"xml", hasQueries, *compilation});
}

}  // namespace tickcheck
