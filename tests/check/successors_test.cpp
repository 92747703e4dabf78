#include "check/successors.h"

#include <gtest/gtest.h>

#include "model/expression_builder.h"
#include "support/model_run.h"

namespace tickcheck {
namespace {

using testing::ModelRun;

// A successor generator with the parts that a search gives it.
struct Generation {
  explicit Generation(ModelRun& run)
      : limits(run.system, run.messages()),
        intervals(run.system, limits),
        tests(run.system, run.messages()),
        waiting(run.system),
        values(run.system, run.messages()),
        errors(run.system, values, run.messages()),
        generator(tests, intervals, run.composition(), waiting, values, errors, budget) {}

  ClockLimits limits;
  ClockIntervals intervals;
  ConstraintTests tests;
  WaitingLists waiting;
  ValueRanges values;
  RunTimeErrors errors;
  SearchBudget budget{SearchLimits{}};
  SuccessorGenerator generator;
};

// A window of two billion delays: the invariant that fails is passed over to where it can hold,
// or given up when it never can, instead of being tested delay by delay.
class LongWindowTest : public ::testing::Test {
 protected:
  // Clock x (Max 2^31 - 1) at `x` in location a; the jump a -> b; b's invariant is constraint 1,
  // made of expression `invariant` (1: x >= 1000000000, 2: x <= 5, 3: no record).
  std::optional<int32_t> Fire(int32_t invariant, int32_t x, DsState& target) {
    ModelSpec model;
    model.variables = {{.name = "x", .type = 1, .initValue = 0, .max = 2147483647}};
    model.expressions = {{0, Expr::Const(0).Compile()},
                         {1, Comparison(1, ExpType::kAtLeast, 1000000000)},
                         {2, Comparison(1, ExpType::kAtMost, 5)}};
    model.totalExpNum = 4;
    model.constraints = {{invariant}};
    model.processes = {{.initLocation = 1,
                        .locations = {{.name = "a", .activeClocks = {{1, -1, 5}}},
                                      {.name = "b", .activeClocks = {{1, -1, 5}}, .invariant = 1}},
                        .jumps = {{.from = 1, .to = 2, .syn = 0, .synType = 0}}}};
    // One decision-diagram manager lives at a time: the previous run goes first.
    generation_.reset();
    run_ = std::make_unique<ModelRun>(model);
    DsState source = run_->Initial();
    source.clockValues[0] = x;
    generation_ = std::make_unique<Generation>(*run_);
    run_->composition().composeLocation(std::vector<int32_t>{1});
    const CComposedTransition transition = *run_->composition().Transitions(0).begin();
    run_->messages().Clear();
    std::vector<int32_t> fixed;
    const std::optional<int32_t> count =
        generation_->generator.FireTransition(source, transition, 0, 2000000000, target, fixed);
    console_ = run_->messages().Text();
    return count;
  }

  std::unique_ptr<ModelRun> run_;
  std::unique_ptr<Generation> generation_;
  std::string console_;
};

TEST_F(LongWindowTest, InvariantsArePassedOverOrGivenUp) {
  DsState target;
  // A lower bound is reached at its delay.
  EXPECT_TRUE(Fire(1, 7, target));
  EXPECT_EQ(target.clockValues, (std::vector<int32_t>{1000000000}));
  // An upper bound that fails never holds later.
  EXPECT_EQ(Fire(2, 10, target), std::nullopt);
  EXPECT_EQ(Fire(2, 3, target), 3);  // x = 3, 4 and 5 are admitted
  // An invariant without a relation is reported once.
  EXPECT_EQ(Fire(3, 0, target), std::nullopt);
  EXPECT_EQ(console_, "Error type in satisfy\n");
}

}  // namespace
}  // namespace tickcheck
