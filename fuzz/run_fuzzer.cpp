// The whole run on arbitrary model files: load, composition, state space and check, as the
// binary does it. The options are chosen from the input's bytes (none, "-n", "-t" or both), so
// that an input always runs the same way. The run's limits bound the search, so one
// input stays fast. A run must end with exit code 0, 1 or 3 (a model
// with errors); the decision-diagram library's failures end the process, which libFuzzer reports
// as a crash.
#include <cstdint>
#include <vector>

#include "bounded_run.h"
#include "scratch_file.h"

namespace {

// 0 no option, 1 "-n", 2 "-t", 3 both: the same rule as the replay of fuzz-found inputs.
unsigned OptionChoice(const uint8_t* data, size_t size) {
  unsigned sum = 0;
  for (size_t i = 0; i < size; ++i)
    sum += data[i];
  return sum % 4;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tickcheck::fuzz::SilenceStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tickcheck::fuzz::ScratchFile file(data, size);
  std::vector<const char*> argv{"tickcheck", file.Path().c_str()};
  const unsigned options = OptionChoice(data, size);
  if (options & 1u)
    argv.push_back("-n");
  if (options & 2u)
    argv.push_back("-t");
  tickcheck::fuzz::RunBounded(argv);
  return 0;
}
