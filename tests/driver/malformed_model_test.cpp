// The real binary on damaged model files: one row per kind of damage, each with the console line
// it must print and its exit code. Every file is written with the model-file writer; where the
// damage is the point (a file cut short), the written bytes are damaged afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "model/expression_builder.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;
using testing::WriteFile;

// Variables n (integer, 0 .. 3) and x (clock, 0 .. 4); process P moves from a to b when x >= 1,
// incrementing n, and must leave a while x <= 3. Property 1 asks whether P reaches b.
// Expressions: 0 `x <= 3`, 1 `x >= 1`, 2 `n + 1`, 3 `0`.
ModelSpec Healthy() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 4}};
  model.expressions = {{0, Comparison(2, ExpType::kAtMost, 3)},
                       {1, Comparison(2, ExpType::kAtLeast, 1)},
                       {2, Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Const(1)).Compile()},
                       {3, Expr::Const(0).Compile()}};
  model.constraints = {{0}, {1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{2, 1, 3}}, .invariant = 1}, {.name = "b"}},
       .jumps = {{.from = 1, .to = 2, .guard = 2, .syn = 0, .assignments = {{1, 2}, {2, 3}}}}}};
  model.properties = {{.type = 0, .atoms = {{.negated = 0, .variable = -1, .bound = 2}}}};
  return model;
}

struct Row {
  std::string name;
  std::function<void(ModelSpec&)> change;              // on the description, before writing
  std::function<void(std::string&)> damage = nullptr;  // on the written bytes
  std::string line;                                    // a whole line of the console output
  int exitCode = 1;
  // With exit code 3, the model error that the closing line on standard error names.
  std::string error = "";
};

const char kRefused[] = "refused expression records: 1";

// Cuts the file inside the record of expression `id`, a few bytes behind its key.
std::function<void(std::string&)> CutInsideRecord(int id, size_t keep) {
  return [id, keep](std::string& bytes) {
    const std::string key = "\nexp-" + std::to_string(id) + "=";
    const size_t at = bytes.find(key);
    ASSERT_NE(at, std::string::npos);
    bytes.resize(at + key.size() + keep);
  };
}

std::string Many(const char* prefix, int i) {
  return std::string(prefix).append(std::to_string(i));
}

