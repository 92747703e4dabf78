#include "expr/expression.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>

#include "model/expression_builder.h"
#include "statespace/ds_state.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::CaptureConsole;
using testing::TempDir;

std::map<int32_t, int32_t> g_values;
int g_lookups = 0;

int32_t TestLookup(const DsState*, int32_t variable) {
  ++g_lookups;
  return g_values[variable];
}

ExpressionRecord Raw(int32_t bindings, int32_t nodes, int32_t root, std::vector<ExpBinding> b,
                     std::vector<ExpNode> n) {
  return ExpressionRecord{bindings, nodes, root, std::move(b), std::move(n)};
}

class ExpressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_values.clear();
    g_lookups = 0;
    SetValueLookup(&TestLookup);
    SetEvaluationState(&state_);
  }
  void TearDown() override {
    SetEvaluationState(nullptr);
    SetValueLookup(nullptr);
  }

  // Writes `record` as expression 0 of a model file and loads it; `console` receives the output.
  CExpression Loaded(const ExpressionRecord& record, std::string* console = nullptr) {
    ModelSpec model;
    model.expressions[0] = record;
    const std::string path = testing::WriteModel(dir_, model);
    CExpression expression;
    const std::string output = CaptureConsole([&] { loaded_ = expression.Load(path, 0); });
    if (console != nullptr)
      *console = output;
    return expression;
  }

  TempDir dir_;
  DsState state_;
  bool loaded_ = false;
};

// The record B=1, N=3, root 0, binding (1, 4): variable 4 < 5.
ExpressionRecord VariableLessThanFive(int32_t boundNode) {
  return Raw(1, 3, 0, {{boundNode, 4}},
             {{0, 0, ExpType::kLess, 1, 2}, {0, 0, 10, -1, -1}, {5, 0, 10, -1, -1}});
}

TEST_F(ExpressionTest, VariableOpConstantIsAnsweredWithoutLookups) {
  CExpression e = Loaded(VariableLessThanFive(1));
  ASSERT_TRUE(loaded_);
  EXPECT_STREQ(e.StrategyName(), "CVarConstExpression");
  EXPECT_EQ(e.LeftVariable(), 4);
  EXPECT_EQ(e.RootType(), ExpType::kLess);
  EXPECT_EQ(e.RightValue(), 5);
  EXPECT_EQ(g_lookups, 0);
  g_values[4] = 3;
  e.Evaluate();
  EXPECT_EQ(e.Compute(), 1);
  g_values[4] = 5;
  EXPECT_EQ(e.Evaluate(), 0);
}

TEST_F(ExpressionTest, AVariableOnTheRightIsRefreshedBeforeItIsRead) {
  CExpression e = Loaded(VariableLessThanFive(2));
  EXPECT_STREQ(e.StrategyName(), "CBinaryExpression");
  g_values[4] = 42;
  EXPECT_EQ(e.RightValue(), 42);
  EXPECT_EQ(g_lookups, 1);
}

TEST_F(ExpressionTest, WithoutAnEvaluationStateNodeValuesStayAsRead) {
  CExpression e = Loaded(VariableLessThanFive(2));
  SetEvaluationState(nullptr);
  EXPECT_EQ(e.RightValue(), 5);
  EXPECT_EQ(g_lookups, 0);
}

TEST_F(ExpressionTest, RecordShapesSelectTheirStrategies) {
  EXPECT_STREQ(Loaded(Expr::Const(7).Compile()).StrategyName(), "CConstExpression");
  EXPECT_STREQ(Loaded(Expr::Var(2).Compile()).StrategyName(), "CVarExpression");
  EXPECT_STREQ(Loaded(Expr::Not(Expr::Var(2)).Compile()).StrategyName(), "CUnaryExpression");
  EXPECT_STREQ(Loaded(Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Var(2)).Compile()).StrategyName(),
               "CBinaryExpression");
  const Expr sum = Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Const(1));
  EXPECT_STREQ(Loaded(Expr::Op(ExpType::kLess, Expr::Var(2), sum).Compile()).StrategyName(),
               "CTreeExpression");
  CExpression unloaded;
  EXPECT_STREQ(unloaded.StrategyName(), "CExpression");
}

TEST_F(ExpressionTest, AVariableFreeThreeNodeRecordAnswersNodeZero) {
  // Without bindings only node 0's value counts, not the value of its tree.
  CExpression e = Loaded(
      Raw(0, 3, 0, {}, {{9, 0, ExpType::kAdd, 1, 2}, {1, 0, 10, -1, -1}, {2, 0, 10, -1, -1}}));
  EXPECT_STREQ(e.StrategyName(), "CConstExpression");
  EXPECT_EQ(e.Evaluate(), 9);
}

