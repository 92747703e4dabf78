// Runs of the binary on model files of format 2: the lines and exit codes of run-time errors,
// the loop bound, negative values, expression properties and the JSON document's count.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "model/expression_builder.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::RunTickcheckBinary;
using testing::TempDir;

constexpr int32_t kN = 1;  // n in -3 .. 2, initially 0
constexpr int32_t kA = 2;  // a[0], a[1] in 0 .. 3
constexpr int32_t kX = 4;  // a clock of P, Max 5

Expr C(int32_t value) {
  return Expr::Const(value);
}
Expr N() {
  return Expr::Var(kN);
}

// P: a -> b (guard expression 0, assignments: effect 1), b -> c (guard 2, effect 3); x is active in
// a. Property 1: P reaches c (expression 4, unless `expressions` gives it or `properties` says
// otherwise).
ModelSpec Model(const std::vector<Expr>& expressions, std::vector<PropertySpec> properties = {}) {
  ModelSpec model;
  model.format = 2;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .min = -3, .max = 2},
                     {.name = "a[0]", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "a[1]", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 5}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{kX, 5, 5}}}, {.name = "b"}, {.name = "c"}},
       .jumps = {{.from = 1, .to = 2, .guard = 1, .assignments = {{0, 1}}},
                 {.from = 2, .to = 3, .guard = 2, .assignments = {{0, 3}}}}}};
  model.constraints = {{0}, {2}};
  model.loops = {{"spin", 7}};
  model.expressions[4] = Expr::AtLocation(1, 3).Compile();
  for (size_t k = 0; k < expressions.size(); ++k)
    model.expressions[static_cast<int32_t>(k)] = expressions[k].Compile();
  model.properties = properties.empty() ? std::vector<PropertySpec>{{.type = 0, .expression = 4}}
                                        : std::move(properties);
  return model;
}

// n == (c ? n : n + 1): the integer condition c as a guard entry.
Expr When(const Expr& condition) {
  return Expr::Op(ExpType::kEqual, N(),
                  Expr::Cond(condition, N(), Expr::Op(ExpType::kAdd, N(), C(1))));
}

const Expr kTrue = When(C(1));
const Expr kNothing = C(0);

// The lines of a run that the test looks at: the problems of the search and the verdicts.
std::string Lines(const std::string& out) {
  std::string kept;
  size_t start = 0;
  while (start < out.size()) {
    const size_t end = out.find('\n', start);
    const std::string line = out.substr(start, end - start);
    if (line.starts_with("ERROR") || line.starts_with("property"))
      kept += line + "\n";
    start = end == std::string::npos ? out.size() : end + 1;
  }
  return kept;
}

// The model whose location b has the invariant `invariant` (expression 7).
ModelSpec TargetInvariant(const Expr& invariant) {
  ModelSpec model = Model({kTrue, kNothing, kTrue, kNothing});
  model.expressions[7] = invariant.Compile();
  model.constraints.push_back({7});
  model.processes[0].locations[1].invariant = 3;
  return model;
}

struct Case {
  const char* name;
  ModelSpec model;
  std::string lines;
  int exitCode;
};

