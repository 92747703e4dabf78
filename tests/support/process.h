#pragma once
// Runs the real tickcheck binary as a child process and collects what it printed.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tickcheck::testing {

class TempDir;

struct ProcessResult {
  int exitCode = -1;  // 128 + the signal when a signal ended the run
  std::string out;    // standard output
  std::string err;    // standard error
};

// A run of the binary that goes on while the test watches it or sends it a signal.
class BinaryRun {
 public:
  // Starts the binary with `arguments` in `workingDirectory` (the current one when empty), its
  // address space limited to `addressSpaceBytes` when that is not 0. A run still going after
  // `timeoutSeconds` (when not 0) is ended by SIGALRM.
  explicit BinaryRun(const std::vector<std::string>& arguments,
                     const std::string& workingDirectory = "", uint64_t addressSpaceBytes = 0,
                     unsigned timeoutSeconds = 0);
  // Kills and reaps a run that was not waited for.
  ~BinaryRun();
  BinaryRun(const BinaryRun&) = delete;
  BinaryRun& operator=(const BinaryRun&) = delete;

  // Waits until standard error holds `text`; false when the run ended or `timeoutSeconds` passed
  // first.
  bool AwaitError(const std::string& text, unsigned timeoutSeconds);
  void Signal(int signal);
  // Waits for the end of the run and collects its output.
  ProcessResult Wait();

 private:
  std::unique_ptr<TempDir> capture_;
  pid_t child_ = -1;
};

// Runs the binary to its end; the arguments are those of BinaryRun.
ProcessResult RunTickcheckBinary(const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory = "",
                                 uint64_t addressSpaceBytes = 0, unsigned timeoutSeconds = 0);

// Drops the line that starts with "execute time:", the one line that differs between runs.
std::string WithoutTimeLine(const std::string& output);
// Drops the closing "summary: " line of standard error, whose times and memory differ between
// runs.
std::string WithoutSummaryLine(const std::string& err);

}  // namespace tickcheck::testing
