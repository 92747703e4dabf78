#pragma once
// Runs the real tickcheck binary as a child process and collects what it printed.

#include <cstdint>
#include <string>
#include <vector>

namespace tickcheck::testing {

struct ProcessResult {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs the tickcheck binary with `arguments` in `workingDirectory` (the current one when empty),
// its address space limited to `addressSpaceBytes` when that is not 0. A run still going after
// `timeoutSeconds` (when not 0) is ended by SIGALRM: exit code 128 + 14.
ProcessResult RunTickcheckBinary(const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory = "",
                                 uint64_t addressSpaceBytes = 0, unsigned timeoutSeconds = 0);

// Drops the line that starts with "execute time:", the one line that differs between runs.
std::string WithoutTimeLine(const std::string& output);

}  // namespace tickcheck::testing
