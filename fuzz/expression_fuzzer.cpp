// The expression-record loader and evaluator on arbitrary records. The input is the bytes behind
// the `=` of a key "exp-0". The record is loaded straight from memory (LoadRecord) and from a
// model file (Load); both must agree. A loaded record is then evaluated with a value lookup
// installed, with and without an evaluation state.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "expr/expression.h"
#include "scratch_file.h"
#include "statespace/ds_state.h"

namespace {

using tickcheck::CExpression;

// Any value for any variable, the extremes included, so that the arithmetic meets them.
int32_t AnyValue(const tickcheck::DsState*, int32_t variable) {
  switch (static_cast<uint32_t>(variable) % 5) {
    case 0:
      return INT32_MIN;
    case 1:
      return -1;
    case 2:
      return 0;
    case 3:
      return INT32_MAX;
    default:
      return static_cast<int32_t>(static_cast<uint32_t>(variable) * 2654435761u);
  }
}

void Exercise(CExpression& expression) {
  expression.LeftVariable();
  expression.RootType();
  expression.RightValue();
  expression.Compute();
  expression.Evaluate();
  if (std::string(expression.StrategyName()) == "CTreeExpression")
    expression.EvalNode(expression.Root());
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The refusal lines of the loader would only slow the search down.
  std::cout.setstate(std::ios::badbit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CExpression fromMemory;
  {
    // fmemopen refuses an empty buffer; a record of no bytes reads like one cut short anyway.
    static const uint8_t kNothing = 0;
    std::unique_ptr<std::FILE, FileCloser> stream(
        fmemopen(const_cast<uint8_t*>(size == 0 ? &kNothing : data), size, "rb"));
    if (!stream)
      std::abort();
    if (size == 0)
      std::fseek(stream.get(), 0, SEEK_END);
    fromMemory.LoadRecord(stream.get(), 0);
  }

  std::string model = "[Expressions]\nexp-0=";
  model.append(reinterpret_cast<const char*>(data), size);
  const tickcheck::fuzz::ScratchFile file(reinterpret_cast<const uint8_t*>(model.data()),
                                          model.size());
  CExpression fromFile;
  fromFile.Load(file.Path(), 0);
  if (fromFile.Loaded() != fromMemory.Loaded() || fromFile.Nodes() != fromMemory.Nodes() ||
      fromFile.Bindings() != fromMemory.Bindings() || fromFile.Root() != fromMemory.Root() ||
      std::string(fromFile.StrategyName()) != fromMemory.StrategyName()) {
    std::fprintf(stderr, "the record loads differently from memory and from a file\n");
    std::abort();
  }

  tickcheck::SetValueLookup(nullptr);
  tickcheck::SetEvaluationState(nullptr);
  Exercise(fromMemory);
  const tickcheck::DsState state;
  tickcheck::SetValueLookup(&AnyValue);
  tickcheck::SetEvaluationState(&state);
  Exercise(fromMemory);
  tickcheck::SetEvaluationState(nullptr);
  Exercise(fromFile);
  return 0;
}
