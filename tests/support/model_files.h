#pragma once
// Model files for tests, always written with the project's model-file writer.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "model/expression.h"
#include "model/expression_table.h"
#include "model/model_writer.h"
#include "model/system.h"

#include "support/temp_dir.h"

namespace tickcheck::testing {

// Writes `model` as `name` inside `dir` and returns its path; a writer error fails the test.
std::string WriteModel(const TempDir& dir, const ModelSpec& model,
                       const std::string& name = "model.txt");

// The example of the file format: a clock x (id 1), an integer n (id 2), one process with
// locations idle and busy and one jump idle -> busy guarded by constraint 2; no properties.
ModelSpec FormatExampleModel();

// One process with clocks x and y: a -> b when y <= `late`, resetting x; b -> c when x == `wait`
// and y == `late` (0 < wait < late). Property 1 (reachability): c, which needs a -> b exactly at
// y == late - wait, a delay at which nothing that the model compares changes: the trace search
// finds it only tick by tick, which with large constants takes long.
ModelSpec LateResetModel(int32_t wait, int32_t late);

// An expression record exactly as given, counts included (they may disagree with the arrays).
ExpressionRecord Raw(int32_t bindings, int32_t nodes, int32_t root, std::vector<ExpBinding> b,
                     std::vector<ExpNode> n);

// 1 + (1 + (... + x)) with `depth` additions, nested through the right operands; x is variable 1.
ExpressionRecord AdditionChain(int32_t depth);

// Makes a model file with `record` as expression 0 and loads it; `loaded` receives whether it
// loaded and `console` (when given) the lines of the load.
CExpression LoadExpression(const ExpressionRecord& record, bool& loaded,
                           std::string* console = nullptr);

// Loads the model file at `path` into `system`, with its properties when `properties` is set;
// answers the loaders' refusal, and leaves the lines of the load in `console` when given.
std::optional<Refusal> LoadModelFile(CSystem& system, const std::string& path,
                                     std::string* console = nullptr, bool properties = false);

// Runs `action` and returns what it wrote to standard output.
template <typename Action>
std::string CaptureConsole(Action&& action) {
  ::testing::internal::CaptureStdout();
  action();
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace tickcheck::testing
