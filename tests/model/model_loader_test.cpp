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
}

// Clocks are refused a comparison with != (malformed_model_test); integer variables may have it.
TEST_F(ModelLoaderTest, AnIntegerMayBeComparedWithNotEqual) {
  ModelSpec integer = FormatExampleModel();
  integer.expressions[3] = Comparison(2, ExpType::kNotEqual, 2);
  EXPECT_EQ(Load(integer), 0);
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

}  // namespace
}  // namespace tickcheck
