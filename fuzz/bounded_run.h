#pragma once
// What the fuzz targets that run the whole driver share: silent standard streams, the limits that
// keep one input fast, and the check of the run's exit code.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "driver/run.h"

namespace tickcheck::fuzz {

// The console lines, warnings and closing lines of a run would only slow the search down.
inline void SilenceStandardStreams() {
  std::cout.setstate(std::ios::badbit);
  std::cerr.setstate(std::ios::badbit);
}

// Runs the driver on the command line `argv` (argv[0] the program's name). The search ends like
// an early end once it has made 5000 states. A run must end with exit code 0, 1 or 3 (a model
// with errors); any other ends the process, which libFuzzer reports as a crash.
inline void RunBounded(const std::vector<const char*>& argv) {
  constexpr RunLimits kLimits{{5000}};
  const int code = RunTickcheck(static_cast<int>(argv.size()), argv.data(), kLimits);
  if (code != 0 && code != 1 && code != 3) {
    std::fprintf(stderr, "the run ended with exit code %d\n", code);
    std::abort();
  }
}

}  // namespace tickcheck::fuzz