TEST_F(ExpressionTest, TwoNodeRecordsNegateOrInvertTheirRoot) {
  EXPECT_EQ(
      Loaded(Raw(1, 2, 0, {{1, 1}}, {{0, 0, ExpType::kNot, 1, -1}, {0, 0, 10, -1, -1}})).Compute(),
      1);
  EXPECT_EQ(Loaded(Raw(1, 2, 0, {{1, 1}}, {{7, 0, ExpType::kSubtract, 1, -1}, {0, 0, 10, -1, -1}}))
                .Compute(),
            -7);
  g_values[3] = 4;
  EXPECT_EQ(Loaded(Expr::Not(Expr::Var(3)).Compile()).Evaluate(), 0);
  EXPECT_EQ(Loaded(Expr::Negate(Expr::Var(3)).Compile()).Evaluate(), -4);
}

TEST_F(ExpressionTest, TreesEvaluateOperatorsConditionalsAndLogic) {
  const Expr x = Expr::Var(1);
  const Expr y = Expr::Var(2);
  CExpression conditional =
      Loaded(Expr::Cond(x, y, Expr::Op(ExpType::kAdd, y, Expr::Const(10))).Compile());
  g_values = {{1, 1}, {2, 5}};
  EXPECT_EQ(conditional.Evaluate(), 5);
  g_values = {{1, 0}, {2, 5}};
  EXPECT_EQ(conditional.Evaluate(), 15);

  CExpression conjunction =
      Loaded(Expr::Op(ExpType::kAnd, Expr::Op(ExpType::kAdd, x, y), y).Compile());
  g_values = {{1, 3}, {2, -3}};
  EXPECT_EQ(conjunction.Evaluate(), 0);
  g_values = {{1, 3}, {2, 9}};
  EXPECT_EQ(conjunction.Evaluate(), 1);
  CExpression disjunction =
      Loaded(Expr::Op(ExpType::kOr, Expr::Op(ExpType::kAdd, x, y), y).Compile());
  g_values = {{1, 5}, {2, 0}};
  EXPECT_EQ(disjunction.Evaluate(), 1);

  CExpression notInside = Loaded(Expr::Op(ExpType::kAnd, Expr::Not(x), y).Compile());
  g_values = {{1, 0}, {2, 2}};
  EXPECT_EQ(notInside.Evaluate(), 1);
}

TEST_F(ExpressionTest, ArithmeticIsTruncatingWrappingAndDefinedForZeroDivisors) {
  auto eval = [this](int32_t type, int32_t left, int32_t right) {
    g_values = {{1, left}, {2, right}};
    return Loaded(Expr::Op(type, Expr::Var(1), Expr::Var(2)).Compile()).Evaluate();
  };
  EXPECT_EQ(eval(ExpType::kDivide, -7, 2), -3);
  EXPECT_EQ(eval(ExpType::kRemainder, -7, 2), -1);
  EXPECT_EQ(eval(ExpType::kDivide, 7, 0), 0);
  EXPECT_EQ(eval(ExpType::kRemainder, 7, 0), 0);
  EXPECT_EQ(eval(ExpType::kDivide, INT_MIN, -1), INT_MIN);
  EXPECT_EQ(eval(ExpType::kRemainder, INT_MIN, -1), 0);
  EXPECT_EQ(eval(ExpType::kAdd, INT_MAX, 1), INT_MIN);
  EXPECT_EQ(eval(ExpType::kMultiply, INT_MIN, -1), INT_MIN);
  EXPECT_EQ(eval(ExpType::kSubtract, INT_MIN, 1), INT_MAX);
}

TEST_F(ExpressionTest, TypeThirtyThreeInsideATreeIsALeaf) {
  CExpression e = Loaded(Raw(1, 4, 0, {{1, 1}},
                             {{0, 0, ExpType::kAdd, 1, 2},
                              {0, 0, 10, -1, -1},
                              {6, 0, ExpType::kNot, 3, -1},
                              {0, 0, 10, -1, -1}}));
  g_values = {{1, 1}};
  EXPECT_EQ(e.Evaluate(), 7);
}

// 1 + (1 + (... + x)) with `depth` additions, nested through the right operands.
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

// if x == 0 then 0 else if x == 1 then 1 else ... else -1, nested through the else branches.
ExpressionRecord ConditionalChain(int32_t length) {
  ExpressionRecord record;
  for (int32_t k = 0; k < length; ++k) {
    const int32_t base = static_cast<int32_t>(record.nodes.size());
    record.nodes.push_back({0, 0, ExpType::kConditional, base + 1, base + 4});
    record.nodes.push_back({0, 0, ExpType::kEqual, base + 2, base + 3});
    record.nodes.push_back({0, 1, ExpType::kLeaf, -1, -1});
    record.bindings.push_back({base + 2, 1});
    record.nodes.push_back({k, 0, ExpType::kLeaf, -1, -1});
    record.nodes.push_back({0, 0, ExpType::kLeaf, base + 5, base + 6});
    record.nodes.push_back({k, 0, ExpType::kLeaf, -1, -1});
  }
  record.nodes.push_back({-1, 0, ExpType::kLeaf, -1, -1});
  record.bindingCount = static_cast<int32_t>(record.bindings.size());
  record.nodeCount = static_cast<int32_t>(record.nodes.size());
  return record;
}

