#include "expr/comparison_table.h"

#include <gtest/gtest.h>

#include "expr/evaluation.h"
#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::TempDir;

constexpr int32_t kI = 1;  // integer
constexpr int32_t kX = 2;  // clock
constexpr int32_t kY = 3;  // clock

struct Case {
  const char* name;
  ExpressionRecord record;
  bool fixedBound;
  bool readsClock;
  bool readsClockBesideCompared;
};

// The table answers what the expression itself answers, on states that differ in every variable,
// for ids of the guards and invariants, for ids that no guard uses and for ids outside the table.
TEST(ComparisonTableTest, FactsAgreeWithTheExpressionOnEveryState) {
  const Expr i = Expr::Var(kI);
  const Expr x = Expr::Var(kX);
  const Expr y = Expr::Var(kY);
  const std::vector<Case> cases = {
      {"x < 5", Comparison(kX, ExpType::kLess, 5), true, true, false},
      {"i == 2", Comparison(kI, ExpType::kEqual, 2), true, false, false},
      {"x <= i", Expr::Op(ExpType::kAtMost, x, i).Compile(), false, true, false},
      {"x >= y", Expr::Op(ExpType::kAtLeast, x, y).Compile(), false, true, true},
      {"x > i + 1",
       Expr::Op(ExpType::kGreater, x, Expr::Op(ExpType::kAdd, i, Expr::Const(1))).Compile(), false,
       true, false},
      {"i != 3", Comparison(kI, ExpType::kNotEqual, 3), true, false, false},
      {"x < 2 * 3 + y - y",
       Expr::Op(ExpType::kLess, x,
                Expr::Op(ExpType::kSubtract, Expr::Op(ExpType::kAdd, Expr::Const(6), y), y))
           .Compile(),
       false, true, true},
      {"i + 1 < 3",
       Expr::Op(ExpType::kLess, Expr::Op(ExpType::kAdd, i, Expr::Const(1)), Expr::Const(3))
           .Compile(),
       true, false, false},
      {"the constant 7", Expr::Const(7).Compile(), true, false, false},
      {"y alone", y.Compile(), true, true, true},
  };
  ModelSpec model;
  model.variables = {{.name = "i", .type = 0, .initValue = 0, .min = 0, .max = 9},
                     {.name = "x", .type = 1, .initValue = 0, .max = 9},
                     {.name = "y", .type = 1, .initValue = 0, .max = 9}};
  // Ids 0 .. n - 1 are guards of one jump each, the last one the invariant; id n + 5 has a record
  // that nothing uses.
  const auto n = static_cast<int32_t>(cases.size());
  LocationSpec location{.name = "a", .activeClocks = {{kX, 9, 9}, {kY, 9, 9}}};
  ProcessSpec process{.initLocation = 1};
  for (int32_t id = 0; id < n; ++id) {
    model.expressions.emplace(id, cases[static_cast<size_t>(id)].record);
    model.constraints.push_back({id});
    process.jumps.push_back({.from = 1, .to = 1, .guard = id + 1});
  }
  model.expressions.emplace(n + 5, Comparison(kY, ExpType::kGreater, 1));
  location.invariant = n;
  process.locations = {location};
  model.processes = {process};

  TempDir dir;
  CSystem system;
  const std::optional<Refusal> refusal =
      testing::LoadModelFile(system, testing::WriteModel(dir, model));
  ASSERT_FALSE(refusal) << refusal->line;
  const ComparisonTable table(system);

  std::vector<DsState> states;
  for (const auto& [iv, xv, yv] : {std::tuple{0, 0, 0}, {3, 7, 1}, {9, 2, 8}}) {
    DsState state;
    state.intValues = {iv};
    state.activeClocks = {kX, kY};
    state.clockValues = {xv, yv};
    states.push_back(state);
  }
  for (int32_t id = -1; id <= n + 6; ++id) {
    SCOPED_TRACE("expression " + std::to_string(id));
    const CExpression& expression = system.expressions[id];
    const ComparisonFacts facts = table.Facts(id);
    EXPECT_EQ(facts.variable, expression.LeftVariable());
    EXPECT_EQ(facts.code, expression.RootType());
    const int32_t v = facts.variable;
    EXPECT_EQ(facts.record,
              v >= 1 && v <= 3 ? &system.variables[static_cast<size_t>(v) - 1] : nullptr);
    for (const DsState& state : states)
      EXPECT_EQ(table.Bound(facts, id, state), RightValue(expression, Valuation(system, state)));
    if (id >= 0 && id < n) {
      const Case& c = cases[static_cast<size_t>(id)];
      SCOPED_TRACE(c.name);
      EXPECT_EQ(facts.fixedBound, c.fixedBound);
      EXPECT_EQ(facts.readsClock, c.readsClock);
      EXPECT_EQ(facts.readsClockBesideCompared, c.readsClockBesideCompared);
    }
  }
  EXPECT_EQ(table.Facts(n + 5).code, ExpType::kGreater);
  EXPECT_TRUE(table.Facts(n + 5).readsClock);
}

}  // namespace
}  // namespace tickcheck
