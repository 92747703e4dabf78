#include "statespace/state_space.h"

#include "statespace/clock_limits.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "model/expression_builder.h"
#include "support/model_run.h"

namespace tickcheck {
namespace {

using testing::ModelRun;

LocationSpec Location(const char* name, std::vector<ActiveClockSpec> clocks = {},
                      std::optional<int32_t> invariant = {}) {
  return LocationSpec{.name = name, .activeClocks = std::move(clocks), .invariant = invariant};
}

// n (int, 3 bits), flag (int, Max 0: 0 bits), aux (Type 3, 1 bit), clocks x (3 bits), y (2 bits),
// z (1 bit); a process of one location, one of three (starting in its second), one of five.
ModelSpec EncodingModel() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 2, .max = 5},
                     {.name = "flag", .type = 0, .initValue = 0, .max = 0},
                     {.name = "aux", .type = 3, .initValue = 0, .max = 1},
                     {.name = "x", .type = 1, .initValue = 0, .max = 7},
                     {.name = "y", .type = 1, .initValue = 1, .max = 3},
                     {.name = "z", .type = 1, .initValue = 0, .max = 1}};
  model.processes = {
      {.name = "One", .initLocation = 1, .locations = {Location("a", {{4, 0, 0}})}},
      {.name = "Three",
       .initLocation = 2,
       .locations = {Location("b", {{4, 0, 0}, {6, 0, 0}}), Location("c", {{5, 0, 0}}),
                     Location("d", {{5, 0, 0}, {6, 0, 0}})}},
      {.name = "Five",
       .initLocation = 4,
       .locations = {Location("e"), Location("f"), Location("g"), Location("h"), Location("i")}}};
  return model;
}

TEST(StateSpaceTest, BitCountsBeginIndexesAndTheInitialState) {
  ModelRun run(EncodingModel());
  const DsState initial = run.Initial();
  EXPECT_EQ(run.console,
            "InitStateSpace\nlocBit: 5\tclkVarBitNum: 6\tnonClkVarBitNum: 4\ntotalBit: 15\n"
            "initStatespace done\n");
  // x is placed by the first process; the second's block holds y (its initial location) and z:
  // the encoding listing below shows every begin index.
  EXPECT_EQ(run.space().encoding().BitBegin(6), 11);

  EXPECT_EQ(initial.intValues, (std::vector<int32_t>{2, 0}));
  EXPECT_EQ(initial.activeClocks, (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(initial.clockValues, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(std::vector<int32_t>(initial.locations.begin(), initial.locations.end()),
            (std::vector<int32_t>{1, 2, 4}));
  EXPECT_EQ(initial.locationIndex, run.composition().initLocationIndex);
}

TEST(StateSpaceTest, TheEncodingListing) {
  ModelRun run(EncodingModel());
  run.Initial();
  std::ostringstream listing;
  run.space().PrintEncoding(listing);
  EXPECT_EQ(listing.str(),
            "-----------StateSpace Output--------------\n"
            "totalBit:\t15\tnonClkVarBitNum:4\tclkVarBitNum:6\tlocBit:5\n"
            "--------coding information---------\n"
            "nonClkVarBitBeginIndex[0] : 0\n"
            "nonClkVarBitBeginIndex[1] : 3\n"
            "proc[0] needs 0bits to encode the location\n"
            "procBitBeginIndex[0] : 4\n"
            "proc[1] needs 2bits to encode the location\n"
            "procBitBeginIndex[1] : 7\n"
            "proc[2] needs 3bits to encode the location\n"
            "procBitBeginIndex[2] : 12\n"
            "procBitBeginIndex[3] : 15\n"
            "clkVarBeginIndex[0][0] : 1\n"
            "clkVarBeginIndex[0][1] : 4\n"
            "clkVarBeginIndex[1][0] : 2\n"
            "clkVarBeginIndex[1][1] : 9\n"
            "clkVarBeginIndex[1][2] : 11\n"
            "clkVarBeginIndex[2][0] : 0\n");
}

// A clock listed twice by one location and by the initial locations of two processes; then
// listed first by a location that is not initial, and still active in the initial state, which
// the second process's initial location lists.
TEST(StateSpaceTest, AClockListedSeveralTimesIsEncodedOnce) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 3, .max = 7}};
  model.processes = {
      {.initLocation = 1, .locations = {Location("a", {{1, 0, 0}, {1, 0, 0}})}},
      {.initLocation = 1, .locations = {Location("b", {{1, 0, 0}}), Location("c", {{1, 0, 0}})}}};
  ModelSpec notInitial = model;
  notInitial.processes[0].locations = {Location("a"), Location("a2", {{1, 0, 0}})};
  // x's run follows the first process's location bits: none with one location, one with two.
  for (const auto& [written, totalBit, xBegin] : {std::tuple{model, 4, 0}, {notInitial, 5, 1}}) {
    ModelRun run(written);
    const DsState initial = run.Initial();
    EXPECT_EQ(run.space().encoding().totalBit(), totalBit);
    EXPECT_EQ(run.space().encoding().clkVarBeginIndex(),
              (std::vector<std::vector<int32_t>>{{1, xBegin}, {0}}));
    EXPECT_EQ(initial.activeClocks, (std::vector<int32_t>{1}));
    EXPECT_EQ(initial.clockValues, (std::vector<int32_t>{3}));
  }
}

