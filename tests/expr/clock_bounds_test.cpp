#include "expr/clock_bounds.h"

#include <gtest/gtest.h>

#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::TempDir;

constexpr int32_t kX = 1;

// Adds `variable OP bound` as a one-comparison constraint and answers its number.
int32_t Constraint(ModelSpec& model, int32_t variable, int32_t relation, int32_t bound) {
  const auto id = static_cast<int32_t>(model.expressions.size());
  model.expressions.emplace(id, Comparison(variable, relation, bound));
  model.constraints.push_back({id});
  return static_cast<int32_t>(model.constraints.size());
}

JumpSpec Jump(int32_t from, int32_t to, int32_t guard, std::vector<AssignmentSpec> updates = {}) {
  return {.from = from, .to = to, .guard = guard, .assignments = std::move(updates)};
}

struct Expected {
  size_t process;
  size_t location;
  LUBound needed;
};

class ClockBoundsTest : public ::testing::Test {
 protected:
  // Loads `model` and its properties and analyses it.
  void Analyse(const ModelSpec& model) {
    const std::string path = testing::WriteModel(dir_, model);
    ASSERT_FALSE(testing::LoadModelFile(system_, path, nullptr, true));
    analysis_ = std::make_unique<ClockBoundAnalysis>(system_);
  }
  void ExpectNeeded(const std::vector<Expected>& table) const {
    for (const Expected& row : table) {
      ASSERT_EQ(analysis_->Needed(row.process, row.location).size(), 1u);
      EXPECT_EQ(analysis_->Needed(row.process, row.location)[0], row.needed)
          << "process " << row.process << " location " << row.location;
    }
  }

  TempDir dir_;
  CSystem system_;
  std::unique_ptr<ClockBoundAnalysis> analysis_;
};

// x is active in l1, l2 and l3 and leaves the state in l4. l1 (x <= 4) -> l2 when x > 2;
// l2 -> l3 when x >= 5; l3 (x < 7) -> l1 resetting x; l2 -> l4; l4 -> l1 when x == 8.
ModelSpec PathModel(std::vector<ActiveClockSpec> l1Bounds) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 9}};
  const int32_t atMostFour = Constraint(model, kX, ExpType::kAtMost, 4);
  const int32_t aboveTwo = Constraint(model, kX, ExpType::kGreater, 2);
  const int32_t atLeastFive = Constraint(model, kX, ExpType::kAtLeast, 5);
  const int32_t belowSeven = Constraint(model, kX, ExpType::kLess, 7);
  const int32_t isEight = Constraint(model, kX, ExpType::kEqual, 8);
  model.expressions.emplace(static_cast<int32_t>(model.expressions.size()),
                            Expr::Const(0).Compile());
  const auto zero = static_cast<int32_t>(model.expressions.size()) - 1;
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "l1", .activeClocks = l1Bounds, .invariant = atMostFour},
                     {.name = "l2", .activeClocks = {{kX, 5, 7}}},
                     {.name = "l3", .activeClocks = {{kX, -1, 7}}, .invariant = belowSeven},
                     {.name = "l4"}},
       .jumps = {Jump(1, 2, aboveTwo), Jump(2, 3, atLeastFive), Jump(3, 1, 0, {{kX, zero}}),
                 Jump(2, 4, 0), Jump(4, 1, isEight)}}};
  return model;
}

TEST_F(ClockBoundsTest, ALocationNeedsWhatPathsMeetBeforeAResetOrTheClockLeaves) {
  Analyse(PathModel({{kX, 5, 7}}));
  ExpectNeeded({{0, 0, {kX, 5, 7}}, {0, 1, {kX, 5, 7}}, {0, 2, {kX, -1, 7}}});
  EXPECT_TRUE(analysis_->Needed(0, 3).empty());
  EXPECT_EQ(analysis_->Shortfalls(), std::vector<std::string>{});
}

TEST_F(ClockBoundsTest, BoundsBelowTheNeedsAreReportedOncePerLocation) {
  Analyse(PathModel({{kX, 2, 4}}));
  EXPECT_EQ(analysis_->Shortfalls(),
            std::vector<std::string>{
                "Warning! process 1 (P) location 1 (l1): clock bounds below the largest constants "
                "compared before a reset: x L=2 needs 5, x U=4 needs 7; verdicts may be wrong"});
}

// Clock x of P is compared by Q's guard and by the properties, whatever P does.
TEST_F(ClockBoundsTest, OtherProcessesAndPropertiesCountWhereverTheClockIsActive) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 30}};
  const int32_t atLeastThree = Constraint(model, kX, ExpType::kAtLeast, 3);
  model.processes = {
      {.name = "P", .initLocation = 1, .locations = {{.name = "p1", .activeClocks = {{kX, 8, 9}}}}},
      {.initLocation = 1,
       .locations = {{.name = "q1"}, {.name = "q2"}},
       .jumps = {Jump(1, 2, atLeastThree)}}};
  auto clockAtom = [](int32_t negated, int32_t fileRelation, int32_t bound) {
    return AtomSpec{.negated = negated, .variable = kX, .bound = bound, .relation = fileRelation};
  };
  // Witnesses of x < 6 and of !(x > 9) compare from above; a counterexample to "always x < 8"
  // from below; a property of Type 2 is never decided.
  model.properties = {{.type = 0, .atoms = {clockAtom(0, 4, 6)}},
                      {.type = 1, .atoms = {clockAtom(0, 4, 8)}},
                      {.type = 0, .atoms = {clockAtom(1, 2, 9)}},
                      {.type = 2, .atoms = {clockAtom(0, 1, 20)}}};
  Analyse(model);
  ExpectNeeded({{0, 0, {kX, 8, 9}}});
  EXPECT_EQ(analysis_->Shortfalls(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tickcheck
