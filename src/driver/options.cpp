#include "driver/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <limits>

namespace tickcheck {
namespace {

constexpr const char* kVersion = "tickcheck " TICKCHECK_VERSION;

// The whole command line, bound to `options`.
void Describe(CLI::App& app, Options& options) {
  app.add_option("model", options.modelPath, "the model file")->type_name("FILE");
  app.add_flag("-n", options.noClockIntervals, "store every state exactly, no clock intervals");
  app.add_flag("-t", options.checkTimeSuccessors, "also check the properties on delays");
  app.add_flag("--trace", options.trace,
               "print a run to a state that shows each reachable or violated property");
  app.add_flag("--no-zeno", options.noZeno,
               "liveness: leave out infinite runs with finitely many ticks");
  // The one-pass reached set was an option before it became the only way; old command lines
  // still run.
  app.add_flag("--compact-trace", options.compactTrace,
               "--trace, each state showing only what its step changed");
  app.add_flag("--fast-reached-set")
      ->description("accepted for older command lines; changes nothing");
  app.add_flag("--no-symmetry", options.noSymmetry,
               "store every state, not one per orbit of interchangeable processes");
  app.add_flag("--progress", options.progress, "progress every 2 s (always on a terminal)");
  app.add_option_function<std::string>(
         "--memory-limit",
         [&options](const std::string& text) {
           options.memoryLimit = ParseSize(text);
           if (!options.memoryLimit)
             throw CLI::ValidationError("--memory-limit", "not a size: " + text);
         },
         "end the search before the memory in use reaches SIZE (K, M, G, T: KiB ...)")
      ->type_name("SIZE");
  app.add_option_function<std::string>(
         "--time-limit",
         [&options](const std::string& text) {
           options.timeLimit = ParseSeconds(text);
           if (!options.timeLimit)
             throw CLI::ValidationError("--time-limit", "not a number of seconds: " + text);
         },
         "end the search SECONDS after the run began")
      ->type_name("SECONDS");
  app.add_option("--json", options.json, "write a JSON document of the run ('-': stdout)")
      ->type_name("FILE");
  app.add_option("-q", options.queryPath, "the queries of a .tck model (default: <model>.q)")
      ->type_name("FILE");
  app.add_option("--emit-model", options.emitPath, "also write the compiled model file (.tck)")
      ->type_name("FILE");
  app.set_version_flag("--version", kVersion);
  // Unknown arguments are collected rather than thrown, so that the message can say which
  // argument was not understood, and in the order given.
  app.allow_extras();
  app.footer(
      "Exit codes:\n"
      "  0    every property decided\n"
      "  1    no verdicts: no readable model file, a refused model, a report that cannot be\n"
      "       written, or memory running out\n"
      "  2    a command line that is not understood\n"
      "  3    verdicts printed, but the model had errors: they may not hold\n"
      "  4    a --memory-limit or --time-limit ended the search: the verdicts found so far\n"
      "       printed, the others unknown\n"
      "  130  interrupted: the verdicts found so far printed, the others unknown");
}

std::string Usage(const CLI::App& app) {
  std::string usage = CLI::Formatter().make_usage(&app, app.get_name());
  while (!usage.empty() && usage.front() == '\n')
    usage.erase(usage.begin());
  while (!usage.empty() && usage.back() == '\n')
    usage.pop_back();
  return usage;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const argv[], std::ostream& out,
                             std::ostream& err) {
  CommandLine line;
  CLI::App app{
      "Checks the queries of a model in the modelling language (.tck, queries in .q) or the "
      "properties of a model file.",
      "tickcheck"};
  Describe(app, line.options);
  auto refuse = [&](const std::string& message) {
    err << "tickcheck: " << message << '\n'
        << Usage(app) << "\nRun with --help for more information.\n"
        << std::flush;
    line.answered = ExitCode::kUsage;
    return line;
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help() << std::flush;
    line.answered = ExitCode::kComplete;
    return line;
  } catch (const CLI::CallForVersion&) {
    out << kVersion << '\n' << std::flush;
    line.answered = ExitCode::kComplete;
    return line;
  } catch (const CLI::ParseError& error) {
    return refuse(error.what());
  }
  // Behind "--" (which the parser leaves among the unknown arguments) every argument is a path.
  bool separated = false;
  for (const std::string& extra : app.remaining()) {
    if (extra == "--" && !separated) {
      separated = true;
      continue;
    }
    if (!separated && extra.size() > 1 && extra.front() == '-')
      return refuse("unknown option " + extra);
    return refuse("one model file expected, but " + extra + " follows " + line.options.modelPath);
  }
  line.options.trace = line.options.trace || line.options.compactTrace;
  return line;
}

std::optional<uint64_t> ParseSize(const std::string& text) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || rest == text.data() || value == 0)
    return std::nullopt;
  const std::string unit(rest, end);
  int shift = 0;
  if (unit == "K")
    shift = 10;
  else if (unit == "M")
    shift = 20;
  else if (unit == "G")
    shift = 30;
  else if (unit == "T")
    shift = 40;
  else if (!unit.empty())
    return std::nullopt;
  if (shift > 0 && value > (std::numeric_limits<uint64_t>::max() >> shift))
    return std::nullopt;
  return value << shift;
}

std::optional<double> ParseSeconds(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.';
  });
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (!digitsOnly || error != std::errc() || rest != end || !(value > 0))
    return std::nullopt;
  return value;
}

std::string UsageLine() {
  Options options;
  CLI::App app{"", "tickcheck"};
  Describe(app, options);
  return Usage(app);
}

}  // namespace tickcheck