TEST(StateSpaceTest, ModelsWithoutVariablesOrWithManyClocksEncode) {
  {
    ModelRun none{ModelSpec{}};
    none.Initial();
    EXPECT_EQ(none.space().encoding().totalBit(), 0);
    EXPECT_TRUE(none.space().encoding().nonClkVarBitBeginIndex().empty());
  }

  // Twenty-five clocks in one process block: the table grows to fit.
  ModelSpec many;
  LocationSpec location = Location("all");
  for (int32_t c = 1; c <= 25; ++c) {
    many.variables.push_back(
        {.name = std::string("c").append(std::to_string(c)), .type = 1, .initValue = 0, .max = 1});
    location.activeClocks.push_back({c, 0, 0});
  }
  many.processes = {{.initLocation = 1, .locations = {location}}};
  ModelRun run(many);
  run.Initial();
  const std::vector<int32_t>& block = run.space().encoding().clkVarBeginIndex()[0];
  ASSERT_EQ(block.size(), 26u);
  EXPECT_EQ(block[0], 25);
  EXPECT_EQ(block[25], 24);
}

TEST(StateSpaceTest, PerLocationLimitsFollowTheInvariantOperators) {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .max = 7},
                     {.name = "z", .type = 1, .initValue = 0, .max = 7}};
  model.expressions = {
      {0, Comparison(2, ExpType::kAtMost, 5)},  {1, Comparison(2, ExpType::kLess, 5)},
      {2, Comparison(2, ExpType::kGreater, 2)}, {3, Comparison(2, ExpType::kEqual, 3)},
      {4, Comparison(2, ExpType::kAtLeast, 2)}, {5, Comparison(1, ExpType::kNotEqual, 1)},
      {6, Comparison(3, ExpType::kAtMost, 3)}};
  model.constraints = {{0}, {1, 2}, {3}, {4, 5, 6}};
  const std::vector<ActiveClockSpec> x = {{2, 0, 0}};
  model.processes = {
      {.initLocation = 1,
       .locations = {Location("l1", x, 1), Location("l2", x, 2), Location("l3", x, 3),
                     Location("l4", x, 4), Location("l5", x)}}};
  ModelRun run(model);
  run.Initial();
  // n != 1 has no limit to give: one report; z, a clock no location lists, gets no limits.
  EXPECT_NE(run.console.find("ERROR! OPTYPE error in setVariableRangeInLoc()\n"),
            std::string::npos);
  EXPECT_EQ(run.console.find("OPTYPE"), run.console.rfind("OPTYPE"));
  const ClockLimits limits(run.system, run.messages());
  EXPECT_EQ(limits.Upper(2), (std::vector<int32_t>{5, 4, 3, -1, -1}));
  EXPECT_EQ(limits.Lower(2), (std::vector<int32_t>{-1, 3, 3, 2, -1}));
  EXPECT_TRUE(limits.Upper(3).empty());
}

}  // namespace
}  // namespace tickcheck
