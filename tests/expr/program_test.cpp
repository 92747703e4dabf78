#include "expr/program.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::TempDir;
using Kind = RunTimeError::Kind;

// Variables of the format-2 model the expressions run in: n (-4 .. 3), the array a[3] (0 .. 9),
// and the clock x.
constexpr int32_t kN = 1;
constexpr int32_t kA = 2;
constexpr int32_t kX = 5;

Expr N() {
  return Expr::Var(kN);
}
Expr C(int32_t value) {
  return Expr::Const(value);
}
Expr Op(int32_t code, const Expr& left, const Expr& right) {
  return Expr::Op(code, left, right);
}

struct Case {
  const char* name;
  Expr expression;
  std::optional<int32_t> value;  // or, without one, the error below
  Kind error = Kind::kDivisionByZero;
};

class ProgramTest : public ::testing::Test {
 protected:
  // Loads a format-2 model whose expressions are `expressions` (id = position), n = -2,
  // a = {1, 2, 3}, the process in its location 1 and x = 4.
  void Load(const std::vector<Expr>& expressions) {
    ModelSpec written;
    written.format = 2;
    written.variables = {{.name = "n", .type = 0, .initValue = -2, .min = -4, .max = 3}};
    for (int32_t k = 0; k < 3; ++k) {
      written.variables.push_back({.name = "a[" + std::to_string(k) + "]",
                                   .type = 0,
                                   .initValue = k + 1,
                                   .min = 0,
                                   .max = 9});
    }
    written.variables.push_back({.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 10});
    written.processes = {{.name = "P", .initLocation = 1, .locations = {{.name = "l"}}}};
    written.loops = {{"f", 7}};
    for (size_t k = 0; k < expressions.size(); ++k)
      written.expressions[static_cast<int32_t>(k)] = expressions[k].Compile();
    const std::string path = testing::WriteModel(dir_, written);
    ASSERT_FALSE(testing::LoadModelFile(model_, path));
    state_.intValues = {-2, 1, 2, 3};
    state_.locations = location_;
    state_.activeClocks = {kX};
    state_.clockValues = {4};
  }

  TempDir dir_;
  CSystem model_;
  DsState state_;
  const std::vector<int32_t> location_{1};
};

