#include "model/format2.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::TempDir;

Expr C(int32_t value) {
  return Expr::Const(value);
}

// A format-2 model: n (-3 .. 4, id 1), the array a[2] (ids 2, 3), the clock x (id 4), one process
// with locations l1 (x active) and l2 and one jump l1 -> l2 whose guard is constraint 1
// (expression 0) and whose assignments are the effect of expression 1 and x := expression 2.
ModelSpec Model() {
  ModelSpec model;
  model.format = 2;
  model.variables = {{.name = "n", .type = 0, .initValue = -1, .min = -3, .max = 4},
                     {.name = "a0", .type = 0, .initValue = 0, .min = 0, .max = 1},
                     {.name = "a1", .type = 0, .initValue = 0, .min = 0, .max = 1},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 5}};
  ProcessSpec process{.name = "P", .initLocation = 1};
  process.locations = {{.name = "l1", .activeClocks = {{4, 2, 2}}}, {.name = "l2"}};
  process.jumps = {{.from = 1, .to = 2, .guard = 1, .assignments = {{0, 1}, {4, 2}}}};
  model.processes = {process};
  model.constraints = {{0}};
  model.expressions = {
      {0, Expr::Op(ExpType::kLess, Expr::Var(4), Expr::ArrayRead(2, 2, Expr::Var(1))).Compile()},
      {1, Expr::Assign(1, Expr::Op(ExpType::kAdd, Expr::Var(1), C(1))).Compile()},
      {2, C(0).Compile()}};
  return model;
}

class Format2Test : public ::testing::Test {
 protected:
  // Writes and loads `model` with its properties; answers the refusal's line, or "" when it
  // loaded. The console goes to `console_`.
  std::string Load(const ModelSpec& model) {
    const std::string path = testing::WriteModel(dir_, model);
    system_ = std::make_unique<CSystem>();
    const std::optional<Refusal> refusal = testing::LoadModelFile(*system_, path, &console_, true);
    return refusal ? refusal->line : "";
  }

  TempDir dir_;
  std::unique_ptr<CSystem> system_;
  std::string console_;
};

TEST_F(Format2Test, TheFormatKeyGatesEverything) {
  EXPECT_EQ(Load(Model()), "");
  EXPECT_EQ(system_->format, 2);
  const CVariable& n = system_->variables[0];
  EXPECT_EQ(n.bitWidth, 3);
  EXPECT_EQ(n.encodingOffset, -3);
  EXPECT_EQ(system_->variables[3].encodingOffset, 0) << "clocks keep their encoding";
  const CJump& jump = system_->processes[0].locations[0].jumps[0];
  EXPECT_EQ(jump.assignments, (std::vector<Assignment>{{0, 1}, {4, 2}}));
  EXPECT_EQ(jump.resetClockIds, std::vector<int32_t>{4});
  EXPECT_EQ(system_->expressions[1].Shape(), ExpressionShape::kProgram);

  ModelSpec formatOne = Model();
  formatOne.format.reset();
  CSystem other;
  const std::string path = testing::WriteModel(dir_, formatOne, "one.txt");
  const std::optional<Refusal> refusal = testing::LoadModelFile(other, path);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->line, "ERROR! Model refused: [Jump1] Assign1-1=0: no such variable");

  ModelSpec unknown = Model();
  unknown.format = 3;
  EXPECT_EQ(Load(unknown),
            "ERROR! Model refused: [General] Format=3: unknown model-file format (1 or 2)");
}

TEST_F(Format2Test, CodesOfFormatTwoAreLeavesInFormatOne) {
  ModelSpec model = Model();
  model.format = 1;
  model.processes[0].jumps[0].assignments = {{4, 2}};
  EXPECT_EQ(Load(model), "");
  EXPECT_EQ(system_->expressions[1].Shape(), ExpressionShape::kTree);
  EXPECT_EQ(system_->variables[0].bitWidth, 3) << "BitLength(Max)";
  EXPECT_EQ(system_->variables[0].encodingOffset, 0);
}

TEST_F(Format2Test, IntegerVariablesNeedAProperRangeAndAStartInIt) {
  ModelSpec model = Model();
  model.variables[0].min = 5;
  EXPECT_EQ(Load(model),
            "ERROR! Model refused: [Variable] Min1=5: variable n has Min above its Max 4");
  model.variables[0].min = -3;
  model.variables[0].initValue = -4;
  EXPECT_EQ(Load(model),
            "ERROR! Model refused: [Variable] InitValue1=-4: variable n starts outside its range "
            "-3 .. 4");
  model.variables[0] = {.name = "n", .type = 0, .initValue = 0, .min = INT32_MIN, .max = INT32_MAX};
  CSystem wide;
  const std::string path = testing::WriteModel(dir_, model, "wide.txt");
  EXPECT_FALSE(testing::LoadModelFile(wide, path));
  EXPECT_EQ(wide.variables[0].bitWidth, 32);
}

