#include <gtest/gtest.h>

#include "model/expression_builder.h"
#include "model/system.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

// The constant that a comparison `variable OP constant` compares with.
int32_t ConstantBound(const CExpression& comparison) {
  const ExpNode& root = comparison.Nodes()[static_cast<size_t>(comparison.Root())];
  return comparison.Nodes()[static_cast<size_t>(root.right)].value;
}

using testing::FormatExampleModel;
using testing::TempDir;

class ModelLoaderTest : public ::testing::Test {
 protected:
  // Writes and loads `model` (with its properties when `properties` is set); answers 1 when it
  // was refused, else 0. The console, followed by the refusal's line as a run prints it, goes to
  // `console_`.
  int32_t Load(const ModelSpec& model, bool properties = false) {
    const std::string path = testing::WriteModel(dir_, model);
    const std::optional<tickcheck::Refusal> refusal =
        testing::LoadModelFile(system_, path, &console_, properties);
    if (refusal)
      console_ += refusal->line + "\n";
    return refusal ? 1 : 0;
  }

  TempDir dir_;
  CSystem system_;
  std::string console_;
};

TEST_F(ModelLoaderTest, AWrittenModelLoadsIntoTheSameRecords) {
  ASSERT_EQ(Load(FormatExampleModel()), 0);
  EXPECT_EQ(console_, "expNum:4\n");
  EXPECT_EQ(system_.processNumber, 1);
  EXPECT_EQ(system_.clockCount, 1);
  EXPECT_EQ(system_.intVarCount, 1);
  EXPECT_EQ(system_.otherVarCount, 0);
  ASSERT_EQ(system_.variables.size(), 2u);
  EXPECT_EQ(system_.variables[0], (CVariable{.Name = "x",
                                             .Max = 10,
                                             .Min = 0,
                                             .ownerProcess = 1,
                                             .Type = 1,
                                             .InitValue = 0,
                                             .bitWidth = 4}));
  EXPECT_EQ(system_.variables[1].bitWidth, 2);
  EXPECT_EQ(system_.variables[1].ownerProcess, 0);

  ASSERT_EQ(system_.processes.size(), 1u);
  const CProcess& process = system_.processes[0];
  EXPECT_EQ(process.ProcessName, "P");
  EXPECT_EQ(process.InitLocation, 1);
  EXPECT_EQ(process.locationCount, 2);
  const CJump jump{.number = 1,
                   .From = 1,
                   .To = 2,
                   .Syn = 0,
                   .SynType = 0,
                   .noGuard = false,
                   .assignments = {{1, 0}, {2, 1}},
                   .guardExpIds = {3},
                   .resetClockIds = {1}};
  EXPECT_EQ(process.locations[0], (CLocation{.noInvariant = false,
                                             .allUAtMostL = false,
                                             .Name = "idle",
                                             .activeClocks = {1},
                                             .jumps = {jump},
                                             .invariantExpIds = {2},
                                             .luBounds = {{1, 0, 5}}}));
  CLocation busy;
  busy.Name = "busy";
  EXPECT_EQ(process.locations[1], busy);

  EXPECT_EQ(system_.expressionCount, 4);
  EXPECT_EQ(system_.expressions.Count(), 4);
  EXPECT_EQ(system_.expressions[2].LeftVariable(), 1);
  EXPECT_EQ(system_.expressions[2].RootType(), ExpType::kAtMost);
  EXPECT_EQ(ConstantBound(system_.expressions[2]), 5);
  EXPECT_STREQ(system_.expressions[1].StrategyName(), "CVarConstExpression");
}

TEST_F(ModelLoaderTest, ListsEndAtTheirFirstGap) {
  ModelSpec model = FormatExampleModel();
  model.variables.push_back({.name = "", .type = 0});
  model.variables.push_back({.name = "late", .type = 0});
  model.processes[0].jumps.push_back({.from = 2, .to = 1});
  model.processes[0].jumps[0].assignments.push_back({2, std::nullopt});
  ASSERT_EQ(Load(model), 1);  // the missing exp key reads -1: no such expression
  EXPECT_EQ(console_,
            "ERROR! Model refused: [Jump1] exp1-3=-1: no such expression (TotalExpNum is 4)\n");
  EXPECT_EQ(system_.variables.size(), 2u);
}

