#include "support/model_files.h"

#include <gtest/gtest.h>

#include "model/expression_builder.h"

namespace tickcheck::testing {

std::string WriteModel(const TempDir& dir, const ModelSpec& model, const std::string& name) {
  const std::string path = dir.File(name);
  const std::string error = WriteModelFile(model, path);
  EXPECT_EQ(error, "") << "the model-file writer failed";
  return path;
}

ExpressionRecord Raw(int32_t bindings, int32_t nodes, int32_t root, std::vector<ExpBinding> b,
                     std::vector<ExpNode> n) {
  return ExpressionRecord{bindings, nodes, root, std::move(b), std::move(n)};
}

ExpressionRecord AdditionChain(int32_t depth) {
  ExpressionRecord record;
  for (int32_t k = 0; k < depth; ++k) {
    record.nodes.push_back({0, 0, ExpType::kAdd, 2 * k + 1, 2 * k + 2});
    record.nodes.push_back({1, 0, ExpType::kLeaf, -1, -1});
  }
  record.nodes.push_back({0, 1, ExpType::kLeaf, -1, -1});
  record.bindings = {{2 * depth, 1}};
  record.bindingCount = 1;
  record.nodeCount = static_cast<int32_t>(record.nodes.size());
  return record;
}

CExpression LoadExpression(const ExpressionRecord& record, bool& loaded, std::string* console) {
  ModelSpec model;
  model.expressions[0] = record;
  const ModelFileText file = ComposeModelFile(model);
  EXPECT_EQ(file.failure, "");
  ExpressionTable table;
  MessageLog messages;
  table.Load(ProfileIndex::OfBytes("model.txt", file.bytes), 1, messages);
  loaded = table[0].Loaded();
  if (console != nullptr)
    *console = messages.Text();
  return table[0];
}

std::optional<Refusal> LoadModelFile(CSystem& system, const std::string& path, std::string* console,
                                     bool properties) {
  const ProfileIndex file(path);
  MessageLog messages;
  std::optional<Refusal> refusal = system.Load(file, messages);
  if (!refusal && properties)
    refusal = system.LoadProperties(file, messages);
  if (console != nullptr)
    *console = messages.Text();
  return refusal;
}

ModelSpec FormatExampleModel() {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 10},
                     {.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 3}};
  ProcessSpec process;
  process.name = "P";
  process.initLocation = 1;
  process.locations = {{.name = "idle", .activeClocks = {{1, 0, 5}}, .invariant = 1},
                       {.name = "busy", .invariant = 0}};
  process.jumps = {{.from = 1,
                    .to = 2,
                    .guard = 2,
                    .urgent = 0,
                    .syn = 0,
                    .synType = 0,
                    .broadcast = 0,
                    .assignments = {{1, 0}, {2, 1}}}};
  model.processes = {process};
  model.constraints = {{2}, {3}};
  model.expressions = {{0, Expr::Const(0).Compile()},
                       {1, Expr::Op(ExpType::kAdd, Expr::Var(2), Expr::Const(1)).Compile()},
                       {2, Comparison(1, ExpType::kAtMost, 5)},
                       {3, Comparison(1, ExpType::kAtLeast, 2)}};
  return model;
}

ModelSpec LateResetModel(int32_t wait, int32_t late) {
  enum : int32_t { kX = 1, kY = 2 };
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = wait + 1},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = late + 1}};
  model.expressions = {{0, Expr::Const(0).Compile()},
                       {1, Comparison(kY, ExpType::kAtMost, late)},
                       {2, Comparison(kX, ExpType::kEqual, wait)},
                       {3, Comparison(kY, ExpType::kEqual, late)}};
  model.constraints = {{1}, {2, 3}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{kY, late, late}}},
                     {.name = "b", .activeClocks = {{kX, wait, wait}, {kY, late, late}}},
                     {.name = "c"}},
       .jumps = {{.from = 1, .to = 2, .guard = 1, .assignments = {{kX, 0}}},
                 {.from = 2, .to = 3, .guard = 2}}}};
  model.properties = {{.type = 0, .atoms = {{.negated = 0, .variable = -1, .bound = 3}}}};
  return model;
}

}  // namespace tickcheck::testing