TEST_F(ProgramTest, EveryNodeEvaluatesAsFormatTwoSays) {
  const Expr i = Expr::Local(0);
  const std::vector<Case> cases = {
      {"logical not", Expr::Unary(ExpType::kLogicalNot, N()), 0},
      {"negation", Expr::Unary(ExpType::kNegation, N()), 2},
      {"negation wraps",
       Expr::Unary(ExpType::kNegation, Op(ExpType::kMultiply, N(), C(INT_MIN / 2))), INT_MIN},
      {"bitwise not", Expr::Unary(ExpType::kBitNot, N()), 1},
      {"and or xor",
       Op(ExpType::kBitXor, Op(ExpType::kBitOr, C(12), N()), Op(ExpType::kBitAnd, N(), C(7))),
       (12 | -2) ^ (-2 & 7)},
      {"shift left wraps", Op(ExpType::kShiftLeft, N(), C(31)), 0},
      {"shift right is arithmetic", Op(ExpType::kShiftRight, N(), C(1)), -1},
      {"shift count 32",
       Op(ExpType::kShiftLeft, C(1), Op(ExpType::kAdd, N(), C(34))),
       {},
       Kind::kShiftOutOfRange},
      {"negative shift count", Op(ExpType::kShiftRight, C(1), N()), {}, Kind::kShiftOutOfRange},
      {"division by 0", Op(ExpType::kDivide, C(5), Op(ExpType::kAdd, N(), C(2))), {}},
      {"remainder by 0", Op(ExpType::kRemainder, N(), Op(ExpType::kAdd, N(), C(2))), {}},
      {"division truncates", Op(ExpType::kDivide, C(-7), N()), 3},
      {"the left operand fails first",
       Op(ExpType::kAdd, Op(ExpType::kDivide, C(1), C(0)), Op(ExpType::kShiftLeft, C(1), C(40))),
       {}},
      {"&& is lazy", Op(ExpType::kAnd, C(0), Op(ExpType::kDivide, C(1), C(0))), 0},
      {"|| is lazy", Op(ExpType::kOr, N(), Op(ExpType::kDivide, C(1), C(0))), 1},
      {"?: is lazy", Expr::Cond(C(1), N(), Op(ExpType::kDivide, C(1), C(0))), -2},
      {"array read", Expr::ArrayRead(kA, 3, Op(ExpType::kAdd, N(), C(4))), 3},
      {"array read outside", Expr::ArrayRead(kA, 3, N()), {}, Kind::kIndexOutOfRange},
      {"index check", Expr::IndexCheck(3, C(2)), 2},
      {"index check outside",
       Expr::IndexCheck(3, Op(ExpType::kAdd, N(), C(5))),
       {},
       Kind::kIndexOutOfRange},
      {"range check", Expr::RangeCheck(-2, 2, N()), -2},
      {"range check outside", Expr::RangeCheck(0, 2, N()), {}, Kind::kValueOutOfRange},
      {"location atom",
       Op(ExpType::kAnd, Expr::AtLocation(1, 1),
          Expr::Unary(ExpType::kLogicalNot, Expr::AtLocation(1, 2))),
       1},
      {"location atom of no process", Expr::AtLocation(2, 1), 0},
      {"deadlock without a hook", Expr::Deadlock(), {}, Kind::kNoDeadlockHook},
      {"clock comparison", Op(ExpType::kLess, Expr::Var(kX), Op(ExpType::kAdd, N(), C(7))), 1},
      {"sequence and locals",
       Expr::Sequence({Expr::AssignLocal(2, C(5)), Expr::AssignLocalElement(0, 2, C(1), C(7)),
                       Op(ExpType::kAdd, Expr::Local(2), Expr::LocalElement(0, 2, C(1)))}),
       12},
      {"local array outside", Expr::LocalElement(0, 2, C(2)), {}, Kind::kIndexOutOfRange},
      {"function: while, return",
       Expr::Function(Expr::Sequence(
           {Expr::While(
                1, Op(ExpType::kLess, i, C(10)),
                Expr::Sequence({Expr::Cond(Op(ExpType::kEqual, i, C(4)),
                                           Expr::Return(Op(ExpType::kMultiply, i, C(10))), C(0)),
                                Expr::AssignLocal(0, Op(ExpType::kAdd, i, C(1)))})),
            Expr::Return(C(-1))})),
       40},
      {"function without return", Expr::Function(Expr::AssignLocal(0, C(3))), 0},
      {"for: continue runs the step, break leaves",
       Expr::Sequence(
           {Expr::For(
                1, Op(ExpType::kLess, i, C(100)),
                Expr::Sequence({Expr::Cond(Op(ExpType::kEqual, i, C(3)), Expr::Continue(), C(0)),
                                Expr::Cond(Op(ExpType::kEqual, i, C(6)), Expr::Break(), C(0)),
                                Expr::AssignLocal(1, Op(ExpType::kAdd, Expr::Local(1), i))}),
                Expr::AssignLocal(0, Op(ExpType::kAdd, i, C(1)))),
            Expr::Local(1)}),
       0 + 1 + 2 + 4 + 5},
      {"do-while runs its body once",
       Expr::Sequence({Expr::DoWhile(1, Expr::AssignLocal(0, C(9)), C(0)), i}), 9},
      {"the loop bound", Expr::While(1, C(1), Expr::AssignLocal(0, C(1))), {}, Kind::kLoopBound},
      {"nested loops add up",
       Expr::While(1, Op(ExpType::kLess, i, C(2000)),
                   Expr::Sequence(
                       {Expr::AssignLocal(1, C(0)),
                        Expr::While(1, Op(ExpType::kLess, Expr::Local(1), C(1000)),
                                    Expr::AssignLocal(1, Op(ExpType::kAdd, Expr::Local(1), C(1)))),
                        Expr::AssignLocal(0, Op(ExpType::kAdd, i, C(1)))})),
       {},
       Kind::kLoopBound},
  };
  std::vector<Expr> expressions;
  for (const Case& c : cases)
    expressions.push_back(c.expression);
  Load(expressions);
  for (size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    const CExpression& expression = model_.expressions[static_cast<int32_t>(k)];
    ASSERT_TRUE(expression.Loaded()) << c.name;
    const Evaluated result = EvaluateChecked(expression, model_, state_);
    if (c.value) {
      EXPECT_TRUE(result.Ok()) << c.name << ": " << Describe(*result.error, model_);
      EXPECT_EQ(result.value, *c.value) << c.name;
    } else {
      ASSERT_FALSE(result.Ok()) << c.name << " gave " << result.value;
      EXPECT_EQ(result.error->kind, c.error) << c.name;
    }
  }
}