TEST_F(ModelLoaderTest, MissingSectionsGiveEmptyRecords) {
  ModelSpec model;
  model.processNumber = 2;
  model.processes = {FormatExampleModel().processes[0]};
  model.variables = FormatExampleModel().variables;
  model.expressions = FormatExampleModel().expressions;
  model.constraints = FormatExampleModel().constraints;
  ASSERT_EQ(Load(model), 0);
  ASSERT_EQ(system_.processes.size(), 2u);
  EXPECT_EQ(system_.processes[1].ProcessName, "");
  EXPECT_EQ(system_.processes[1].InitLocation, -1);
  EXPECT_EQ(system_.processes[1].locationCount, 0);

  CSystem empty;
  std::string console;
  EXPECT_FALSE(testing::LoadModelFile(empty, dir_.File("missing.txt"), &console));
  EXPECT_EQ(console, "expNum:-1\n");
  EXPECT_TRUE(empty.processes.empty());
  EXPECT_EQ(empty.processNumber, -1);
}

TEST_F(ModelLoaderTest, AVariableTypeOutsideZeroOneThreeStopsTheLoad) {
  ModelSpec model = FormatExampleModel();
  model.variables.push_back({.name = "bad", .type = 2});
  ASSERT_EQ(Load(model), 1);
  EXPECT_EQ(console_, "Variable Type Error!\n");
  EXPECT_EQ(system_.variables.size(), 2u);
  EXPECT_TRUE(system_.processes.empty());
  EXPECT_EQ(system_.expressions.Count(), 0);
}

TEST_F(ModelLoaderTest, ActiveClocksAreSortedWithTheirBounds) {
  ModelSpec model = FormatExampleModel();
  for (int i = 0; i < 4; ++i)
    model.variables.push_back({.name = "c" + std::to_string(i), .type = 1, .max = 3});
  // Clock ids 3 .. 6: listed as 5, 3, 5, 4 (the second 5 repeats the key, so both read its bounds).
  model.processes[0].locations[1].activeClocks = {{5, 1, 2}, {3, 7, 1}, {5, 9, 9}, {4, 4, 4}};
  ASSERT_EQ(Load(model), 0);
  const CLocation& busy = system_.processes[0].locations[1];
  EXPECT_EQ(busy.activeClocks, (std::vector<int32_t>{3, 4, 5, 5}));
  EXPECT_EQ(busy.luBounds, (std::vector<LUBound>{{3, 7, 1}, {4, 4, 4}, {5, 1, 2}, {5, 1, 2}}));
  EXPECT_FALSE(busy.allUAtMostL);
  EXPECT_EQ(system_.variables[4].ownerProcess, 1);
}

TEST_F(ModelLoaderTest, JumpFlagsFollowTheirKeys) {
  ModelSpec model = FormatExampleModel();
  model.processes[0].jumps = {
      {.from = 2, .to = 1, .guard = 0, .urgent = 2, .syn = 4, .broadcast = 5},
      {.from = 2, .to = 2, .urgent = 1, .syn = 6, .broadcast = 0}};
  ASSERT_EQ(Load(model), 0);
  const std::vector<CJump>& jumps = system_.processes[0].locations[1].jumps;
  ASSERT_EQ(jumps.size(), 2u);
  EXPECT_TRUE(jumps[0].noGuard);
  EXPECT_FALSE(jumps[0].iUrgent);
  EXPECT_TRUE(jumps[0].Broadcast);
  EXPECT_EQ(jumps[0].SynType, -1);
  EXPECT_TRUE(jumps[1].iUrgent);
  EXPECT_FALSE(jumps[1].Broadcast);
  EXPECT_EQ(system_.processes[0].broadcastChannels, (std::vector<int32_t>{4}));
}