// Removes the section `name`, header and keys, from the file.
std::function<void(std::string&)> RemoveSection(const std::string& name) {
  return [name](std::string& bytes) {
    const size_t at = bytes.find("[" + name + "]\n");
    ASSERT_NE(at, std::string::npos);
    const size_t next = bytes.find("\n[", at);
    bytes.erase(at, next == std::string::npos ? std::string::npos : next + 1 - at);
  };
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // The entry of a refused record stays unloaded: as an assignment it gives 0.
      {"TruncatedRecord", [](ModelSpec&) {}, CutInsideRecord(3, 14),
       "ERROR! Expression 3 refused: the record is cut short by the end of the file", 3, kRefused},
      {"CountsThatDisagree",
       [](ModelSpec& m) {
         m.expressions[2] = {
             .bindingCount = 1, .nodeCount = 0, .root = 0, .bindings = {}, .nodes = {}};
       },
       nullptr, "ERROR! Expression 2 refused: bindings without nodes", 3, kRefused},
      {"CyclicExpression", [](ModelSpec& m) { m.expressions[2].nodes[1].left = 0; }, nullptr,
       "ERROR! Expression 2 refused: the child links do not form a tree", 3, kRefused},
      {"ActiveClockOutOfRange",
       [](ModelSpec& m) { m.processes[0].locations[0].activeClocks[0].clock = 9; }, nullptr,
       "ERROR! Model refused: [Location1] ActiveClock1-1=9: no such variable"},
      {"JumpFromOutOfRange", [](ModelSpec& m) { m.processes[0].jumps[0].from = 5; }, nullptr,
       "ERROR! Model refused: [Jump1] From1=5: process 1 has no location 5"},
      {"JumpFromLocationZero", [](ModelSpec& m) { m.processes[0].jumps[0].from = 0; }, nullptr,
       "ERROR! Model refused: [Jump1] From1=0: process 1 has no location 0"},
      {"AssignmentToNoVariable",
       [](ModelSpec& m) { m.processes[0].jumps[0].assignments[1].variable = 0; }, nullptr,
       "ERROR! Model refused: [Jump1] Assign1-2=0: no such variable"},
      {"AssignmentOfNoExpression",
       [](ModelSpec& m) { m.processes[0].jumps[0].assignments[1].expression = 4; }, nullptr,
       "ERROR! Model refused: [Jump1] exp1-2=4: no such expression (TotalExpNum is 4)"},
      {"JumpToOutOfRange", [](ModelSpec& m) { m.processes[0].jumps[0].to = 3; }, nullptr,
       "ERROR! Model refused: [Jump1] From=1 (its jump 1) To=3: process 1 has 2 locations"},
      {"ExpressionIdOutOfRange", [](ModelSpec& m) { m.constraints[0] = {7}; }, nullptr,
       "ERROR! Model refused: [Constraint1] CmpExp-1=7: no such expression (TotalExpNum is 4)"},
      {"MissingExpressionsSection", [](ModelSpec&) {}, RemoveSection("Expressions"),
       "ERROR! Model refused: [Constraint1] CmpExp-1=0: no such expression (TotalExpNum is -1)"},
      {"MissingLocationSection", [](ModelSpec&) {}, RemoveSection("Location1"),
       "ERROR! Model refused: [Jump1] From1=1: process 1 has no location 1"},
      // Without ProcessNumber there is no process: the location atom names none and never holds.
      {"MissingGeneralSection", [](ModelSpec&) {}, RemoveSection("General"), "property1 : 0", 0},
      {"WrongVariableType", [](ModelSpec& m) { m.variables[1].type = 2; }, nullptr,
       "Variable Type Error!"},
      {"ActiveClockThatIsNoClock",
       [](ModelSpec& m) { m.processes[0].locations[0].activeClocks[0].clock = 1; }, nullptr,
       "ERROR! Model refused: [Location1] ActiveClock1-1=1: variable n is not a clock"},
      {"EnormousProcessNumber", [](ModelSpec& m) { m.processNumber = 2147483647; }, nullptr,
       "ERROR! Model refused: [General] ProcessNumber=2147483647: more than 65534 processes"},
      {"OneProcessTooMany", [](ModelSpec& m) { m.processNumber = 65535; }, nullptr,
       "ERROR! Model refused: [General] ProcessNumber=65535: more than 65534 processes"},
      // Memory and time follow the records the file holds, not the declared count.
      {"EnormousExpressionCount", [](ModelSpec& m) { m.totalExpNum = 2147483647; }, nullptr,
       "expNum:2147483647", 0},
      {"EnormousNodeCount", [](ModelSpec& m) { m.expressions[3].nodeCount = 2147483647; }, nullptr,
       "ERROR! Expression 3 refused: the record is cut short by the end of the file", 3, kRefused},
      {"NoLocations", [](ModelSpec& m) { m.processes.push_back({.name = "E"}); }, nullptr,
       "ERROR! Model refused: process 2 (E) has no location"},
      // The encoding sizes each process's clock table to fit: 20 clocks are decided.
      {"TwentyClocksInOneProcess",
       [](ModelSpec& m) {
         for (int c = 3; c <= 21; ++c) {
           m.variables.push_back(
               {.name = Many("c", c), .type = 1, .initValue = 0, .min = 0, .max = 2});
           m.processes[0].locations[0].activeClocks.push_back({c, 0, 1});
         }
       },
       nullptr, "property1 : 1", 0},
      {"InitialValueOutsideItsBits", [](ModelSpec& m) { m.variables[0].initValue = 9; }, nullptr,
       "ERROR! Model refused: variable n: initial value 9 does not fit 0 .. 3"},
      {"ClockInitialValueOutsideItsBits", [](ModelSpec& m) { m.variables[1].initValue = 8; },
       nullptr, "ERROR! Model refused: clock x: initial value 8 does not fit 0 .. 7"},
      // A value outside the declared range is never kept, whether or not it fits the bits.
      {"UpdateOutsideItsBits", [](ModelSpec& m) { m.variables[0].max = 0; }, nullptr,
       "ERROR! Variable n: value 1 outside its range 0 .. 0 after P: a -> b; states with such "
       "values are skipped",
       3, "variables with values outside their ranges or bits: 1"},
      {"UpdateOutsideItsRangeWithinItsBits",
       [](ModelSpec& m) {
         m.variables[0].max = 2;
         m.variables[0].initValue = 2;
       },
       nullptr,
       "ERROR! Variable n: value 3 outside its range 0 .. 2 after P: a -> b; states with such "
       "values are skipped",
       3, "variables with values outside their ranges or bits: 1"},
      {"UpdateWithoutADeclaredRangeKeepsTheCheckOfItsBits",
       [](ModelSpec& m) {
         m.variables[0].min.reset();
         m.variables[0].max = 0;
       },
       nullptr,
       "ERROR! Variable n: value 1 does not fit its 0 bits; states with such values are skipped", 3,
       "variables with values outside their ranges or bits: 1"},
      {"InvalidPropertyRelation",
       [](ModelSpec& m) {
         m.properties.push_back(
             {.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 1, .relation = 7}}});
       },
       nullptr, "ERROR! In Load atom relation!", 3, "property atoms with an invalid relation: 1"},
      {"UnheardBroadcast",
       [](ModelSpec& m) {
         m.processes[0].jumps[0].syn = 5;
         m.processes[0].jumps[0].synType = 1;
         m.processes[0].jumps[0].broadcast = 1;
       },
       nullptr, "Error: there must be at least a jump syn with a broadcast edge", 3,
       "composed locations with a broadcast that no process receives: 1"},
      {"ClockComparedWithNotEqual",
       [](ModelSpec& m) { m.expressions[0] = Comparison(2, ExpType::kNotEqual, 3); }, nullptr,
       "ERROR! Model refused: process 1 (P) location 1 (a), invariant: expression 0 compares "
       "clock x with relation code 6; clocks allow only ==, <, <=, > and >="},
      {"ClockComparedWithNotEqualInAGuard",
       [](ModelSpec& m) { m.expressions[1] = Comparison(2, ExpType::kNotEqual, 1); }, nullptr,
       "ERROR! Model refused: process 1 (P) location 1 (a), guard of its jump 1: expression 1 "
       "compares clock x with relation code 6; clocks allow only ==, <, <=, > and >="},
      {"ClockComparedWithAnUnknownRelation",
       [](ModelSpec& m) { m.expressions[0] = Comparison(2, 9, 3); }, nullptr,
       "ERROR! Model refused: process 1 (P) location 1 (a), invariant: expression 0 compares "
       "clock x with relation code 9; clocks allow only ==, <, <=, > and >="},
      {"UnknownLivenessProperty", [](ModelSpec& m) { m.properties = {{.type = 2, .liveness = 4}}; },
       nullptr,
       "ERROR! Model refused: [Property1] Liveness1=4: unknown liveness property (1 E[], 2 A<>, "
       "3 -->)"},
      {"LivenessPropertyOfTypeZero",
       [](ModelSpec& m) { m.properties = {{.type = 0, .liveness = 2}}; }, nullptr,
       "ERROR! Model refused: [Property1] Liveness1=2: a liveness property has Type1=2, not 0"},
  };
  return rows;
}

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class MalformedModelTest : public ::testing::TestWithParam<Row> {};