TEST_F(ProgramTest, EffectsWriteTheTargetInOrderAndCheckRanges) {
  Load({Expr::Sequence(
            {Expr::Assign(kN, C(3)), Expr::AssignElement(kA, 3, C(0), N()),
             Expr::Assign(kN, Op(ExpType::kSubtract, C(0), Expr::ArrayRead(kA, 3, C(0))))}),
        Expr::Sequence({Expr::Assign(kN, C(1)), Expr::Assign(kN, C(4)), Expr::Assign(kN, C(0))}),
        Expr::AssignElement(kA, 3, C(1), C(10)), Expr::AssignElement(kA, 3, C(3), C(1))});
  DsState target = state_;
  EXPECT_TRUE(Execute(model_.expressions[0], model_, target).Ok());
  EXPECT_EQ(target.intValues, (std::vector<int32_t>{-3, 3, 2, 3}));

  target = state_;
  const Evaluated outside = Execute(model_.expressions[1], model_, target);
  ASSERT_FALSE(outside.Ok());
  EXPECT_EQ(*outside.error, (RunTimeError{Kind::kValueOutOfRange, 4, -4, 3, kN, 0}));
  EXPECT_EQ(target.intValues[0], 1) << "the writes before the error stay";
  EXPECT_EQ(Describe(*outside.error, model_), "value 4 outside its range -4 .. 3 of variable n");

  target = state_;
  const Evaluated element = Execute(model_.expressions[2], model_, target);
  ASSERT_FALSE(element.Ok());
  EXPECT_EQ(Describe(*element.error, model_), "value 10 outside its range 0 .. 9 of variable a[1]");
  const Evaluated index = Execute(model_.expressions[3], model_, target);
  ASSERT_FALSE(index.Ok());
  EXPECT_EQ(Describe(*index.error, model_), "index 3 outside 0 .. 2 of array a[0]");
}

TEST_F(ProgramTest, RunTimeErrorsSayWhatWentWrong) {
  Load({});
  const std::vector<std::pair<RunTimeError, const char*>> cases = {
      {{Kind::kDivisionByZero, 5}, "division by 0"},
      {{Kind::kIndexOutOfRange, 2, 0, 1, kLocalArray}, "index 2 outside 0 .. 1 of a local array"},
      {{Kind::kIndexOutOfRange, -1, 0, 3, 0}, "index -1 outside 0 .. 3"},
      {{Kind::kShiftOutOfRange, 40}, "shift count 40 outside 0 .. 31"},
      {{Kind::kValueOutOfRange, 5, 0, 2, 0}, "value 5 outside its range 0 .. 2"},
      {{.kind = Kind::kLoopBound, .loop = 1},
       "the loop in f (line 7) ran more than 1000000 iterations"},
      {{.kind = Kind::kLoopBound, .loop = 2}, "the loop in 2 ran more than 1000000 iterations"},
      {{Kind::kNoDeadlockHook}, "deadlock cannot be asked here"},
  };
  for (const auto& [error, text] : cases)
    EXPECT_EQ(Describe(error, model_), text);
}

class Deadlocked : public DeadlockHook {
 public:
  bool IsDeadlock(const DsState& state) const override { return state.intValues[0] < 0; }
};

TEST_F(ProgramTest, DeadlockAsksTheHookAboutTheState) {
  Load({Op(ExpType::kAnd, Expr::Deadlock(), Expr::AtLocation(1, 1))});
  const Deadlocked hook;
  EXPECT_EQ(EvaluateChecked(model_.expressions[0], model_, state_, &hook).value, 1);
  state_.intValues[0] = 0;
  EXPECT_EQ(EvaluateChecked(model_.expressions[0], model_, state_, &hook).value, 0);
}

TEST_F(ProgramTest, ComparisonBoundsMayFail) {
  Load({Op(ExpType::kLess, Expr::Var(kX), Expr::ArrayRead(kA, 3, Op(ExpType::kAdd, N(), C(4)))),
        Op(ExpType::kLess, Expr::Var(kX), Expr::ArrayRead(kA, 3, N()))});
  const Evaluated bound = RightValueChecked(model_.expressions[0], model_, state_);
  EXPECT_TRUE(bound.Ok());
  EXPECT_EQ(bound.value, 3);
  EXPECT_FALSE(RightValueChecked(model_.expressions[1], model_, state_).Ok());
}

}  // namespace
}  // namespace tickcheck