// The keys of the timing rules count only with the value 1; urgent channels are read for the
// channels that jumps name.
TEST_F(ModelLoaderTest, TimingKeysCountOnlyWithTheValueOne) {
  ModelSpec model = FormatExampleModel();
  model.broadcastRule = 1;
  model.processes[0].locations[0].committed = 1;
  model.processes[0].locations[0].urgent = 2;
  model.processes[0].locations[1].urgent = 1;
  model.processes[0].jumps = {{.from = 2, .to = 1, .syn = 4},
                              {.from = 2, .to = 2, .syn = 6},
                              {.from = 1, .to = 1, .syn = 9}};
  model.urgentChannels = {4, 9, 12};
  ASSERT_EQ(Load(model), 0);
  const std::vector<CLocation>& locations = system_.processes[0].locations;
  EXPECT_TRUE(locations[0].committed);
  EXPECT_FALSE(locations[0].urgent);
  EXPECT_FALSE(locations[1].committed);
  EXPECT_TRUE(locations[1].urgent);
  EXPECT_EQ(system_.urgentChannels, (std::vector<int32_t>{4, 9}));
  EXPECT_TRUE(system_.usualBroadcast);
  EXPECT_TRUE(system_.HasTimeStops());
  model.broadcastRule = 2;
  model.urgentChannels.clear();
  model.processes[0].locations[0].committed = 0;
  model.processes[0].locations[1].urgent = 0;
  CSystem other;
  ASSERT_FALSE(testing::LoadModelFile(other, testing::WriteModel(dir_, model), nullptr));
  EXPECT_FALSE(other.usualBroadcast);
  EXPECT_FALSE(other.HasTimeStops());
}

struct RefusalCase {
  const char* name;
  void (*damage)(ModelSpec&);
  const char* line;
};

TEST_F(ModelLoaderTest, IdsUsedAsIndicesOutsideTheModelAreRefused) {
  const std::vector<RefusalCase> cases = {
      {"active clock beyond the variables",
       [](ModelSpec& m) {
         m.processes[0].locations[1].activeClocks = {{7, 0, 0}};
       },
       "ERROR! Model refused: [Location1] ActiveClock2-1=7: no such variable"},
      {"active clock that is an integer",
       [](ModelSpec& m) {
         m.processes[0].locations[1].activeClocks = {{2, 0, 0}};
       },
       "ERROR! Model refused: [Location1] ActiveClock2-1=2: variable n is not a clock"},
      {"jump from no location", [](ModelSpec& m) { m.processes[0].jumps[0].from = 3; },
       "ERROR! Model refused: [Jump1] From1=3: process 1 has no location 3"},
      {"jump from location 0", [](ModelSpec& m) { m.processes[0].jumps[0].from = 0; },
       "ERROR! Model refused: [Jump1] From1=0: process 1 has no location 0"},
      {"assignment to no variable",
       [](ModelSpec& m) { m.processes[0].jumps[0].assignments[1].variable = 0; },
       "ERROR! Model refused: [Jump1] Assign1-2=0: no such variable"},
      {"assignment of no expression",
       [](ModelSpec& m) { m.processes[0].jumps[0].assignments[1].expression = 4; },
       "ERROR! Model refused: [Jump1] exp1-2=4: no such expression (TotalExpNum is 4)"},
      {"constraint naming no expression",
       [](ModelSpec& m) {
         m.constraints[0] = {2, 99};
       },
       "ERROR! Model refused: [Constraint1] CmpExp-2=99: no such expression (TotalExpNum is 4)"},
      {"too many processes", [](ModelSpec& m) { m.processNumber = 65535; },
       "ERROR! Model refused: [General] ProcessNumber=65535: more than 65534 processes"},
  };
  for (const RefusalCase& refusal : cases) {
    ModelSpec model = FormatExampleModel();
    refusal.damage(model);
    CSystem system;
    const std::string path = testing::WriteModel(dir_, model);
    std::string console;
    const std::optional<tickcheck::Refusal> result = testing::LoadModelFile(system, path, &console);
    ASSERT_TRUE(result) << refusal.name;
    EXPECT_EQ(console + result->line + "\n", std::string(refusal.line) + "\n") << refusal.name;
  }
}

