#include <gtest/gtest.h>

#include <vector>

#include "compose/loaded_model.h"

namespace tickcheck {
namespace {

using testing::CaptureConsole;
using testing::LoadedModel;
using testing::Model;
using testing::Process;
using testing::Row;
using Vector = std::vector<int32_t>;

TEST(CompositionTest, LocationVectorsAreNumberedFromZeroWithTheFirstProcessMostSignificant) {
  const LoadedModel one(Model({Process(5)}));
  const auto single = one.Compose();
  EXPECT_EQ(single->locationWeights, Vector{1});
  EXPECT_EQ(single->VecToInt(Vector{3}), 2);

  const LoadedModel two(Model({Process(3, {}, 2), Process(4, {}, 3)}));
  const auto pair = two.Compose();
  EXPECT_EQ(pair->locationIndexCount, 12);
  EXPECT_EQ(pair->locationWeights, (Vector{4, 1}));
  EXPECT_EQ(pair->VecToInt(Vector{1, 1}), 0);
  EXPECT_EQ(pair->VecToInt(Vector{2, 3}), 6);
  EXPECT_EQ(pair->VecToInt(Vector{3, 4}), 11);
  EXPECT_EQ(pair->initLocationIndex, 6);
}

TEST(CompositionTest, AFreshCompositionHoldsOnlyTheInitialLocation) {
  const LoadedModel model(Model({Process(3, {}, 2), Process(4, {}, 3)}));
  const auto composition = model.Compose();
  EXPECT_EQ(composition->transruleSize, 0);
  ASSERT_EQ(composition->transitionLists.size(), 12u);
  ASSERT_EQ(composition->composedFlags, Vector(12, 0));
  ASSERT_EQ(composition->locationVectors.size(), 24u);
  for (int32_t index = 0; index < 12; ++index) {
    EXPECT_TRUE(composition->transitionLists[static_cast<size_t>(index)].empty());
    EXPECT_EQ(Row(*composition, index), index == 6 ? (Vector{2, 3}) : (Vector{0, 0})) << index;
  }
}

TEST(CompositionTest, ANegativeOrWrappingIndexIsReportedAsOverflow) {
  const LoadedModel one(Model({Process(5)}));
  const auto single = one.Compose();
  int32_t index = 0;
  EXPECT_EQ(CaptureConsole([&] { index = single->VecToInt(Vector{0}); }),
            "ERROR! Overflow in VecToInt()!\n");
  EXPECT_EQ(index, -1);

  const LoadedModel two(Model({Process(3), Process(4)}));
  const auto pair = two.Compose();
  // (536870913 - 1) * 4 is 2^31, which wraps to the most negative 32-bit value.
  EXPECT_EQ(CaptureConsole([&] {
              index = pair->VecToInt(Vector{536870913, 1});
            }),
            "ERROR! Overflow in VecToInt()!\n");
  EXPECT_EQ(index, -1);
}

TEST(CompositionTest, DestructionWritesItsLineOnce) {
  const LoadedModel model(Model({Process(2, {{.from = 1, .to = 2}})}));
  auto untouched = model.Compose();
  EXPECT_EQ(CaptureConsole([&] { untouched.reset(); }), "composition destruct end\n");

  auto composed = model.Compose();
  composed->composeLocation(Vector{1});
  ASSERT_EQ(composed->transruleSize, 1);
  EXPECT_EQ(CaptureConsole([&] { composed.reset(); }), "composition destruct end\n");
}

TEST(CanComposeTest, RefusesAProcessWithoutLocations) {
  ModelSpec named = Model({Process(2), Process(0)});
  named.processes[1].name = "P2";
  EXPECT_EQ(LoadedModel(named).Refusal(), "ERROR! Model refused: process 2 (P2) has no location\n");

  ModelSpec missing = Model({Process(2)});
  missing.processNumber = 2;
  EXPECT_EQ(LoadedModel(missing).Refusal(), "ERROR! Model refused: process 2 has no location\n");
}

TEST(CanComposeTest, RefusesALocationProductBeyondASigned32BitIndex) {
  const LoadedModel wrapping(Model(std::vector<ProcessSpec>(32, Process(2))));
  EXPECT_EQ(wrapping.system.locationProduct, 0);  // the 32-bit product has wrapped
  EXPECT_EQ(wrapping.Refusal(),
            "ERROR! Model refused: the product of the location counts (4294967296) exceeds "
            "2147483647\n");

  const LoadedModel beyond64Bits(Model(std::vector<ProcessSpec>(65, Process(2))));
  EXPECT_EQ(beyond64Bits.Refusal(),
            "ERROR! Model refused: the product of the location counts (more than "
            "18446744073709551615) exceeds 2147483647\n");
}

TEST(CanComposeTest, RefusesTablesLargerThanThisMachinesMemory) {
  // 2^30 composed locations of 1000 processes: 24 bytes of list, 4 of flag and 4000 of row each,
  // some 4.3 TB.
  std::vector<ProcessSpec> processes(30, Process(2));
  processes.resize(1000, Process(1));
  const std::string refusal = LoadedModel(Model(processes)).Refusal();
  const std::string expected =
      "ERROR! Model refused: the composition's tables for 1073741824 composed locations need "
      "4325032067072 bytes, more than the ";
  EXPECT_EQ(refusal.substr(0, expected.size()), expected);
  EXPECT_TRUE(refusal.ends_with(" bytes of this machine's memory\n")) << refusal;
}

TEST(CanComposeTest, RefusesAnInitialLocationOutsideItsProcess) {
  EXPECT_EQ(LoadedModel(Model({Process(2), Process(4, {}, 7)})).Refusal(),
            "ERROR! Model refused: [Process2] InitLocation=7: process 2 has 4 locations\n");
  EXPECT_EQ(LoadedModel(Model({Process(4, {}, 0)})).Refusal(),
            "ERROR! Model refused: [Process1] InitLocation=0: process 1 has 4 locations\n");
  ModelSpec missing = Model({Process(4)});
  missing.processes[0].initLocation.reset();
  EXPECT_EQ(LoadedModel(missing).Refusal(),
            "ERROR! Model refused: [Process1] InitLocation=-1: process 1 has 4 locations\n");
}

TEST(CanComposeTest, RefusesAJumpTargetOutsideItsProcessNamingItsSourceLocation) {
  // The bad jump is the file's third of process 2 and the second that leaves location 3.
  const ProcessSpec bad =
      Process(4, {{.from = 3, .to = 1}, {.from = 1, .to = 2}, {.from = 3, .to = 9}});
  EXPECT_EQ(LoadedModel(Model({Process(1), bad})).Refusal(),
            "ERROR! Model refused: [Jump2] From=3 (its jump 2) To=9: process 2 has 4 locations\n");
  const ProcessSpec missing = Process(4, {{.from = 4}});
  EXPECT_EQ(LoadedModel(Model({missing})).Refusal(),
            "ERROR! Model refused: [Jump1] From=4 (its jump 1) To=-1: process 1 has 4 locations\n");
}

}  // namespace
}  // namespace tickcheck
