#include "model/ds_state.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "model/system.h"

namespace tickcheck {
namespace {

// Appends variables of the given types, numbering the integers as the loader does.
void AddVariables(CSystem& system, std::initializer_list<int32_t> types) {
  for (int32_t type : types) {
    CVariable variable;
    variable.Type = type;
    if (type == VarType::kInteger)
      variable.intValueIndex = system.intVarCount++;
    system.variables.push_back(variable);
  }
}

class VariableValueTest : public ::testing::Test {
 protected:
  void SetUp() override { AddVariables(system_, {0, 0, 1, 1, 1}); }

  CSystem system_;
};

TEST_F(VariableValueTest, IntegersByPositionClocksByTheActiveList) {
  DsState state;
  state.intValues = {3, 9};
  state.activeClocks = {4, 3};
  state.clockValues = {7, 0};
  EXPECT_EQ(VariableValue(system_, state, 2), 9);
  EXPECT_EQ(VariableValue(system_, state, 1), 3);
  EXPECT_EQ(VariableValue(system_, state, 3), 0);
  EXPECT_EQ(VariableValue(system_, state, 4), 7);
  EXPECT_EQ(VariableValue(system_, state, 5), -1);
}

TEST_F(VariableValueTest, IdsOutsideTheTablesGiveZero) {
  DsState state;
  state.intValues = {3};
  EXPECT_EQ(VariableValue(system_, state, 0), 0);
  EXPECT_EQ(VariableValue(system_, state, 6), 0);
  EXPECT_EQ(VariableValue(system_, state, -1), 0);
  EXPECT_EQ(VariableValue(system_, state, 2), 0);  // an integer beyond the state's values
}

TEST(IntegerValueTest, IntegerVariablesDeclaredAfterAClockAreFoundByTheirOwnPosition) {
  CSystem system;
  AddVariables(system, {1, 0, 3, 0});
  DsState state;
  state.intValues = {11, 44};
  EXPECT_EQ(VariableValue(system, state, 2), 11);
  EXPECT_EQ(VariableValue(system, state, 4), 44);
  EXPECT_EQ(IntegerValueIndex(system, state, 3), -1);
}

TEST(DsStateTest, CopiesShareTheLocationRowButNotTheValues) {
  const std::vector<int32_t> row = {1, 2};
  DsState state;
  state.locations = row;
  state.clockValues = {5};
  DsState copy = state;
  copy.clockValues[0] = 6;
  EXPECT_EQ(state.clockValues[0], 5);
  EXPECT_EQ(copy.locations.data(), state.locations.data());
}

}  // namespace
}  // namespace tickcheck
