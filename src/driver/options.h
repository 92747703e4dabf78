#pragma once
// The command line: `tickcheck [options] <model file>`, options anywhere on the line, `--` before
// a model path that starts with `-`. Every option is one field of Options and one line of
// ParseCommandLine.

#include <optional>
#include <ostream>
#include <string>

#include "driver/exit_code.h"

namespace tickcheck {

struct Options {
  std::string modelPath;              // empty when none was given
  bool noClockIntervals = false;      // -n
  bool checkTimeSuccessors = false;   // -t
  bool progress = false;              // --progress (also on when standard error is a terminal)
  bool trace = false;                 // --trace
  std::optional<std::string> json{};  // --json FILE; "-" is standard output
  std::string queryPath{};            // -q FILE: the queries of a .tck model
  std::string emitPath{};             // --emit-model FILE: the compiled model file of a .tck model
};

// Either the options of a run, or the exit code of a command line that was answered without one
// (help or version text written to `out`; an unknown option, a missing option value or a second
// model path: one line saying so and the usage written to `err`).
struct CommandLine {
  Options options;
  std::optional<ExitCode> answered;
};

CommandLine ParseCommandLine(int argc, const char* const argv[], std::ostream& out,
                             std::ostream& err);

// The one line of usage, as it ends the error output of ParseCommandLine.
std::string UsageLine();

}  // namespace tickcheck