TEST_F(Format2Test, LoopsAndExpressionPropertiesLoad) {
  ModelSpec model = Model();
  model.loops = {{"Gate.dequeue", 12}, {"f", 3}};
  model.expressions[3] = Expr::Op(ExpType::kAnd, Expr::AtLocation(1, 2),
                                  Expr::Op(ExpType::kAtMost, Expr::Var(4), Expr::Var(1)))
                             .Compile();
  model.properties = {{.type = 0, .expression = 3},
                      {.type = 1, .atoms = {{.negated = 0, .variable = 0, .bound = 1}}}};
  EXPECT_EQ(Load(model), "");
  EXPECT_EQ(system_->loops, (std::vector<LoopSource>{{"Gate.dequeue", 12}, {"f", 3}}));
  ASSERT_EQ(system_->properties.size(), 2u);
  EXPECT_EQ(system_->properties[0].expression, 3);
  EXPECT_TRUE(system_->properties[0].atoms.empty());
  EXPECT_EQ(system_->properties[1].expression, -1);
  EXPECT_EQ(system_->properties[1].atoms.size(), 1u);

  model.properties = {{.type = 2, .expression = 3, .liveness = 3, .thenExpression = 3}};
  EXPECT_EQ(Load(model), "");
  EXPECT_EQ(system_->properties[0].thenExpression, 3);
  EXPECT_EQ(system_->properties[0].Then().expression, 3);
}

TEST_F(Format2Test, PropertyExpressionsAreReadOnlyAndCompareClocks) {
  const struct {
    Expr expression;
    const char* reason;
  } cases[] = {
      {Expr::Assign(1, C(0)), "the expression writes a variable"},
      {Expr::Op(ExpType::kLess, Expr::Op(ExpType::kAdd, Expr::Var(4), C(1)), C(3)),
       "clock x is read other than as the left side of a comparison"},
      {Expr::Op(ExpType::kLess, C(3), Expr::Var(4)),
       "clock x is read other than as the left side of a comparison"},
  };
  for (const auto& c : cases) {
    ModelSpec model = Model();
    model.expressions[3] = c.expression.Compile();
    model.properties = {{.type = 0, .expression = 3}};
    EXPECT_EQ(Load(model), std::string("ERROR! Model refused: [Property1] Expr1=3: ") + c.reason);
  }
  ModelSpec second = Model();
  second.expressions[3] = Expr::Assign(1, C(0)).Compile();
  second.properties = {{.type = 2, .liveness = 3, .thenExpression = 3}};
  EXPECT_EQ(Load(second),
            "ERROR! Model refused: [Property1] Expr1-2=3: the expression writes a variable");
  ModelSpec missing = Model();
  missing.properties = {{.type = 0, .expression = 7}};
  missing.totalExpNum = 8;
  EXPECT_EQ(Load(missing), "ERROR! Model refused: [Property1] Expr1=7: no loaded expression");
}

TEST_F(Format2Test, GuardsInvariantsAndAssignmentsAreRefusedWhereTheyCannotBeExact) {
  const std::string where = "ERROR! Model refused: process 1 (P) location 1 (l1), ";
  const struct {
    int32_t expression;
    Expr replacement;
    std::string line;
  } cases[] = {
      {0, Expr::Op(ExpType::kLess, Expr::Var(4), Expr::Assign(1, C(2))),
       where + "guard of its jump 1: expression 0 writes a variable; guards and invariants have "
               "no side effects"},
      {0, Expr::Op(ExpType::kLess, Expr::Var(1), Expr::Var(4)),
       where + "guard of its jump 1: expression 0 reads clock x other than as the compared "
               "variable"},
      {1, Expr::Assign(1, Expr::Deadlock()),
       where + "assignment 1 of its jump 1: expression 1 asks for a deadlock, which only "
               "properties may"},
      {2, Expr::Op(ExpType::kAdd, Expr::Var(4), C(1)),
       where + "assignment 2 of its jump 1: expression 2 reads clock x; assignments read integers "
               "only"},
  };
  for (const auto& c : cases) {
    ModelSpec model = Model();
    model.expressions[c.expression] = c.replacement.Compile();
    EXPECT_EQ(Load(model), c.line);
  }
}

