#include "expr/evaluation.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::Raw;
using Values = std::map<int32_t, int32_t>;

// Expressions evaluated against a model of four integer variables 1 to 4.
class EvaluationTest : public ::testing::Test {
 protected:
  EvaluationTest() {
    for (int32_t v = 0; v < 4; ++v) {
      CVariable variable;
      variable.Type = VarType::kInteger;
      variable.intValueIndex = v;
      model_.variables.push_back(variable);
    }
  }
  CExpression Loaded(const ExpressionRecord& record) {
    bool loaded = false;
    CExpression expression = testing::LoadExpression(record, loaded);
    EXPECT_TRUE(loaded);
    return expression;
  }
  Valuation With(const Values& values) {
    state_.intValues.assign(4, 0);
    for (const auto& [variable, value] : values)
      state_.intValues[static_cast<size_t>(variable) - 1] = value;
    return Valuation(model_, state_);
  }
  int32_t Eval(const CExpression& e, const Values& values) { return Evaluate(e, With(values)); }

  CSystem model_;
  DsState state_;
};

// The record B=1, N=3, root 0, binding (boundNode, 4): variable 4 < 5.
ExpressionRecord VariableLessThanFive(int32_t boundNode) {
  return Raw(1, 3, 0, {{boundNode, 4}},
             {{0, 0, ExpType::kLess, 1, 2}, {0, 0, 10, -1, -1}, {5, 0, 10, -1, -1}});
}

TEST_F(EvaluationTest, ComparisonsReadTheirBoundFromTheStateOnlyWhereItIsBound) {
  const CExpression constant = Loaded(VariableLessThanFive(1));
  EXPECT_EQ(RightValue(constant, With({{4, 42}})), 5);
  EXPECT_EQ(Eval(constant, {{4, 3}}), 1);
  EXPECT_EQ(Eval(constant, {{4, 5}}), 0);
  const CExpression onTheRight = Loaded(VariableLessThanFive(2));
  EXPECT_EQ(RightValue(onTheRight, With({{4, 42}})), 42);
  // Without a state, bound nodes keep the values that the file gives them.
  EXPECT_EQ(RightValue(onTheRight, Valuation::WithoutState(model_)), 5);
}

struct Evaluation {
  const char* name;
  ExpressionRecord record;
  Values values;
  int32_t expected;
};

ExpressionRecord Binary(int32_t type) {
  return Expr::Op(type, Expr::Var(1), Expr::Var(2)).Compile();
}

TEST_F(EvaluationTest, EveryRecordShapeEvaluatesItsTree) {
  const Expr x = Expr::Var(1);
  const Expr y = Expr::Var(2);
  const ExpNode leaf{0, 0, 10, -1, -1};
  const ExpressionRecord conditional =
      Expr::Cond(x, y, Expr::Op(ExpType::kAdd, y, Expr::Const(10))).Compile();
  const ExpressionRecord conjunction =
      Expr::Op(ExpType::kAnd, Expr::Op(ExpType::kAdd, x, y), y).Compile();
  const std::vector<Evaluation> cases = {
      // Without bindings only node 0's value counts, not the value of its tree.
      {"variable-free three nodes",
       Raw(0, 3, 0, {}, {{9, 0, ExpType::kAdd, 1, 2}, {1, 0, 10, -1, -1}, {2, 0, 10, -1, -1}}),
       {},
       9},
      {"two-node not", Raw(1, 2, 0, {{1, 1}}, {{0, 0, ExpType::kNot, 1, -1}, leaf}), {}, 1},
      {"two-node negation",
       Raw(1, 2, 0, {{1, 1}}, {{7, 0, ExpType::kSubtract, 1, -1}, leaf}),
       {},
       -7},
      {"not of a variable", Expr::Not(Expr::Var(3)).Compile(), {{3, 4}}, 0},
      {"negation of a variable", Expr::Negate(Expr::Var(3)).Compile(), {{3, 4}}, -4},
      {"conditional, true", conditional, {{1, 1}, {2, 5}}, 5},
      {"conditional, false", conditional, {{1, 0}, {2, 5}}, 15},
      {"and, false", conjunction, {{1, 3}, {2, -3}}, 0},
      {"and, true", conjunction, {{1, 3}, {2, 9}}, 1},
      {"or",
       Expr::Op(ExpType::kOr, Expr::Op(ExpType::kAdd, x, y), y).Compile(),
       {{1, 5}, {2, 0}},
       1},
      {"not inside a tree",
       Expr::Op(ExpType::kAnd, Expr::Not(x), y).Compile(),
       {{1, 0}, {2, 2}},
       1},
      // Type 33 inside a tree is a leaf.
      {"type 33 inside a tree",
       Raw(1, 4, 0, {{1, 1}},
           {{0, 0, ExpType::kAdd, 1, 2}, leaf, {6, 0, ExpType::kNot, 3, -1}, leaf}),
       {{1, 1}},
       7},
      // Arithmetic truncates, wraps, and is defined for zero divisors.
      {"-7 / 2", Binary(ExpType::kDivide), {{1, -7}, {2, 2}}, -3},
      {"-7 % 2", Binary(ExpType::kRemainder), {{1, -7}, {2, 2}}, -1},
      {"7 / 0", Binary(ExpType::kDivide), {{1, 7}, {2, 0}}, 0},
      {"7 % 0", Binary(ExpType::kRemainder), {{1, 7}, {2, 0}}, 0},
      {"INT_MIN / -1", Binary(ExpType::kDivide), {{1, INT_MIN}, {2, -1}}, INT_MIN},
      {"INT_MIN % -1", Binary(ExpType::kRemainder), {{1, INT_MIN}, {2, -1}}, 0},
      {"INT_MAX + 1", Binary(ExpType::kAdd), {{1, INT_MAX}, {2, 1}}, INT_MIN},
      {"INT_MIN * -1", Binary(ExpType::kMultiply), {{1, INT_MIN}, {2, -1}}, INT_MIN},
      {"INT_MIN - 1", Binary(ExpType::kSubtract), {{1, INT_MIN}, {2, 1}}, INT_MAX},
      {"the deepest tree that loads",
       testing::AdditionChain(kMaxNestingDepth - 1),
       {{1, 1}},
       kMaxNestingDepth},
  };
  for (const Evaluation& row : cases)
    EXPECT_EQ(Eval(Loaded(row.record), row.values), row.expected) << row.name;
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

TEST_F(EvaluationTest, LongConditionalChainsEvaluate) {
  const CExpression chain = Loaded(ConditionalChain(30000));
  EXPECT_EQ(Eval(chain, {{1, 29998}}), 29998);
  EXPECT_EQ(Eval(chain, {{1, 30000}}), -1);
}

TEST_F(EvaluationTest, UnloadedEntriesEvaluateToZeroWithAMessageInARun) {
  const CExpression e;
  EXPECT_EQ(Eval(e, {}), 0);
  MessageLog messages;
  EXPECT_EQ(EvaluateInRun(e, With({}), messages), 0);
  EXPECT_EQ(messages.Text(), "Exp Compute\n");
  EXPECT_EQ(RightValue(e, With({})), 0);
}

}  // namespace
}  // namespace tickcheck