TEST_F(ExpressionTest, NestingUpToTheLimitEvaluatesDeeperIsRefused) {
  CExpression deepest = Loaded(AdditionChain(9999));
  ASSERT_TRUE(loaded_);
  g_values = {{1, 1}};
  EXPECT_EQ(deepest.Evaluate(), 10000);
  std::string console;
  Loaded(AdditionChain(10000), &console);
  EXPECT_FALSE(loaded_);
  EXPECT_EQ(console, "ERROR! Expression 0 refused: the tree is nested too deeply\n");
}

TEST_F(ExpressionTest, LongConditionalChainsUseNoStack) {
  CExpression e = Loaded(ConditionalChain(30000));
  ASSERT_TRUE(loaded_);
  g_values = {{1, 29998}};
  EXPECT_EQ(e.Evaluate(), 29998);
  g_values = {{1, 30000}};
  EXPECT_EQ(e.Evaluate(), -1);
}

TEST_F(ExpressionTest, UnloadedEntriesComputeWithAMessage) {
  CExpression e;
  EXPECT_EQ(CaptureConsole([&] { EXPECT_EQ(e.Compute(), 0); }), "Exp Compute\n");
  EXPECT_EQ(e.RightValue(), 0);
  EXPECT_EQ(e.LeftVariable(), 0);
  EXPECT_EQ(e.RootType(), 0);
}

TEST_F(ExpressionTest, MissingKeysAndFilesLeaveTheEntryUnloaded) {
  ModelSpec model;
  model.expressions[1] = Expr::Const(1).Compile();
  const std::string path = testing::WriteModel(dir_, model);
  CExpression e;
  EXPECT_FALSE(e.Load(path, 0));
  EXPECT_FALSE(e.Loaded());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(e.Load(dir_.File("missing.txt"), 0));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "\x45\x78\x70\xB6\xC1\x49\x4E\x49\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\x2E"
            "\x2E\x2E\n");
}

struct BadRecord {
  const char* name;
  ExpressionRecord record;
  const char* reason;
};

TEST_F(ExpressionTest, MalformedRecordsAreRefusedWithOneLineAndStayUnloaded) {
  const ExpNode leaf{0, 0, 10, -1, -1};
  const std::vector<BadRecord> cases = {
      {"negative count", Raw(-1, 1, 0, {}, {leaf}), "negative binding or node count"},
      {"bindings without nodes", Raw(1, 0, 0, {{0, 1}}, {}), "bindings without nodes"},
      {"count beyond the file", Raw(0, 100000, 0, {}, {leaf}),
       "the record is cut short by the end of the file"},
      {"root outside", Raw(1, 1, 3, {{0, 1}}, {leaf}), "the root lies outside the node array"},
      {"binding outside", Raw(1, 1, 0, {{5, 1}}, {leaf}), "a binding names a missing node"},
      {"child outside", Raw(1, 3, 0, {{1, 1}}, {{0, 0, 2, 1, 7}, leaf, leaf}),
       "a child index lies outside the node array"},
      {"cycle", Raw(1, 4, 0, {{1, 1}}, {{0, 0, 43, 1, 2}, leaf, {0, 0, 43, 3, 0}, leaf}),
       "the child links do not form a tree"},
      {"shared node", Raw(1, 4, 0, {{1, 1}}, {{0, 0, 43, 1, 2}, leaf, {0, 0, 43, 1, 3}, leaf}),
       "the child links do not form a tree"},
      {"missing operand", Raw(1, 4, 0, {{1, 1}}, {{0, 0, 43, 1, 2}, leaf, {0, 0, 42, 3, -1}, leaf}),
       "an operator lacks an operand"},
      {"three-node operand", Raw(1, 3, 0, {{1, 1}}, {{0, 0, 2, 1, -1}, leaf, leaf}),
       "the operator lacks an operand"},
  };
  for (const BadRecord& bad : cases) {
    std::string console;
    CExpression e = Loaded(bad.record, &console);
    EXPECT_FALSE(loaded_) << bad.name;
    EXPECT_STREQ(e.StrategyName(), "CExpression") << bad.name;
    EXPECT_EQ(e.NodeCount(), 0) << bad.name;
    EXPECT_EQ(console, std::string("ERROR! Expression 0 refused: ") + bad.reason + "\n")
        << bad.name;
  }
}

TEST_F(ExpressionTest, TruncatedRecordsAreRefused) {
  ModelSpec model;
  model.expressions[0] = VariableLessThanFive(1);
  const std::string path = testing::WriteModel(dir_, model);
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 10);
  CExpression e;
  const std::string console = CaptureConsole([&] { EXPECT_FALSE(e.Load(path, 0)); });
  EXPECT_EQ(console,
            "ERROR! Expression 0 refused: the record is cut short by the end of the file\n");
}

}  // namespace
}  // namespace tickcheck