TEST_P(MalformedModelTest, PrintsItsLineAndExitCode) {
  const Row& row = GetParam();
  TempDir dir;
  ModelSpec model = Healthy();
  row.change(model);
  const std::string path = testing::WriteModel(dir, model);
  if (row.damage) {
    std::string bytes = ReadFile(path);
    row.damage(bytes);
    WriteFile(path, bytes);
  }
  const auto result = RunTickcheckBinary({path});
  EXPECT_EQ(result.exitCode, row.exitCode) << result.out;
  EXPECT_NE(("\n" + result.out).find("\n" + row.line + "\n"), std::string::npos) << result.out;
  // A refused model ends without verdicts and without the closing lines; a decided one with its
  // model error, when it has one, and the summary.
  const std::string expected = row.error.empty() ? ""
                                                 : "tickcheck: the model had errors (" + row.error +
                                                       "); the verdicts may not hold\n";
  EXPECT_EQ(row.exitCode == 1 ? result.err : testing::WithoutSummaryLine(result.err), expected);
  // Refused or decided, the run ends with the model's teardown line.
  const std::string last = "destruct system\n";
  ASSERT_GE(result.out.size(), last.size());
  EXPECT_EQ(result.out.substr(result.out.size() - last.size()), last);
}

INSTANTIATE_TEST_SUITE_P(Damages, MalformedModelTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace tickcheck
