#include "model/expression.h"

#include <gtest/gtest.h>

#include "model/expression_builder.h"
#include "model/expression_table.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::Raw;

class ExpressionTest : public ::testing::Test {
 protected:
  CExpression Loaded(const ExpressionRecord& record, std::string* console = nullptr) {
    return testing::LoadExpression(record, loaded_, console);
  }

  bool loaded_ = false;
};

TEST_F(ExpressionTest, RecordShapesSelectTheirStrategiesAndNameTheComparedVariable) {
  const CExpression comparison = Loaded(Raw(
      1, 3, 0, {{1, 4}}, {{0, 0, ExpType::kLess, 1, 2}, {0, 0, 10, -1, -1}, {5, 0, 10, -1, -1}}));
  ASSERT_TRUE(loaded_);
  EXPECT_STREQ(comparison.StrategyName(), "CVarConstExpression");
  EXPECT_EQ(comparison.LeftVariable(), 4);
  EXPECT_EQ(comparison.RootType(), ExpType::kLess);
  EXPECT_TRUE(comparison.IsBound(1));
  EXPECT_FALSE(comparison.IsBound(2));

  EXPECT_STREQ(Loaded(Expr::Const(7).Compile()).StrategyName(), "CConstExpression");
  EXPECT_STREQ(Loaded(Expr::Var(2).Compile()).StrategyName(), "CVarExpression");
  EXPECT_STREQ(Loaded(Expr::Not(Expr::Var(2)).Compile()).StrategyName(), "CUnaryExpression");
  EXPECT_STREQ(Loaded(Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Var(2)).Compile()).StrategyName(),
               "CBinaryExpression");
  EXPECT_STREQ(
      Loaded(Expr::Op(ExpType::kLess, Expr::Var(2), Expr::Var(1)).Compile()).StrategyName(),
      "CBinaryExpression");
  const Expr sum = Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Const(1));
  EXPECT_STREQ(Loaded(Expr::Op(ExpType::kLess, Expr::Var(2), sum).Compile()).StrategyName(),
               "CTreeExpression");
  const CExpression unloaded;
  EXPECT_STREQ(unloaded.StrategyName(), "CExpression");
  EXPECT_EQ(unloaded.LeftVariable(), 0);
  EXPECT_EQ(unloaded.RootType(), 0);
}

TEST_F(ExpressionTest, MissingKeysLeaveTheEntryUnloaded) {
  ModelSpec model;
  model.expressions[1] = Expr::Const(1).Compile();
  model.totalExpNum = 2;
  ExpressionTable table;
  MessageLog messages;
  table.Load(ProfileIndex::OfBytes("model.txt", ComposeModelFile(model).bytes), 2, messages);
  EXPECT_FALSE(table[0].Loaded());
  EXPECT_TRUE(table[1].Loaded());
  EXPECT_EQ(messages.Text(), "");
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
      {"nested too deeply", testing::AdditionChain(kMaxNestingDepth),
       "the tree is nested too deeply"},
  };
  for (const BadRecord& bad : cases) {
    std::string console;
    const CExpression e = Loaded(bad.record, &console);
    EXPECT_FALSE(loaded_) << bad.name;
    EXPECT_STREQ(e.StrategyName(), "CExpression") << bad.name;
    EXPECT_EQ(e.NodeCount(), 0) << bad.name;
    EXPECT_EQ(console, std::string("ERROR! Expression 0 refused: ") + bad.reason + "\n")
        << bad.name;
  }
  Loaded(testing::AdditionChain(kMaxNestingDepth - 1));
  EXPECT_TRUE(loaded_);
}

}  // namespace
}  // namespace tickcheck
