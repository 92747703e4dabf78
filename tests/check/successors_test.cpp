#include "check/successors.h"

#include <gtest/gtest.h>

#include "check/delay.h"
#include "model/expression_builder.h"
#include "support/model_run.h"

namespace tickcheck {
namespace {

using testing::ModelRun;

// Clocks x (variable 1, Max 7) and y (variable 2, Max 3); expressions: 0 the constant 0, 1 x >= 3,
// 2 x <= 1, 3 x < 5, 4 the constant 5. Constraints: 1 {x >= 3}, 2 {x <= 1}, 3 {x < 5}.
ModelSpec ClockModel(std::vector<LocationSpec> locations, std::vector<JumpSpec> jumps) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .max = 7},
                     {.name = "y", .type = 1, .initValue = 0, .max = 3}};
  model.expressions = {{0, Expr::Const(0).Compile()},
                       {1, Comparison(1, ExpType::kAtLeast, 3)},
                       {2, Comparison(1, ExpType::kAtMost, 1)},
                       {3, Comparison(1, ExpType::kLess, 5)},
                       {4, Expr::Const(5).Compile()}};
  model.constraints = {{1}, {2}, {3}};
  model.processes = {
      {.initLocation = 1, .locations = std::move(locations), .jumps = std::move(jumps)}};
  return model;
}

JumpSpec Internal(int32_t from, int32_t to, std::optional<int32_t> guard = {},
                  std::vector<AssignmentSpec> assignments = {}, int32_t urgent = 0) {
  return JumpSpec{.from = from,
                  .to = to,
                  .guard = guard,
                  .urgent = urgent,
                  .syn = 0,
                  .synType = 0,
                  .broadcast = 0,
                  .assignments = std::move(assignments)};
}

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

class SuccessorsTest : public ::testing::Test {
 protected:
  void Start(const ModelSpec& model) {
    // One decision-diagram manager lives at a time: the previous run goes first.
    generation_.reset();
    run_.reset();
    run_ = std::make_unique<ModelRun>(model);
    initial_ = run_->Initial();
    generation_ = std::make_unique<Generation>(*run_);
  }
  // The initial state with clock x at `x`.
  DsState WithX(int32_t x) const {
    DsState state = initial_;
    state.clockValues[0] = x;
    return state;
  }
  // Generates the successors of the batch of states with x at `values` (batch positions 0, 1, ...).
  void Generate(const std::vector<int32_t>& values, const std::vector<int32_t>& frozen = {}) {
    std::vector<DsState> states;
    std::vector<int32_t> positions;
    for (int32_t x : values) {
      positions.push_back(static_cast<int32_t>(states.size()));
      states.push_back(WithX(x));
    }
    run_->messages().Clear();
    generation_->generator.GenerateSuccessors(states, positions, frozen);
    console_ = run_->messages().Text();
  }
  // The waiting entries of the composed location where process 1 is in `location`.
  std::vector<WaitingDsState> Waiting(int32_t location) {
    std::vector<WaitingDsState> entries;
    WaitingLists& lists = generation_->waiting;
    const int32_t index = location - 1;
    while (!lists.Empty(index)) {
      lists.Front(index, entries.emplace_back());
      lists.PopFront(index);
    }
    return entries;
  }

  std::unique_ptr<ModelRun> run_;
  DsState initial_;
  std::unique_ptr<Generation> generation_;
  std::string console_;
};

struct Firing {
  const char* name;
  std::vector<LocationSpec> locations;
  JumpSpec jump;
  std::vector<int32_t> batch;  // x of the states generated from, in batch order
  std::optional<std::pair<int32_t, int32_t>> entry;  // delay count and x of the one entry in b
};

TEST_F(SuccessorsTest, EachJumpGivesOneEntryCountingTheFiringsItStandsFor) {
  const std::vector<LocationSpec> open = {{.name = "a", .activeClocks = {{1, -1, 5}}},
                                          {.name = "b", .activeClocks = {{1, -1, 5}}}};
  const std::vector<Firing> cases = {
      // An urgent transition fires once, from the first state, with count one.
      {"urgent", open, Internal(1, 2, {}, {{1, 0}}, 1), {0, 1, 2}, {{1, 0}}},
      {"without resets", open, Internal(1, 2), {0}, {{1, 0}}},
      // The invariant x < 5 bounds the window at x = 2 to delays 0 .. 2; fired at once and reset,
      // the entry stands for the three firings.
      {"reset in a bounded window",
       {{.name = "a", .activeClocks = {{1, -1, 5}}, .invariant = 3}, open[1]},
       Internal(1, 2, {}, {{1, 0}}),
       {2},
       {{3, 0}}},
      {"target invariant never holds",
       {{.name = "a", .activeClocks = {{1, 3, 5}}},
        {.name = "b", .activeClocks = {{1, -1, 1}}, .invariant = 2}},
       Internal(1, 2, 1),
       {0, 1},
       std::nullopt},
  };
  for (const Firing& row : cases) {
    Start(ClockModel(row.locations, {row.jump}));
    Generate(row.batch);
    const std::vector<WaitingDsState> entries = Waiting(2);
    ASSERT_EQ(entries.size(), row.entry ? 1u : 0u) << row.name;
    if (!row.entry)
      continue;
    EXPECT_EQ(entries[0].delayCount, row.entry->first) << row.name;
    EXPECT_EQ(entries[0].state.clockValues[0], row.entry->second) << row.name;
    if (row.jump.urgent == 1) {
      EXPECT_EQ(entries[0].frozenClocks, (std::vector<int32_t>{1})) << row.name;
    }
  }
}