TEST(Format2RunTest, RunTimeErrorsAreReportedOnceAndSkipTheStep) {
  const Expr divide = Expr::Op(ExpType::kDivide, C(6), N());
  const Expr element = Expr::ArrayRead(kA, 2, Expr::Op(ExpType::kAdd, N(), C(2)));
  const Expr spin = Expr::While(1, C(1), Expr::AssignLocal(0, C(1)));
  const std::vector<Case> cases = {
      {"a division by 0 in a guard",
       Model({When(Expr::Op(ExpType::kGreater, divide, C(0))), kNothing, kTrue, kNothing}),
       "ERROR! division by 0 in the guard of P: a -> b; such steps are skipped\n"
       "property1 : 0\n",
       3},
      {"an index outside its array in a property, then in an effect",
       Model({kTrue, Expr::AssignElement(kA, 2, Expr::Op(ExpType::kSubtract, N(), C(1)), C(1)),
              kTrue, kNothing, element},
             {{.type = 1, .expression = 4}}),
       "ERROR! index 2 outside 0 .. 1 of array a[0] in property 1; it does not hold in such "
       "states\n"
       "ERROR! index -1 outside 0 .. 1 of array a[0] in an assignment of P: a -> b; such steps "
       "are skipped\n"
       "property1 : 0\n",
       3},
      {"a value outside its range in an effect",
       Model({kTrue,
              Expr::Sequence(
                  {Expr::Assign(kN, C(2)), Expr::Assign(kN, C(3)), Expr::Assign(kN, C(0))}),
              kTrue, kNothing}),
       "ERROR! Variable n: value 3 outside its range -3 .. 2 after P: a -> b; states with such "
       "values are skipped\n"
       "property1 : 0\n",
       3},
      {"a shift count in the target's invariant",
       TargetInvariant(
           Expr::Op(ExpType::kAtMost, Expr::Var(kX),
                    Expr::Op(ExpType::kShiftLeft, C(1), Expr::Op(ExpType::kSubtract, N(), C(1))))),
       "ERROR! shift count -1 outside 0 .. 31 in the invariant of P.b; such steps are skipped\n"
       "property1 : 0\n",
       3},
      {"a loop past its bound stops the search",
       Model({kTrue, kNothing, kTrue, spin}, {{.type = 0, .expression = 4},
                                              {.type = 1, .expression = 5},
                                              {.type = 0, .expression = 6}}),
       "ERROR! the loop in spin (line 7) ran more than 1000000 iterations in an assignment of P: "
       "b -> c; the search stops, and the verdicts it has not found are unknown\n"
       "property1 : unknown\n"
       "property2 : 0\n"
       "property3 : 1\n",
       3},
  };
  for (const Case& c : cases) {
    ModelSpec model = c.model;
    // The properties of the loop case: always n < 0 (violated at once), and a reachable (found).
    model.expressions[5] = Expr::Op(ExpType::kLess, N(), C(0)).Compile();
    model.expressions[6] = Expr::AtLocation(1, 1).Compile();
    TempDir dir;
    const std::string path = testing::WriteModel(dir, model);
    const testing::ProcessResult result = RunTickcheckBinary({path});
    EXPECT_EQ(Lines(result.out), c.lines) << c.name;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name << "\n" << result.err;
  }
}

// n goes down to -3 and back; the states show the true values, the encoding's offset is not seen.
TEST(Format2RunTest, NegativeValuesAreCheckedAndShownAsThemselves) {
  ModelSpec model =
      Model({When(Expr::Op(ExpType::kGreater, N(), C(-3))),
             Expr::Assign(kN, Expr::Op(ExpType::kSubtract, N(), C(1))), kTrue, kNothing},
            {{.type = 0, .expression = 5}, {.type = 1, .expression = 6}});
  model.processes[0].jumps[0].to = 1;
  model.expressions[5] = Expr::Op(ExpType::kEqual, N(), C(-3)).Compile();
  // Always: x compared with a bound that reads n (the clock meets 2 - n at some delay).
  model.expressions[6] =
      Expr::Op(ExpType::kLess, Expr::Var(kX), Expr::Op(ExpType::kSubtract, C(2), N())).Compile();
  TempDir dir;
  const std::string path = testing::WriteModel(dir, model);
  const std::string json = dir.File("out.json");
  const testing::ProcessResult result = RunTickcheckBinary({path, "--trace", "--json", json});
  EXPECT_EQ(Lines(result.out), "property1 : 1\nproperty2 : 0\n") << result.out;
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const nlohmann::json document = nlohmann::json::parse(testing::ReadFile(json));
  EXPECT_EQ(document["model_errors"]["run_time_errors"], 0);
  const nlohmann::json& steps = document["properties"][0]["trace"]["steps"];
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back()["state"]["integers"]["n"], -3);
  // x < 2 - n fails first when x reaches 2 with n still 0.
  const nlohmann::json& violation = document["properties"][1]["trace"]["steps"];
  ASSERT_FALSE(violation.empty());
  EXPECT_EQ(violation.back()["state"]["clocks"]["x"], 2);
  EXPECT_EQ(violation.back()["state"]["integers"]["n"], 0);
}

TEST(Format2RunTest, AnInitialInvariantThatCannotBeEvaluatedRefusesTheModel) {
  ModelSpec model = Model({kTrue, kNothing, kTrue, kNothing});
  model.constraints.push_back({5});
  model.processes[0].locations[0].invariant = 3;
  model.expressions[5] =
      Expr::Op(ExpType::kAtMost, Expr::Var(kX), Expr::Op(ExpType::kRemainder, C(3), N())).Compile();
  TempDir dir;
  const testing::ProcessResult result = RunTickcheckBinary({testing::WriteModel(dir, model)});
  EXPECT_NE(result.out.find("\nERROR! Model refused: the invariant of P.a cannot be evaluated in "
                            "the initial state: division by 0\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.exitCode, 1);
}

}  // namespace
}  // namespace tickcheck
