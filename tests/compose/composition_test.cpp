#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "compose/loaded_model.h"

namespace tickcheck {
namespace {

using testing::LoadedModel;
using testing::Model;
using testing::Process;
using testing::Row;
using Vector = std::vector<int32_t>;

TEST(CompositionTest, LocationVectorsAreNumberedFromZeroWithTheFirstProcessMostSignificant) {
  const LoadedModel one(Model({Process(5)}));
  const auto single = one.Compose();
  EXPECT_EQ(single->locationWeights, std::vector<int64_t>{1});
  EXPECT_EQ(single->VecToInt(Vector{3}), 2);

  const LoadedModel two(Model({Process(3, {}, 2), Process(4, {}, 3)}));
  const auto pair = two.Compose();
  EXPECT_EQ(pair->locationWeights, (std::vector<int64_t>{4, 1}));
  EXPECT_EQ(pair->VecToInt(Vector{1, 1}), 0);
  EXPECT_EQ(pair->VecToInt(Vector{2, 3}), 6);
  EXPECT_EQ(pair->VecToInt(Vector{3, 4}), 11);
  EXPECT_EQ(pair->initLocationIndex, 6);
}

TEST(CompositionTest, AFreshCompositionHoldsOnlyTheInitialLocation) {
  const LoadedModel model(Model({Process(3, {}, 2), Process(4, {}, 3)}));
  const auto composition = model.Compose();
  EXPECT_EQ(composition->transruleSize, 0);
  EXPECT_EQ(composition->StoredLocations(), 1u);
  for (int64_t index = 0; index < 12; ++index) {
    EXPECT_FALSE(composition->IsComposed(index));
    EXPECT_TRUE(composition->Transitions(index).empty());
    EXPECT_EQ(Row(*composition, index), index == 6 ? (Vector{2, 3}) : Vector{}) << index;
  }
}

TEST(CompositionTest, AProductBeyond32BitsStoresOnlyWhatIsReached) {
  // 2^40 composed locations; the last process moves from 1 to 2, the first from 1 to 2.
  std::vector<ProcessSpec> processes(40, Process(2));
  processes.front().jumps = {{.from = 1, .to = 2}};
  processes.back().jumps = {{.from = 1, .to = 2}};
  const LoadedModel model(Model(processes));
  const auto composition = model.Compose();
  EXPECT_EQ(composition->locationWeights.front(), int64_t{1} << 39);
  Vector initial(40, 1);
  composition->composeLocation(initial);
  const std::vector<CComposedTransition> list = composition->Transitions(0).ToVector();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].post, int64_t{1} << 39);
  EXPECT_EQ(list[1].post, 1);
  Vector moved = initial;
  moved.front() = 2;
  EXPECT_EQ(Row(*composition, int64_t{1} << 39), moved);
  EXPECT_EQ(composition->VecToInt(moved), int64_t{1} << 39);
  EXPECT_EQ(composition->StoredLocations(), 3u);
}

TEST(CompositionTest, TransitionsFromDifferentLocationsShareTheirPayload) {
  const LoadedModel model(
      Model({Process(2, {{.from = 1, .to = 2}}), Process(2, {{.from = 1, .to = 2, .guard = 1}})}));
  const auto composition = model.Compose();
  EXPECT_EQ(composition->locationIndexCount, 4u);
  composition->composeLocation(Vector{1, 1});
  composition->composeLocation(Vector{1, 2});
  composition->composeLocation(Vector{2, 1});
  EXPECT_EQ(composition->transruleSize, 4);
  EXPECT_EQ(composition->composedLocations, 3);
  EXPECT_EQ(composition->StoredPayloads(), 2u);
  const std::vector<CComposedTransition> fromOneTwo = composition->Transitions(1).ToVector();
  ASSERT_EQ(fromOneTwo.size(), 1u);
  EXPECT_EQ(fromOneTwo[0].pre, 1);
  EXPECT_EQ(fromOneTwo[0].post, 3);
  EXPECT_TRUE(fromOneTwo[0].noGuard);
  EXPECT_EQ(Row(*composition, 3), (Vector{2, 2}));
  const std::vector<CComposedTransition> fromTwoOne = composition->Transitions(2).ToVector();
  ASSERT_EQ(fromTwoOne.size(), 1u);
  EXPECT_FALSE(fromTwoOne[0].noGuard);
  EXPECT_TRUE(std::ranges::equal(fromTwoOne[0].procId, Vector{1}));
}

TEST(CompositionTest, ANegativeOrWrappingIndexIsAnOverflow) {
  const LoadedModel one(Model({Process(5)}));
  const auto single = one.Compose();
  EXPECT_EQ(single->VecToInt(Vector{0}), -1);

  // The first weight is 2^61: (5 - 1) * 2^61 is 2^63, the most negative 64-bit value.
  std::vector<ProcessSpec> processes(62, Process(2));
  processes.front() = Process(3);
  const LoadedModel wide(Model(processes));
  const auto composition = wide.Compose();
  Vector beyond(62, 1);
  beyond.front() = 5;
  EXPECT_EQ(composition->VecToInt(beyond), -1);
}

TEST(CanComposeTest, RefusesWhatNoLocationIndexCanHold) {
  ModelSpec named = Model({Process(2), Process(0)});
  named.processes[1].name = "P2";
  ModelSpec missingProcess = Model({Process(2)});
  missingProcess.processNumber = 2;
  ModelSpec missingInit = Model({Process(4)});
  missingInit.processes[0].initLocation.reset();
  std::vector<ProcessSpec> wide(62, Process(2));
  wide.push_back(Process(3));
  const std::pair<ModelSpec, const char*> rows[] = {
      {Model(std::vector<ProcessSpec>(63, Process(2))), ""},
      {named, "process 2 (P2) has no location"},
      {missingProcess, "process 2 has no location"},
      {Model(wide),
       "the product of the location counts (13835058055282163712) exceeds 9223372036854775808"},
      {Model(std::vector<ProcessSpec>(65, Process(2))),
       "the product of the location counts (more than 18446744073709551615) exceeds "
       "9223372036854775808"},
      {Model({Process(2), Process(4, {}, 7)}),
       "[Process2] InitLocation=7: process 2 has 4 locations"},
      {Model({Process(4, {}, 0)}), "[Process1] InitLocation=0: process 1 has 4 locations"},
      {missingInit, "[Process1] InitLocation=-1: process 1 has 4 locations"},
      // The bad jump is the file's third of process 2 and the second that leaves location 3.
      {Model({Process(1),
              Process(4, {{.from = 3, .to = 1}, {.from = 1, .to = 2}, {.from = 3, .to = 9}})}),
       "[Jump2] From=3 (its jump 2) To=9: process 2 has 4 locations"},
      {Model({Process(4, {{.from = 4}})}),
       "[Jump1] From=4 (its jump 1) To=-1: process 1 has 4 locations"},
  };
  for (const auto& [model, reason] : rows) {
    const std::string expected =
        *reason == '\0' ? "" : std::string("ERROR! Model refused: ") + reason + "\n";
    EXPECT_EQ(LoadedModel(model).Refusal(), expected) << reason;
  }
}

}  // namespace
}  // namespace tickcheck
