#include "check/checker.h"

#include <gtest/gtest.h>

#include "model/expression_builder.h"
#include "support/model_files.h"
#include "support/model_run.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::CaptureConsole;
using testing::ModelRun;

// One process P: l1 -> l2 -> l3 (internal jumps), with `properties`.
ModelSpec Chain(std::vector<PropertySpec> properties, int32_t locations = 3) {
  ModelSpec model;
  ProcessSpec process{.name = "P", .initLocation = 1};
  for (int32_t l = 1; l <= locations; ++l) {
    process.locations.push_back({.name = std::string("l").append(std::to_string(l))});
    if (l > 1)
      process.jumps.push_back({.from = l - 1, .to = l, .syn = 0, .synType = 0});
  }
  model.processes = {process};
  model.properties = std::move(properties);
  return model;
}

AtomSpec InLocation(int32_t location, int32_t negated = 0) {
  return AtomSpec{.negated = negated, .variable = -1, .bound = location};
}

struct Outcome {
  std::string console;
  std::vector<uint8_t> results;
  int64_t count = 0;
};

Outcome Check(const ModelSpec& model, bool noClockIntervals = false, bool timeSuccessors = false) {
  ModelRun run(model,
               {.noClockIntervals = noClockIntervals, .checkTimeSuccessors = timeSuccessors});
  run.Initial();
  std::FILE* info = std::tmpfile();
  run.Search(info);
  std::fclose(info);
  return {run.console, run.checker().PropertyResults(), run.checker().Progress().storedStates};
}

std::string Tail(const std::string& console) {
  return console.substr(console.find("begin checking\n") + 15);
}

TEST(CheckerTest, WithoutPropertiesEveryStateIsExploredAndTheEndIsNormal) {
  const Outcome outcome = Check(Chain({}));
  EXPECT_EQ(Tail(outcome.console), "pastlist:\nDsState Number in pastList:\t3\n");
  EXPECT_EQ(outcome.count, 3);
}

TEST(CheckerTest, AllPropertiesSettledStopAtTheNextNewState) {
  const Outcome early = Check(Chain({{.type = 0, .atoms = {InLocation(1)}}}));
  EXPECT_EQ(Tail(early.console), "DsState Number in pastList:\t1\n");
  EXPECT_EQ(early.results, (std::vector<uint8_t>{1}));
  // With no further state the search ends normally.
  const Outcome alone = Check(Chain({{.type = 0, .atoms = {InLocation(1)}}}, 1));
  EXPECT_EQ(Tail(alone.console), "pastlist:\nDsState Number in pastList:\t1\n");
}

TEST(CheckerTest, VerdictsOfReachabilityAndInvariance) {
  const Outcome outcome = Check(Chain({{.type = 0, .atoms = {InLocation(3)}},
                                       {.type = 0, .atoms = {InLocation(4)}},
                                       {.type = 1, .atoms = {InLocation(2, 1)}},
                                       {.type = 1, .atoms = {InLocation(4, 1)}},
                                       {.type = 2, .atoms = {InLocation(4)}}}));
  EXPECT_EQ(outcome.results, (std::vector<uint8_t>{1, 0, 0, 1, 1}));
  EXPECT_EQ(outcome.count, 3);
}

TEST(CheckerTest, AModelWithoutProcessesEndsNormally) {
  ModelSpec model;
  model.properties = {{.type = 0}, {.type = 1, .atoms = {InLocation(1)}}};
  const Outcome outcome = Check(model);
  EXPECT_EQ(outcome.results, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(Tail(outcome.console), "pastlist:\nDsState Number in pastList:\t1\n");
}

TEST(CheckerTest, ExactStatesAreMoreButTheVerdictsAgree) {
  const ModelSpec fischer = FischerModel(2, 2, 2);
  const Outcome widened = Check(fischer);
  const Outcome exact = Check(fischer, true);
  EXPECT_EQ(widened.results, exact.results);
  EXPECT_LT(widened.count, exact.count);
  EXPECT_EQ(Check(fischer, false, true).results, widened.results);
  // The benchmark's variant with a longer critical section keeps the verdicts of either side of
  // the delay rule and only adds states.
  for (const auto& [set, wait] : {std::pair{2, 2}, std::pair{2, 1}}) {
    const Outcome plain = Check(FischerModel(2, set, wait));
    const Outcome chained = Check(FischerModel(2, set, wait, 3));
    EXPECT_EQ(chained.results, plain.results);
    EXPECT_GT(chained.count, plain.count);
  }
}

// An invariant over an integer variable is tested on each target state; the delay window reads the
// variable's value like a clock's.
TEST(CheckerTest, AnIntegerVariableInAnInvariantIsTestedOnTheState) {
  ModelSpec model =
      Chain({{.type = 0, .atoms = {InLocation(2)}}, {.type = 0, .atoms = {InLocation(3)}}});
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .max = 3}};
  model.expressions = {{0, Comparison(1, ExpType::kLess, 1)}, {1, Expr::Const(1).Compile()}};
  model.constraints = {{0}};
  model.processes[0].locations[2].invariant = 1;
  model.processes[0].jumps[0].assignments = {{1, 1}};
  const Outcome outcome = Check(model);
  EXPECT_EQ(outcome.results, (std::vector<uint8_t>{1, 0}));
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

}  // namespace
}  // namespace tickcheck
