// The language front end on arbitrary source text: lexer, parser, checks, compiler and a short
// bounded run of the compiled model, as the binary does it. The input is a model's text and,
// after its first NUL byte, the text of its queries; without a NUL byte there are none and the
// model is only compiled and written (--emit-model). The run's limits bound the search; a run
// must end with exit code 0, 1 or 3.
#include <cstdint>
#include <string>
#include <vector>

#include "bounded_run.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tickcheck::fuzz::SilenceStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const size_t nul = bytes.find('\0');
  const std::string model = bytes.substr(0, nul);
  const std::string queries = nul == std::string::npos ? std::string() : bytes.substr(nul + 1);
  const tickcheck::fuzz::ScratchFile modelFile(reinterpret_cast<const uint8_t*>(model.data()),
                                               model.size(), ".tck");
  const tickcheck::fuzz::ScratchFile queryFile(reinterpret_cast<const uint8_t*>(queries.data()),
                                               queries.size(), ".q");
  const tickcheck::fuzz::ScratchFile emitted("-emitted.txt");
  std::vector<const char*> argv{"tickcheck", modelFile.Path().c_str()};
  if (nul == std::string::npos)
    argv.insert(argv.end(), {"--emit-model", emitted.Path().c_str()});
  else
    argv.insert(argv.end(), {"-q", queryFile.Path().c_str()});
  tickcheck::fuzz::RunBounded(argv);
  return 0;
}
