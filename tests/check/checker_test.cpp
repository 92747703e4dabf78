#include "check/checker.h"

#include <gtest/gtest.h>

#include "model/expression_builder.h"
#include "support/model_run.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::ModelRun;

struct Outcome {
  std::vector<uint8_t> results;
  int64_t count = 0;
};

// The verdicts and the stored states of a search of `model`.
Outcome Check(const ModelSpec& model, bool noClockIntervals = false) {
  ModelRun run(model, {.noClockIntervals = noClockIntervals});
  run.Initial();
  std::FILE* info = std::tmpfile();
  run.Search(info);
  std::fclose(info);
  return {run.checker().PropertyResults(), run.checker().Progress().storedStates};
}

// The benchmark's variant of Fischer's protocol with a longer critical section keeps the
// verdicts of either side of the delay rule and only adds states.
TEST(CheckerTest, FischersVariantWithALongerCriticalSectionKeepsTheVerdicts) {
  for (const auto& [set, wait] : {std::pair{2, 2}, std::pair{2, 1}}) {
    const Outcome plain = Check(FischerModel(2, set, wait));
    const Outcome chained = Check(FischerModel(2, set, wait, 3));
    EXPECT_EQ(chained.results, plain.results);
    EXPECT_GT(chained.count, plain.count);
  }
}

// A self-loop resets x and lets y run on, so y = 0, 1, ... 21 are stored; from y = 1 the interval
// of location a (L = 0, U = 20) would hold all the later ones, and y = 19 would never be tested.
// An interval stops where a property on the clock changes its answer, which gives the verdicts
// that storing value by value gives.
TEST(CheckerTest, AClockIntervalStopsWhereAPropertyOnTheClockChangesItsAnswer) {
  const auto yIs = [](int32_t relation, int32_t bound) {
    return PropertySpec{
        .type = 0, .atoms = {{.negated = 0, .variable = 2, .bound = bound, .relation = relation}}};
  };
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 21},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 21}};
  model.expressions = {{0, Expr::Const(0).Compile()}, {1, Comparison(1, ExpType::kAtLeast, 0)}};
  model.constraints = {{1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{1, 0, 21}, {2, 0, 20}}}},
       .jumps = {{.from = 1, .to = 1, .guard = 1, .syn = 0, .assignments = {{1, 0}}}}}};
  model.properties = {yIs(1, 19), yIs(3, 21), yIs(4, 0), yIs(2, 21), yIs(1, 7)};
  const Outcome byInterval = Check(model);
  EXPECT_EQ(byInterval.results, (std::vector<uint8_t>{1, 1, 0, 0, 1}));
  EXPECT_EQ(Check(model, true).results, byInterval.results);
  EXPECT_LT(byInterval.count, Check(model, true).count);
}

// The same run with a property that reads both clocks: the state x = 0, y = 19 that satisfies it is
// made only by the reset at y = 19, inside the interval that y = 1 would otherwise cover, and no
// delay of a stored state reaches it. The interval stops where a comparison that the expression
// meets changes its answer, whether the search or the interval evaluated the expression.
TEST(CheckerTest, AClockIntervalStopsWhereAPropertyExpressionChangesItsAnswer) {
  const Expr both = Expr::Op(ExpType::kAnd, Expr::Op(ExpType::kEqual, Expr::Var(1), Expr::Const(0)),
                             Expr::Op(ExpType::kEqual, Expr::Var(2), Expr::Const(19)));
  ModelSpec model;
  model.format = 2;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 21},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 21}};
  model.expressions = {{0, Expr::Const(0).Compile()},
                       {1, Comparison(1, ExpType::kAtLeast, 0)},
                       {2, both.Compile()},
                       {3, Expr::Not(both).Compile()}};
  model.constraints = {{1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{1, 0, 21}, {2, 0, 20}}}},
       .jumps = {{.from = 1, .to = 1, .guard = 1, .syn = 0, .assignments = {{1, 0}}}}}};
  model.properties = {{.type = 0, .expression = 2}, {.type = 1, .expression = 3}};
  EXPECT_EQ(Check(model).results, (std::vector<uint8_t>{1, 0}));
}

}  // namespace
}  // namespace tickcheck
