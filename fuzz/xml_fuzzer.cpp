// The XML front end on arbitrary bytes: the document reader, the labels through the language's
// lexer and parser, the compiler, the written model file (--emit-model) and a short bounded run
// of its queries, as the binary does it. A run must end with exit code 0, 1 or 3.
#include <cstdint>

#include "bounded_run.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tickcheck::fuzz::SilenceStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tickcheck::fuzz::ScratchFile document(data, size, ".xml");
  const tickcheck::fuzz::ScratchFile emitted("-emitted.txt");
  tickcheck::fuzz::RunBounded(
      {"tickcheck", document.Path().c_str(), "--emit-model", emitted.Path().c_str()});
  return 0;
}
