#include "driver/language_run.h"

#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "driver/trace_text.h"
#include "lang/compiler.h"

namespace tickcheck {
namespace {

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path))
    return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Reads the lines that the run sequence writes to standard output: the progress and verdict
// lines are dropped, and anything else is a message for the user, passed on to `messages` at
// once.
class ConsoleFilter : public std::streambuf {
 public:
  explicit ConsoleFilter(std::ostream& messages) : messages_(messages) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof()))
      return traits_type::not_eof(c);
    if (traits_type::to_char_type(c) == '\n') {
      Line(line_);
      line_.clear();
    } else {
      line_ += traits_type::to_char_type(c);
    }
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    for (std::streamsize i = 0; i < count; ++i)
      overflow(traits_type::to_int_type(text[i]));
    return count;
  }

 private:
  void Line(std::string_view line) {
    static constexpr std::array<std::string_view, 14> kProgress = {"obj file name:",
                                                                   "sizeof(composition):",
                                                                   "expNum:",
                                                                   "InitStateSpace",
                                                                   "locBit: ",
                                                                   "totalBit: ",
                                                                   "initStatespace done",
                                                                   "begin checking",
                                                                   "pastlist:",
                                                                   "DsState Number in pastList:",
                                                                   "execute time:",
                                                                   "transrule size:",
                                                                   "composition destruct end",
                                                                   "destruct system"};
    for (std::string_view progress : kProgress) {
      if (line.starts_with(progress))
        return;
    }
    int number = 0;
    char result[8] = {};
    if (std::sscanf(std::string(line).c_str(), "property%d : %7s", &number, result) == 2) {
      const std::string_view verdict(result);
      if (verdict == "0" || verdict == "1" || verdict == "unknown")
        return;
    }
    messages_ << line << '\n' << std::flush;
  }

  std::ostream& messages_;
  std::string line_;
};

// Sends standard output into a filter for the lifetime of the object.
class ConsoleRedirect {
 public:
  explicit ConsoleRedirect(std::streambuf* to) : previous_(std::cout.rdbuf(to)) {}
  ~ConsoleRedirect() { std::cout.rdbuf(previous_); }
  ConsoleRedirect(const ConsoleRedirect&) = delete;
  ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;

 private:
  std::streambuf* previous_;
};

// A fresh directory for the compiled model and the checker's reports, removed at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tickcheck-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    if (!path_.empty())
      std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

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

  const ScratchDirectory scratch;
  const std::string modelFile = scratch.Path() + "/model.txt";
  const std::string failure = scratch.Path().empty()
                                  ? "cannot create a temporary directory"
                                  : WriteModelFile(compilation->model, modelFile);
  if (!failure.empty()) {
    std::cerr << failure << '\n';
    return ExitCode::kFailure;
  }
  const Options fileOptions{.modelPath = modelFile,
                            .noClockIntervals = options.noClockIntervals,
                            .checkTimeSuccessors = options.checkTimeSuccessors,
                            .progress = options.progress,
                            .trace = options.trace};
  ConsoleFilter filter(std::cerr);
  RunOutcome outcome;
  {
    const ConsoleRedirect redirect(&filter);
    outcome = RunModel(fileOptions, limits, TracePrinting::kCallerPrints);
  }
  const ExitCode exit = outcome.exit;
  if ((exit != ExitCode::kComplete && exit != ExitCode::kModelErrors &&
       exit != ExitCode::kInterrupted) ||
      !outcome.summary) {
    return ExitCode::kFailure;
  }
  size_t property = 0;
  for (size_t q = 0; q < compilation->queries.size(); ++q) {
    const lang::QueryPlan& plan = compilation->plans[q];
    const std::string verdict = VerdictOf(plan, outcome.summary->properties, property);
    std::cout << compilation->queries[q].text << "  -- " << verdict << '\n';
    if (const std::optional<Trace> trace = TraceOf(plan, outcome.summary->properties, property)) {
      for (const std::string& line : TraceLines(compilation->queries[q].text + " (" + verdict + ")",
                                                *trace, outcome.summary->names)) {
        std::cout << line << '\n';
      }
    }
    property += plan.conjunctions.size();
  }
  std::cout << std::flush;
  return exit;
}

}  // namespace tickcheck