TEST_F(ModelLoaderTest, LivenessPropertiesLoadWithTheirSecondFormula) {
  ModelSpec model = FormatExampleModel();
  const AtomSpec busy{.negated = 0, .variable = -1, .bound = 2};
  const AtomSpec small{.negated = 1, .variable = 2, .bound = 3, .relation = 4};
  model.properties = {{.type = 2, .atoms = {busy}, .liveness = 3, .thenAtoms = {small, busy}},
                      {.type = 2, .atoms = {busy}, .liveness = 1, .thenAtoms = {small}},
                      {.type = 2, .atoms = {busy}, .thenAtoms = {small}}};
  ASSERT_EQ(Load(model, true), 0);
  const std::vector<CProperty>& properties = system_.properties;
  ASSERT_EQ(properties.size(), 3u);
  EXPECT_EQ(properties[0].liveness, Liveness::kLeadsTo);
  EXPECT_EQ(properties[0].atoms.size(), 1u);
  ASSERT_EQ(properties[0].thenAtoms.size(), 2u);
  EXPECT_EQ(properties[0].thenAtoms[0], (CAtomProperty{.kind = CAtomProperty::kIntegerVariable,
                                                       .negated = 1,
                                                       .variable = 2,
                                                       .bound = 3,
                                                       .relation = ExpType::kLess}));
  EXPECT_EQ(properties[0].Then().atoms, properties[0].thenAtoms);
  // Only a leads-to reads a second formula; without the key a Type 2 property is as before.
  EXPECT_EQ(properties[1].liveness, Liveness::kAlways);
  EXPECT_TRUE(properties[1].thenAtoms.empty());
  EXPECT_EQ(properties[2].liveness, Liveness::kNone);
  EXPECT_TRUE(properties[2].thenAtoms.empty());

  const std::vector<std::pair<PropertySpec, std::string>> refused = {
      {{.type = 2, .liveness = 4},
       "ERROR! Model refused: [Property1] Liveness1=4: unknown liveness property (1 E[], 2 A<>, "
       "3 -->)"},
      {{.type = 0, .liveness = 2},
       "ERROR! Model refused: [Property1] Liveness1=2: a liveness property has Type1=2, not 0"}};
  for (const auto& [property, line] : refused) {
    model.properties = {property};
    CSystem system;
    std::string console;
    const std::optional<tickcheck::Refusal> refusal = testing::LoadModelFile(
        system, testing::WriteModel(dir_, model, "refused.txt"), &console, true);
    ASSERT_TRUE(refusal) << line;
    EXPECT_EQ(console + refusal->line, "expNum:4\n" + line);
  }
}

// A delay window is one interval: x != 2 would shrink it to the single delay at which x is 2.
TEST_F(ModelLoaderTest, AClockComparedWithNotEqualIsRefused) {
  ModelSpec model = FormatExampleModel();
  model.expressions[3] = Comparison(1, ExpType::kNotEqual, 2);
  ASSERT_EQ(Load(model), 1);
  EXPECT_EQ(
      console_,
      "expNum:4\nERROR! Model refused: process 1 (P) location 1 (idle), guard of its jump 1: "
      "expression 3 compares clock x with relation code 6; clocks allow only ==, <, <=, > and "
      ">=\n");

  ModelSpec invariant = FormatExampleModel();
  invariant.expressions[2] = Comparison(1, 9, 5);
  CSystem system;
  const std::string path = testing::WriteModel(dir_, invariant, "invariant.txt");
  const std::optional<tickcheck::Refusal> refused = testing::LoadModelFile(system, path);
  ASSERT_TRUE(refused);
  const std::string console = refused->line;
  EXPECT_NE(console.find(
                "location 1 (idle), invariant: expression 2 compares clock x with relation code 9"),
            std::string::npos)
      << console;

  // Integer variables may be compared with !=.
  ModelSpec integer = FormatExampleModel();
  integer.expressions[3] = Comparison(2, ExpType::kNotEqual, 2);
  CSystem accepted;
  const std::string third = testing::WriteModel(dir_, integer, "integer.txt");
  EXPECT_FALSE(testing::LoadModelFile(accepted, third));
}

TEST_F(ModelLoaderTest, HugeExpressionCountsCostOnlyWhatTheFileHolds) {
  ModelSpec model = FormatExampleModel();
  model.totalExpNum = 2147483647;
  model.expressions[2000000000] = Comparison(1, ExpType::kLess, 8);
  ASSERT_EQ(Load(model), 0);
  EXPECT_EQ(console_, "expNum:2147483647\n");
  EXPECT_EQ(system_.expressions.Count(), 2147483647);
  EXPECT_EQ(ConstantBound(system_.expressions[2000000000]), 8);
  EXPECT_FALSE(system_.expressions[1999999999].Loaded());
  EXPECT_EQ(system_.expressions[3].RootType(), ExpType::kAtLeast);
}

TEST_F(ModelLoaderTest, AMalformedRecordIsReportedOnceAndTheModelStillLoads) {
  ModelSpec model = FormatExampleModel();
  model.expressions[1].nodes[0].left = 0;  // the root is its own child
  ASSERT_EQ(Load(model), 0);
  EXPECT_EQ(console_,
            "expNum:4\nERROR! Expression 1 refused: the child links do not form a tree\n");
  EXPECT_FALSE(system_.expressions[1].Loaded());
}

}  // namespace
}  // namespace tickcheck
