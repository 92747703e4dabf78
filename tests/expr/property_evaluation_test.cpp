#include "expr/property_evaluation.h"

#include <gtest/gtest.h>

#include "model/system.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::TempDir;

class PropertyTest : public ::testing::Test {
 protected:
  // Writes a model with two integer variables, a clock (id 3), two processes and `properties`,
  // loads it and its properties; the property loader's console goes to `console_`.
  void LoadProperties(std::vector<PropertySpec> properties, std::optional<int32_t> count = {}) {
    ModelSpec model;
    model.variables = {{.name = "a", .type = 0, .max = 9},
                       {.name = "b", .type = 0, .max = 9},
                       {.name = "x", .type = 1, .max = 9}};
    model.properties = std::move(properties);
    model.propertyNum = count;
    const std::string path = testing::WriteModel(dir_, model);
    const ProfileIndex file(path);
    MessageLog messages;
    ASSERT_FALSE(system_.Load(file, messages));
    system_.LoadProperties(file, messages);
    console_ = messages.Text();
  }

  DsState State(std::vector<int32_t> ints, std::vector<int32_t> clocks,
                std::vector<int32_t> values) {
    DsState state;
    state.locations = locations_;
    state.intValues = std::move(ints);
    state.activeClocks = std::move(clocks);
    state.clockValues = std::move(values);
    return state;
  }

  TempDir dir_;
  CSystem system_;
  std::string console_;
  const std::vector<int32_t> locations_{2, 1};
};

TEST_F(PropertyTest, AnIntegerAtomComparesValueWithTheRelationExchangedFromTheFile) {
  LoadProperties(
      {{.type = 0, .atoms = {{.negated = 0, .variable = 2, .bound = 5, .relation = 2}}},
       {.type = 1, .atoms = {{.negated = 1, .variable = 2, .bound = 5, .relation = 2}}}});
  ASSERT_EQ(system_.properties.size(), 2u);
  const CAtomProperty& atom = system_.properties[0].atoms[0];
  EXPECT_EQ(atom.kind, CAtomProperty::kIntegerVariable);
  EXPECT_TRUE(Holds(system_.properties[0], system_, State({0, 6}, {}, {})));
  EXPECT_FALSE(Holds(system_.properties[0], system_, State({0, 5}, {}, {})));
  EXPECT_EQ(system_.properties[1].Type, 1);
  EXPECT_TRUE(Holds(system_.properties[1], system_, State({0, 5}, {}, {})));
  EXPECT_FALSE(Holds(system_.properties[1], system_, State({0, 6}, {}, {})));
}

TEST_F(PropertyTest, EveryFileRelationMapsToTheExchangedOperator) {
  std::vector<PropertySpec> properties;
  for (int32_t r = 1; r <= 6; ++r) {
    properties.push_back(
        {.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 5, .relation = r}}});
  }
  LoadProperties(properties);
  const std::vector<int32_t> expected = {1, 4, 5, 2, 3, 6};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(system_.properties[i].atoms[0].relation, expected[i]) << "R = " << i + 1;
  }
  EXPECT_TRUE(Holds(system_.properties[4], system_, State({5, 0}, {}, {})));  // R = 5: a <= 5
  EXPECT_FALSE(Holds(system_.properties[4], system_, State({6, 0}, {}, {})));
}

TEST_F(PropertyTest, AnInvalidRelationIsReportedAndNeverHolds) {
  LoadProperties({{.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 5, .relation = 7}}},
                  {.type = 0, .atoms = {{.negated = 1, .variable = 1, .bound = 5}}}});
  EXPECT_EQ(console_, "expNum:0\nERROR! In Load atom relation!\nERROR! In Load atom relation!\n");
  ASSERT_EQ(system_.properties.size(), 2u);
  for (int32_t value : {4, 5, 6}) {
    EXPECT_FALSE(Holds(system_.properties[0], system_, State({value, 0}, {}, {})));
    EXPECT_TRUE(Holds(system_.properties[1], system_, State({value, 0}, {}, {})));
  }
}

TEST_F(PropertyTest, ClockAtomsHoldForClocksTheStateDoesNotCarry) {
  LoadProperties(
      {{.type = 0, .atoms = {{.negated = 0, .variable = 3, .bound = 2, .relation = 1}}},
       {.type = 0, .atoms = {{.negated = 1, .variable = 3, .bound = 2, .relation = 1}}}});
  EXPECT_EQ(system_.properties[0].atoms[0].kind, CAtomProperty::kClock);
  EXPECT_TRUE(Holds(system_.properties[0], system_, State({0, 0}, {3}, {2})));
  EXPECT_FALSE(Holds(system_.properties[0], system_, State({0, 0}, {3}, {1})));
  EXPECT_TRUE(Holds(system_.properties[0], system_, State({0, 0}, {}, {})));
  EXPECT_FALSE(Holds(system_.properties[1], system_, State({0, 0}, {}, {})));
}

TEST_F(PropertyTest, LocationAtomsNameAProcessByMinusV) {
  LoadProperties({{.type = 0, .atoms = {{.negated = 0, .variable = -2, .bound = 1, .relation = 9}}},
                  {.type = 0, .atoms = {{.variable = 0, .bound = 1}}},
                  {.type = 0, .atoms = {{.negated = 1, .variable = -3, .bound = 1}}},
                  {.type = 0, .atoms = {{.bound = 2}}}});
  EXPECT_EQ(console_, "expNum:0\n");  // no R is read for a location atom
  const CAtomProperty& atom = system_.properties[0].atoms[0];
  EXPECT_EQ(atom.kind, CAtomProperty::kLocation);
  EXPECT_EQ(atom.process, 2);
  EXPECT_TRUE(Holds(system_.properties[0], system_, State({}, {}, {})));
  // An atom of process 0 or of a process beyond the last never holds, negated or not.
  EXPECT_FALSE(Holds(system_.properties[1], system_, State({}, {}, {})));
  EXPECT_FALSE(Holds(system_.properties[2], system_, State({}, {}, {})));
  // A missing V reads -1: process 1.
  EXPECT_TRUE(Holds(system_.properties[3], system_, State({}, {}, {})));
}

TEST_F(PropertyTest, LoadingStopsAtTheFirstPropertyWithoutType) {
  LoadProperties({{.type = 0}, {}, {.type = 1}}, 3);
  EXPECT_EQ(system_.propertyCount, 3);
  ASSERT_EQ(system_.properties.size(), 1u);
  EXPECT_TRUE(system_.properties[0].atoms.empty());
  EXPECT_TRUE(Holds(system_.properties[0], system_, State({}, {}, {})));
}

TEST(CompareTest, OnlyRelationCodesOneToSixCompare) {
  EXPECT_TRUE(CompareAtomValue(2, 2, 3));
  EXPECT_FALSE(CompareAtomValue(3, 2, 3));
  EXPECT_TRUE(CompareAtomValue(-1, 6, 0));
  EXPECT_FALSE(CompareAtomValue(1, 7, 1));
}

}  // namespace
}  // namespace tickcheck
