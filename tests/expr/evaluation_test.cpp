#include "expr/evaluation.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::CaptureConsole;
using testing::TempDir;

ExpressionRecord Raw(int32_t bindings, int32_t nodes, int32_t root, std::vector<ExpBinding> b,
                     std::vector<ExpNode> n) {
  return ExpressionRecord{bindings, nodes, root, std::move(b), std::move(n)};
}

// Expressions evaluated against a model of four integer variables 1 to 4 (values `values`).
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
  // Writes `record` as expression 0 of a model file and loads it.
  CExpression Loaded(const ExpressionRecord& record) {
    ModelSpec model;
    model.expressions[0] = record;
    const std::string path = testing::WriteModel(dir_, model);
    CExpression expression;
    CaptureConsole([&] { EXPECT_TRUE(expression.Load(path, 0)); });
    return expression;
  }

  Valuation With(std::map<int32_t, int32_t> values) {
    state_.intValues.assign(4, 0);
    for (const auto& [variable, value] : values)
      state_.intValues[static_cast<size_t>(variable) - 1] = value;
    return Valuation(model_, state_);
  }
  int32_t Eval(const CExpression& e, std::map<int32_t, int32_t> values) {
    return Evaluate(e, With(std::move(values)));
  }

  TempDir dir_;
  CSystem model_;
  DsState state_;
};

// The record B=1, N=3, root 0, binding (1, 4): variable 4 < 5.
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

TEST_F(EvaluationTest, AVariableFreeThreeNodeRecordAnswersNodeZero) {
  // Without bindings only node 0's value counts, not the value of its tree.
  const CExpression e = Loaded(
      Raw(0, 3, 0, {}, {{9, 0, ExpType::kAdd, 1, 2}, {1, 0, 10, -1, -1}, {2, 0, 10, -1, -1}}));
  EXPECT_EQ(Eval(e, {}), 9);
}

TEST_F(EvaluationTest, TwoNodeRecordsNegateOrInvertTheirRoot) {
  EXPECT_EQ(
      Eval(Loaded(Raw(1, 2, 0, {{1, 1}}, {{0, 0, ExpType::kNot, 1, -1}, {0, 0, 10, -1, -1}})), {}),
      1);
  EXPECT_EQ(
      Eval(Loaded(Raw(1, 2, 0, {{1, 1}}, {{7, 0, ExpType::kSubtract, 1, -1}, {0, 0, 10, -1, -1}})),
           {}),
      -7);
  EXPECT_EQ(Eval(Loaded(Expr::Not(Expr::Var(3)).Compile()), {{3, 4}}), 0);
  EXPECT_EQ(Eval(Loaded(Expr::Negate(Expr::Var(3)).Compile()), {{3, 4}}), -4);
}

TEST_F(EvaluationTest, TreesEvaluateOperatorsConditionalsAndLogic) {
  const Expr x = Expr::Var(1);
  const Expr y = Expr::Var(2);
  const CExpression conditional =
      Loaded(Expr::Cond(x, y, Expr::Op(ExpType::kAdd, y, Expr::Const(10))).Compile());
  EXPECT_EQ(Eval(conditional, {{1, 1}, {2, 5}}), 5);
  EXPECT_EQ(Eval(conditional, {{1, 0}, {2, 5}}), 15);

  const CExpression conjunction =
      Loaded(Expr::Op(ExpType::kAnd, Expr::Op(ExpType::kAdd, x, y), y).Compile());
  EXPECT_EQ(Eval(conjunction, {{1, 3}, {2, -3}}), 0);
  EXPECT_EQ(Eval(conjunction, {{1, 3}, {2, 9}}), 1);
  const CExpression disjunction =
      Loaded(Expr::Op(ExpType::kOr, Expr::Op(ExpType::kAdd, x, y), y).Compile());
  EXPECT_EQ(Eval(disjunction, {{1, 5}, {2, 0}}), 1);

  const CExpression notInside = Loaded(Expr::Op(ExpType::kAnd, Expr::Not(x), y).Compile());
  EXPECT_EQ(Eval(notInside, {{1, 0}, {2, 2}}), 1);
}

TEST_F(EvaluationTest, ArithmeticIsTruncatingWrappingAndDefinedForZeroDivisors) {
  auto eval = [this](int32_t type, int32_t left, int32_t right) {
    return Eval(Loaded(Expr::Op(type, Expr::Var(1), Expr::Var(2)).Compile()),
                {{1, left}, {2, right}});
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

TEST_F(EvaluationTest, TypeThirtyThreeInsideATreeIsALeaf) {
  const CExpression e = Loaded(Raw(1, 4, 0, {{1, 1}},
                                   {{0, 0, ExpType::kAdd, 1, 2},
                                    {0, 0, 10, -1, -1},
                                    {6, 0, ExpType::kNot, 3, -1},
                                    {0, 0, 10, -1, -1}}));
  EXPECT_EQ(Eval(e, {{1, 1}}), 7);
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

TEST_F(EvaluationTest, TheDeepestTreeThatLoadsAndLongConditionalChainsEvaluate) {
  EXPECT_EQ(Eval(Loaded(AdditionChain(kMaxNestingDepth - 1)), {{1, 1}}), kMaxNestingDepth);
  const CExpression chain = Loaded(ConditionalChain(30000));
  EXPECT_EQ(Eval(chain, {{1, 29998}}), 29998);
  EXPECT_EQ(Eval(chain, {{1, 30000}}), -1);
}

TEST_F(EvaluationTest, UnloadedEntriesEvaluateWithAMessage) {
  const CExpression e;
  EXPECT_EQ(CaptureConsole([&] { EXPECT_EQ(Eval(e, {}), 0); }), "Exp Compute\n");
  EXPECT_EQ(RightValue(e, With({})), 0);
}

}  // namespace
}  // namespace tickcheck