TEST_F(SuccessorsTest, NewlyActiveClocksStartAtZeroKeptClocksKeepTheirDelayedValue) {
  Start(ClockModel({{.name = "a", .activeClocks = {{1, 3, 5}}},
                    {.name = "b", .activeClocks = {{1, 3, 5}, {2, -1, 2}}},
                    {.name = "c"}},
                   {Internal(1, 2, 1), Internal(1, 3, {}, {{2, 4}})}));
  Generate({2});
  const std::vector<WaitingDsState> entries = Waiting(2);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].state.activeClocks, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(entries[0].state.clockValues, (std::vector<int32_t>{3, 0}));
  // An update of a clock the target does not carry changes nothing.
  const std::vector<WaitingDsState> third = Waiting(3);
  ASSERT_EQ(third.size(), 1u);
  EXPECT_TRUE(third[0].state.activeClocks.empty());
}

TEST_F(SuccessorsTest, MaxDelayCountsTheStatesTheInvariantsAdmit) {
  Start(
      ClockModel({{.name = "a", .activeClocks = {{1, -1, 4}}, .invariant = 3}, {.name = "b"}}, {}));
  EXPECT_EQ(MaxDelay(generation_->tests, WithX(2)), 3);
  const std::vector<DsState> delays = InvariantDelays(generation_->tests, WithX(2));
  ASSERT_EQ(delays.size(), 3u);
  EXPECT_EQ(delays[2].clockValues, (std::vector<int32_t>{4}));
  Start(ClockModel({{.name = "a", .activeClocks = {{1, -1, 4}}}}, {}));
  EXPECT_EQ(MaxDelay(generation_->tests, WithX(2)), 1);
}

// A window of two billion delays: the invariant that fails is passed over to where it can hold,
// or given up when it never can, instead of being tested delay by delay.
class LongWindowTest : public SuccessorsTest {
 protected:
  // Clock x (Max 2^31 - 1) at `x` in location a; the jump a -> b; b's invariant is constraint 1,
  // made of expression `invariant` (5: x >= 1000000000, 6: x <= 5, 7: no record).
  std::optional<int32_t> Fire(int32_t invariant, int32_t x, DsState& target) {
    ModelSpec model = ClockModel({{.name = "a", .activeClocks = {{1, -1, 5}}},
                                  {.name = "b", .activeClocks = {{1, -1, 5}}, .invariant = 1}},
                                 {Internal(1, 2)});
    model.variables[0].max = 2147483647;
    model.expressions[5] = Comparison(1, ExpType::kAtLeast, 1000000000);
    model.expressions[6] = Comparison(1, ExpType::kAtMost, 5);
    model.totalExpNum = 8;
    model.constraints = {{invariant}};
    Start(model);
    run_->composition().composeLocation(std::vector<int32_t>{1});
    const CComposedTransition transition = *run_->composition().Transitions(0).begin();
    std::optional<int32_t> count;
    run_->messages().Clear();
    std::vector<int32_t> fixed;
    count =
        generation_->generator.FireTransition(WithX(x), transition, 0, 2000000000, target, fixed);
    console_ = run_->messages().Text();
    return count;
  }
};

TEST_F(LongWindowTest, InvariantsArePassedOverOrGivenUp) {
  DsState target;
  // A lower bound is reached at its delay.
  EXPECT_TRUE(Fire(5, 7, target));
  EXPECT_EQ(target.clockValues, (std::vector<int32_t>{1000000000}));
  // An upper bound that fails never holds later.
  EXPECT_EQ(Fire(6, 10, target), std::nullopt);
  EXPECT_EQ(Fire(6, 3, target), 3);  // x = 3, 4 and 5 are admitted
  // An invariant without a relation is reported once.
  EXPECT_EQ(Fire(7, 0, target), std::nullopt);
  EXPECT_EQ(console_, "Error type in satisfy\n");
}

}  // namespace
}  // namespace tickcheck
