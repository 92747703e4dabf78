#pragma once
// The command line: `tickcheck [options] <model file>`, options anywhere on the line, `--` before
// a model path that starts with `-`. Every option is one field of Options and one line of
// ParseCommandLine.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "driver/exit_code.h"

namespace tickcheck {

struct Options {
  std::string modelPath;                  // empty when none was given
  bool noClockIntervals = false;          // -n
  bool checkTimeSuccessors = false;       // -t
  bool progress = false;                  // --progress (also on when standard error is a terminal)
  bool trace = false;                     // --trace (also set by --compact-trace)
  bool compactTrace = false;              // --compact-trace
  bool noSymmetry = false;                // --no-symmetry
  bool noZeno = false;                    // --no-zeno: liveness leaves out runs that stop ticking
  std::optional<std::string> json{};      // --json FILE; "-" is standard output
  std::optional<uint64_t> memoryLimit{};  // --memory-limit SIZE, in bytes
  std::optional<double> timeLimit{};      // --time-limit SECONDS
  std::string queryPath{};                // -q FILE: the queries of a .tck model
  std::string emitPath{};  // --emit-model FILE: the compiled model file of a .tck model
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

// The number of bytes that `text` names: digits, optionally followed by K, M, G or T (KiB, MiB,
// GiB, TiB); nothing when it names no positive size or more than 2^64 - 1 bytes.
std::optional<uint64_t> ParseSize(const std::string& text);
// The positive number of seconds that `text` names (digits, optionally with a fraction).
std::optional<double> ParseSeconds(const std::string& text);

// The one line of usage, as it ends the error output of ParseCommandLine.
std::string UsageLine();

}  // namespace tickcheck
