// The expression-record loader and evaluator on arbitrary records. The input is the bytes behind
// the `=` of a key "exp-0". The record is loaded straight from memory (LoadRecord) and through
// the expression table of a model file that holds it; both must agree. A loaded record is then
// evaluated with and without a state whose variables hold the extremes of the arithmetic. The
// same bytes are also loaded as a record of a format-2 model, checked against its variables as
// the loader checks them, evaluated with the checked evaluator and run as an effect.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "expr/evaluation.h"
#include "expr/program.h"
#include "model/ds_state.h"
#include "model/expression.h"
#include "model/expression_table.h"
#include "model/format2.h"
#include "model/messages.h"
#include "model/profile.h"
#include "model/system.h"
#include "scratch_file.h"

namespace {

using tickcheck::CExpression;

// Integer variables 1 to 5 of the model hold these values, so that the arithmetic meets the
// extremes; any other variable id reads 0.
constexpr int32_t kValues[] = {INT32_MIN, -1, 0, INT32_MAX, 1};

void Exercise(const CExpression& expression, const tickcheck::Valuation& valuation) {
  expression.LeftVariable();
  expression.RootType();
  tickcheck::RightValue(expression, valuation);
  tickcheck::Evaluate(expression, valuation);
  if (expression.Shape() == tickcheck::ExpressionShape::kTree)
    tickcheck::EvalNode(expression, expression.Root(), valuation);
}

// Answers `deadlock` by the parity of the first integer, so that both answers are met.
class ParityDeadlock : public tickcheck::DeadlockHook {
 public:
  bool IsDeadlock(const tickcheck::DsState& state) const override {
    return state.intValues[0] % 2 == 0;
  }
};

// The record as a format-2 model's: loaded into `system`, whose integer variables 1 to 5 hold the
// whole int32 range, checked as the loader checks records, evaluated, and run on a copy of
// `state`.
void ExerciseFormat2(const std::string& path, tickcheck::CSystem& system,
                     const tickcheck::DsState& state, tickcheck::MessageSink& messages) {
  system.format = 2;
  for (tickcheck::CVariable& variable : system.variables) {
    variable.Min = INT32_MIN;
    variable.Max = INT32_MAX;
  }
  system.expressions.Load(tickcheck::ProfileIndex(path), 1, messages, 2);
  tickcheck::CheckFormat2Records(system, messages);
  const CExpression& expression = system.expressions[0];
  const ParityDeadlock deadlock;
  tickcheck::EvaluateChecked(expression, system, state, &deadlock);
  tickcheck::RightValueChecked(expression, system, state);
  std::vector<tickcheck::ClockComparison> met;
  tickcheck::EvaluateObserved(expression, system, state, nullptr, met);
  tickcheck::DsState target = state;
  tickcheck::Execute(expression, system, target);
  tickcheck::Evaluate(expression, tickcheck::Valuation::WithoutState(system));
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The refusal lines of the loader would only slow the search down.
  tickcheck::DiscardedMessages messages;
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
    fromMemory.LoadRecord(stream.get(), 0, messages);
  }

  std::string model = "[Expressions]\nexp-0=";
  model.append(reinterpret_cast<const char*>(data), size);
  const tickcheck::fuzz::ScratchFile file(reinterpret_cast<const uint8_t*>(model.data()),
                                          model.size());
  tickcheck::ExpressionTable table;
  table.Load(tickcheck::ProfileIndex(file.Path()), 1, messages);
  const CExpression& fromFile = table[0];
  if (fromFile.Loaded() != fromMemory.Loaded() || fromFile.Nodes() != fromMemory.Nodes() ||
      fromFile.Bindings() != fromMemory.Bindings() || fromFile.Root() != fromMemory.Root() ||
      std::string(fromFile.StrategyName()) != fromMemory.StrategyName()) {
    std::fprintf(stderr, "the record loads differently from memory and from a file\n");
    std::abort();
  }

  tickcheck::CSystem system;
  tickcheck::DsState state;
  for (const int32_t value : kValues) {
    tickcheck::CVariable variable;
    variable.Type = tickcheck::VarType::kInteger;
    variable.intValueIndex = static_cast<int32_t>(state.intValues.size());
    system.variables.push_back(variable);
    state.intValues.push_back(value);
  }
  Exercise(fromMemory, tickcheck::Valuation::WithoutState(system));
  Exercise(fromMemory, tickcheck::Valuation(system, state));
  Exercise(fromFile, tickcheck::Valuation::WithoutState(system));
  ExerciseFormat2(file.Path(), system, state, messages);
  return 0;
}