TEST_F(Format2Test, MalformedProgramsAreRefusedWithOneLine) {
  const ExpNode leaf{0, 0, ExpType::kLeaf, -1, -1};
  const auto node = [](int32_t type, int32_t left, int32_t right, int32_t value = 0,
                       int32_t variable = 0) {
    return ExpNode{value, variable, type, left, right};
  };
  const struct {
    const char* name;
    ExpressionRecord record;
    const char* reason;
  } cases[] = {
      {"a unary node without operand", testing::Raw(0, 1, 0, {}, {node(201, -1, -1)}),
       "node of code 201 without the children it needs"},
      {"a unary node with two", testing::Raw(0, 3, 0, {}, {node(200, 1, 2), leaf, leaf}),
       "node of code 200 without the children it needs"},
      {"a bound assignment", testing::Raw(1, 2, 0, {{0, 1}}, {node(221, -1, 1, 0, 1), leaf}),
       "a binding names a node of code 221"},
      {"an empty array", testing::Raw(0, 2, 0, {}, {node(210, 1, -1, 0, 2), leaf}),
       "an array of fewer than 1 element"},
      {"an upside-down range", testing::Raw(0, 2, 0, {}, {node(212, 1, -1, 3, 2), leaf}),
       "a range check whose lower bound is above its upper one"},
      {"a negative slot", testing::Raw(0, 1, 0, {}, {node(223, -1, -1, -1)}),
       "a negative local slot"},
      {"a huge frame", testing::Raw(0, 1, 0, {}, {node(223, -1, -1, 1 << 21)}),
       "a frame of more than 1048576 local slots"},
      {"a stray for pair", testing::Raw(0, 3, 0, {}, {node(233, 1, 2), leaf, leaf}),
       "a for-loop pair (233) that is not the right child of a for loop"},
      {"a for loop without its pair", testing::Raw(0, 3, 0, {}, {node(232, 1, 2, 1), leaf, leaf}),
       "a for-loop pair (233) that is not the right child of a for loop"},
      {"break outside a loop", testing::Raw(0, 1, 0, {}, {node(234, -1, -1)}),
       "break or continue outside a loop"},
      {"break in a loop's condition",
       testing::Raw(0, 3, 0, {}, {node(230, 1, 2, 1), node(235, -1, -1), leaf}),
       "break or continue outside a loop"},
      {"break through a function body",
       testing::Raw(0, 4, 0, {}, {node(230, 1, 2, 1), leaf, node(237, 3, -1), node(234, -1, -1)}),
       "break or continue outside a loop"},
      {"return outside a function", testing::Raw(0, 1, 0, {}, {node(236, -1, -1)}),
       "return outside a function body"},
      {"an element that is a clock", Expr::ArrayRead(3, 2, C(0)).Compile(),
       "array element 1 (variable 4) is not an integer variable"},
      {"an element beyond the variables", Expr::AssignElement(4, 3, C(0), C(0)).Compile(),
       "array element 0 (variable 4) is not an integer variable"},
      {"an assignment to a clock", Expr::Assign(4, C(1)).Compile(),
       "the assigned variable 4 is not an integer variable"},
  };
  for (const auto& c : cases) {
    ModelSpec model = Model();
    model.expressions[5] = c.record;
    EXPECT_EQ(Load(model), "") << c.name;
    EXPECT_NE(console_.find(std::string("ERROR! Expression 5 refused: ") + c.reason + "\n"),
              std::string::npos)
        << c.name << ": " << console_;
    EXPECT_FALSE(system_->expressions[5].Loaded()) << c.name;
    EXPECT_EQ(system_->expressions.RefusedCount(), 1) << c.name;
  }
}

TEST_F(Format2Test, TheBuilderFoldsOnlyWhatCannotFailOrChange) {
  const struct {
    const char* name;
    Expr expression;
    size_t nodes;
  } cases[] = {
      {"arithmetic and bits",
       Expr::Op(ExpType::kShiftLeft, Expr::Unary(ExpType::kBitNot, C(0)), C(3)), 1},
      {"checks that pass", Expr::RangeCheck(0, 3, Expr::IndexCheck(4, C(2))), 1},
      {"a division by 0", Expr::Op(ExpType::kDivide, C(1), C(0)), 3},
      {"a shift count outside", Expr::Op(ExpType::kShiftRight, C(1), C(32)), 3},
      {"a check that fails", Expr::IndexCheck(2, C(2)), 2},
      {"a location", Expr::AtLocation(1, 1), 1},
      {"a loop", Expr::For(1, C(0), Expr::Break(), C(0)), 5},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expression.Compile().nodes.size(), c.nodes) << c.name;
  const ExpressionRecord folded = Expr::Op(ExpType::kShiftLeft, C(-1), C(3)).Compile();
  EXPECT_EQ(folded.nodes[0].value, -8);
  EXPECT_EQ(folded.nodes[0].type, ExpType::kLeaf);

  // Eight statements nest three sequence nodes deep.
  std::vector<Expr> statements(8, Expr::AssignLocal(0, C(1)));
  const ExpressionRecord block = Expr::Sequence(statements).Compile();
  ASSERT_EQ(block.nodes.size(), 7u + 8u * 2u);
  EXPECT_EQ(block.nodes[0].type, ExpType::kSequence);
  EXPECT_EQ(block.nodes[1].type, ExpType::kSequence);
  EXPECT_EQ(block.nodes[2].type, ExpType::kSequence);
  EXPECT_EQ(block.nodes[3].type, ExpType::kAssignLocal);
  EXPECT_EQ(Expr::Sequence({}).Compile().nodes[0].value, 0);
}

}  // namespace
}  // namespace tickcheck
