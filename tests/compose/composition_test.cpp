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

TEST(CompositionTest, ComposedLocationsAreNumberedInTheOrderStoredAndFoundByTheirVectors) {
  const LoadedModel model(
      Model({Process(3, {{.from = 2, .to = 3}}, 2), Process(4, {{.from = 3, .to = 1}}, 3)}));
  const auto composition = model.Compose();
  EXPECT_EQ(composition->StoredLocations(), 1u);
  EXPECT_EQ(composition->initLocationIndex, 0);
  EXPECT_EQ(Row(*composition, 0), (Vector{2, 3}));
  EXPECT_EQ(composition->Find(Vector{2, 3}), 0);
  EXPECT_FALSE(composition->IsComposed(0));
  EXPECT_TRUE(composition->Transitions(0).empty());
  composition->composeLocation(Vector{2, 3});
  EXPECT_TRUE(composition->IsComposed(0));
  EXPECT_EQ(Row(*composition, 1), (Vector{3, 3}));
  EXPECT_EQ(Row(*composition, 2), (Vector{2, 1}));
  EXPECT_EQ(composition->Find(Vector{2, 1}), 2);
  for (const Vector& unknown : {Vector{1, 1}, Vector{2}, Vector{2, 3, 1}})
    EXPECT_EQ(composition->Find(unknown), std::nullopt);
  EXPECT_EQ(Row(*composition, 3), Vector{});
  EXPECT_TRUE(composition->Transitions(-1).empty());
  // The listing's labels: the mixed-radix index, weights (4, 1).
  EXPECT_EQ(composition->Label(0), "6");
  EXPECT_EQ(composition->Label(2), "4");
}

TEST(CompositionTest, AnyNumberOfProcessesComposesAndOnlyWhatIsReachedIsStored) {
  // 2^64 composed locations and more: the last process moves from 1 to 2, the first from 1 to 2.
  for (const size_t count : {40, 64, 65, 300}) {
    std::vector<ProcessSpec> processes(count, Process(2));
    processes.front().jumps = {{.from = 1, .to = 2}};
    processes.back().jumps = {{.from = 1, .to = 2}};
    const LoadedModel model(Model(processes));
    const auto composition = model.Compose();
    Vector initial(count, 1);
    composition->composeLocation(initial);
    const std::vector<CComposedTransition> list = composition->Transitions(0).ToVector();
    ASSERT_EQ(list.size(), 2u);
    Vector first = initial;
    first.front() = 2;
    Vector last = initial;
    last.back() = 2;
    EXPECT_EQ(Row(*composition, list[0].post), first);
    EXPECT_EQ(Row(*composition, list[1].post), last);
    EXPECT_EQ(composition->Find(first), list[0].post);
    EXPECT_EQ(composition->StoredLocations(), 3u);
    // Within 64 bits the listing shows the index; beyond, the vector.
    const std::string label = composition->Label(list[1].post);
    std::string vector = "(";
    for (size_t p = 1; p < count; ++p)
      vector += "1,";
    EXPECT_EQ(label, count < 64 ? "1" : vector + "2)") << count;
  }
}

TEST(CompositionTest, TransitionsFromDifferentLocationsShareTheirPayload) {
  const LoadedModel model(
      Model({Process(2, {{.from = 1, .to = 2}}), Process(2, {{.from = 1, .to = 2, .guard = 1}})}));
  const auto composition = model.Compose();
  EXPECT_EQ(composition->locationIndexCount, 4u);
  // Numbers: (1, 1) 0, then the targets (2, 1) 1 and (1, 2) 2, then (2, 2) 3.
  composition->composeLocation(Vector{1, 1});
  composition->composeLocation(Vector{1, 2});
  composition->composeLocation(Vector{2, 1});
  EXPECT_EQ(composition->transruleSize, 4);
  EXPECT_EQ(composition->composedLocations, 3);
  EXPECT_EQ(composition->StoredPayloads(), 2u);
  const std::vector<CComposedTransition> fromOneTwo = composition->Transitions(2).ToVector();
  ASSERT_EQ(fromOneTwo.size(), 1u);
  EXPECT_EQ(fromOneTwo[0].pre, 2);
  EXPECT_EQ(fromOneTwo[0].post, 3);
  EXPECT_TRUE(fromOneTwo[0].noGuard);
  EXPECT_EQ(Row(*composition, 3), (Vector{2, 2}));
  const std::vector<CComposedTransition> fromTwoOne = composition->Transitions(1).ToVector();
  ASSERT_EQ(fromTwoOne.size(), 1u);
  EXPECT_FALSE(fromTwoOne[0].noGuard);
  EXPECT_TRUE(std::ranges::equal(fromTwoOne[0].procId, Vector{1}));
}

TEST(CanComposeTest, RefusesProcessesWithoutLocationsAndLocationsOutsideTheirProcess) {
  ModelSpec named = Model({Process(2), Process(0)});
  named.processes[1].name = "P2";
  ModelSpec missingProcess = Model({Process(2)});
  missingProcess.processNumber = 2;
  ModelSpec missingInit = Model({Process(4)});
  missingInit.processes[0].initLocation.reset();
  const std::pair<ModelSpec, const char*> rows[] = {
      {Model(std::vector<ProcessSpec>(70, Process(3))), ""},
      {named, "process 2 (P2) has no location"},
      {missingProcess, "process 2 has no location"},
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
