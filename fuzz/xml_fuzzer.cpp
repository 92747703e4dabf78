// The XML front end on arbitrary bytes: the document reader, the labels through the language's
// lexer and parser, the compiler, the written model file (--emit-model) and a short bounded run
// of its queries, as the binary does it. A run must end with exit code 0, 1 or 3.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "driver/run.h"
#include "scratch_file.h"

namespace {

constexpr tickcheck::RunLimits kLimits{{5000}};
constexpr uint8_t kNothing = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The verdicts, the errors and the closing lines would only slow the search down.
  std::cout.setstate(std::ios::badbit);
  std::cerr.setstate(std::ios::badbit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tickcheck::fuzz::ScratchFile document(data, size, ".xml");
  const tickcheck::fuzz::ScratchFile emitted(&kNothing, 0, "-emitted.txt");
  const char* argv[] = {"tickcheck", document.Path().c_str(), "--emit-model",
                        emitted.Path().c_str()};
  const int code = tickcheck::RunTickcheck(4, argv, kLimits);
  if (code != 0 && code != 1 && code != 3) {
    std::fprintf(stderr, "the run ended with exit code %d\n", code);
    std::abort();
  }
  return 0;
}
