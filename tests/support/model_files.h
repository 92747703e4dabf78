#pragma once
// Model files for tests, always written with the project's model-file writer.

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "model/expression.h"
#include "model/model_writer.h"

#include "support/temp_dir.h"

namespace tickcheck::testing {

// Writes `model` as `name` inside `dir` and returns its path; a writer error fails the test.
std::string WriteModel(const TempDir& dir, const ModelSpec& model,
                       const std::string& name = "model.txt");

// The example of the file format: a clock x (id 1), an integer n (id 2), one process with
// locations idle and busy and one jump idle -> busy guarded by constraint 2; no properties.
ModelSpec FormatExampleModel();

// An expression record exactly as given, counts included (they may disagree with the arrays).
ExpressionRecord Raw(int32_t bindings, int32_t nodes, int32_t root, std::vector<ExpBinding> b,
                     std::vector<ExpNode> n);

// 1 + (1 + (... + x)) with `depth` additions, nested through the right operands; x is variable 1.
ExpressionRecord AdditionChain(int32_t depth);

// Writes `record` as expression 0 of a model file in `dir` and loads it; `loaded` receives what
// the load answered and `console` (when given) what it printed.
CExpression LoadExpression(const TempDir& dir, const ExpressionRecord& record, bool& loaded,
                           std::string* console = nullptr);

// Runs `action` and returns what it wrote to standard output.
template <typename Action>
std::string CaptureConsole(Action&& action) {
  ::testing::internal::CaptureStdout();
  action();
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace tickcheck::testing
