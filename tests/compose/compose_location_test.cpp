#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "compose/loaded_model.h"

namespace tickcheck {
namespace {

using testing::LoadedModel;
using testing::Model;
using testing::Process;
using testing::Row;
using Vector = std::vector<int32_t>;

// "post 8 procId 0,1", with " urgent" for an urgent transition; the target as the listing shows
// it (its mixed-radix index).
std::vector<std::string> Describe(const CComposition& composition,
                                  const CComposedTransitionList& list) {
  std::vector<std::string> described;
  for (const CComposedTransition& transition : list) {
    std::ostringstream text;
    text << "post " << composition.Label(transition.post) << " procId ";
    for (size_t k = 0; k < transition.procId.size(); ++k)
      text << (k == 0 ? "" : ",") << transition.procId[k];
    if (transition.isUrgent)
      text << " urgent";
    described.push_back(text.str());
  }
  return described;
}

// A guarded, non-urgent transition from location 0 with the given lists. Its lists are views of the
// arguments: compare it within the expression that makes it.
CComposedTransition Guarded(int64_t post, const Vector& procId, const Vector& updates,
                            const Vector& guards, const Vector& resets, const Vector& target) {
  CComposedTransition transition;
  transition.pre = 0;
  transition.post = post;
  transition.isUrgent = false;
  transition.noGuard = false;
  transition.procId = procId;
  transition.updates = CUpdateList(updates);
  transition.guardExpId = guards;
  transition.resetClockId = resets;
  transition.postLocations = target;
  return transition;
}

TEST(ComposeLocationTest, TwoSendersDoNotPairWhileTwoUntypedJumpsPairBothWays) {
  const LoadedModel senders(Model({Process(2, {{.from = 1, .to = 2, .syn = 3, .synType = 1}}),
                                   Process(2, {{.from = 1, .to = 2, .syn = 3, .synType = 1}})}));
  const auto none = senders.Compose();
  none->composeLocation(Vector{1, 1});
  EXPECT_TRUE(none->Transitions(0).empty());
  EXPECT_EQ(none->transruleSize, 0);

  const LoadedModel untyped(Model({Process(2, {{.from = 1, .to = 2, .syn = 5}}),
                                   Process(2, {{.from = 1, .to = 2, .syn = 5}})}));
  const auto both = untyped.Compose();
  both->composeLocation(Vector{1, 1});
  EXPECT_EQ(Describe(*both, both->Transitions(0)),
            (std::vector<std::string>{"post 3 procId 0,1", "post 3 procId 1,0"}));
}

TEST(ComposeLocationTest, APairGathersBothJumpsInProcessOrderAndIsNeverUrgent) {
  // Channel 3: both jumps guarded; channel 4: neither; channel 5: only the sender.
  const LoadedModel model(Model({
      Process(2, {{.from = 1,
                   .to = 2,
                   .guard = 2,
                   .urgent = 1,
                   .syn = 3,
                   .synType = 1,
                   .assignments = {{4, 0}, {1, 1}}},
                  {.from = 1, .to = 2, .syn = 4, .synType = 1},
                  {.from = 1, .to = 2, .guard = 2, .syn = 5, .synType = 1}}),
      Process(2, {{.from = 1,
                   .to = 1,
                   .guard = 1,
                   .urgent = 1,
                   .syn = 3,
                   .synType = 0,
                   .assignments = {{2, 0}, {3, 2}, {2, 0}}},
                  {.from = 1, .to = 1, .syn = 4, .synType = 0},
                  {.from = 1, .to = 1, .syn = 5, .synType = 0}}),
  }));
  const auto composition = model.Compose();
  composition->composeLocation(Vector{1, 1});
  const std::vector<CComposedTransition> list = composition->Transitions(0).ToVector();
  ASSERT_EQ(list.size(), 3u);

  EXPECT_EQ(list[0],
            Guarded(1, {0, 1}, {4, 0, 1, 1, 2, 0, 3, 2, 2, 0}, {2, 1}, {2, 2, 3, 4}, {2, 1}));
  EXPECT_TRUE(list[1].noGuard);
  EXPECT_FALSE(list[2].noGuard);
  EXPECT_TRUE(std::ranges::equal(list[2].guardExpId, Vector{2}));
}

// Process 0 broadcasts on channel 7. Process 1 listens and has two jumps on the channel in
// location 1 (the first receives) and none in location 3; process 2 does not listen; process 3
// listens through a broadcast jump of location 2 and receives in location 1.
ModelSpec BroadcastModel() {
  return Model({
      Process(2, {{.from = 1,
                   .to = 2,
                   .guard = 2,
                   .syn = 7,
                   .synType = 1,
                   .broadcast = 1,
                   .assignments = {{1, 0}, {4, 0}}}}),
      Process(
          3, {{.from = 1, .to = 2, .syn = 7, .synType = 0, .broadcast = 1, .assignments = {{2, 0}}},
              {.from = 1, .to = 3, .syn = 7, .synType = 0}}),
      Process(2),
      Process(2, {{.from = 1, .to = 2, .guard = 1, .syn = 7, .synType = 0, .assignments = {{3, 0}}},
                  {.from = 2, .to = 1, .syn = 7, .synType = 0, .broadcast = 1}}),
  });
}

TEST(ComposeLocationTest, ABroadcastTakesTheFirstJumpOnItsChannelOfEveryListener) {
  const LoadedModel model(BroadcastModel());
  const auto composition = model.Compose();
  composition->composeLocation(Vector{1, 1, 1, 1});
  EXPECT_EQ(model.messages.Text(), "");
  const Vector target{2, 2, 1, 2};
  EXPECT_EQ(composition->Transitions(0).ToVector(),
            std::vector<CComposedTransition>{
                Guarded(1, {0, 1, 3}, {1, 0, 4, 0, 2, 0, 3, 0}, {2, 1}, {2, 3, 4}, target)});
  EXPECT_EQ(Row(*composition, 1), target);
  // Weights (12, 4, 2, 1).
  EXPECT_EQ(composition->Label(1), "17");

  // In location 3 process 1 has no jump on the channel: no transition, and no message.
  composition->composeLocation(Vector{1, 3, 1, 1});
  EXPECT_EQ(model.messages.Text(), "");
  const int64_t pre = composition->Find(Vector{1, 3, 1, 1}).value();
  EXPECT_TRUE(composition->IsComposed(pre));
  EXPECT_TRUE(composition->Transitions(pre).empty());
  EXPECT_EQ(composition->transruleSize, 1);
}

TEST(ComposeLocationTest, ABroadcastWithoutListenersEndsTheLocationKeepingWhatCameBefore) {
  // Process 0: internal I1, a receiving broadcast on channel 8 (composes nothing, no message), a
  // broadcast on channel 9 that nobody lists, internal I2; process 1: internal J.
  const LoadedModel model(Model({
      Process(2, {{.from = 1, .to = 2},
                  {.from = 1, .to = 2, .syn = 8, .synType = 0, .broadcast = 1},
                  {.from = 1, .to = 2, .syn = 9, .synType = 1, .broadcast = 1},
                  {.from = 1, .to = 1}}),
      Process(2, {{.from = 1, .to = 2}}),
  }));
  const auto composition = model.Compose();
  composition->composeLocation(Vector{1, 1});
  ASSERT_EQ(model.messages.Entries().size(), 1u);
  EXPECT_EQ(model.messages.Entries()[0].kind, MessageKind::kProblem);
  EXPECT_EQ(model.messages.Text(),
            "Error: there must be at least a jump syn with a broadcast edge\n");
  EXPECT_EQ(Describe(*composition, composition->Transitions(0)),
            std::vector<std::string>{"post 2 procId 0"});
  EXPECT_EQ(composition->transruleSize, 1);
}

TEST(ComposeLocationTest, SelfLoopsEmptyLocationsAndForeignVectors) {
  const LoadedModel model(Model({Process(2, {{.from = 1, .to = 1}})}));
  const auto composition = model.Compose();
  composition->composeLocation(Vector{2});
  EXPECT_TRUE(composition->IsComposed(1));
  EXPECT_TRUE(composition->Transitions(1).empty());
  EXPECT_EQ(composition->transruleSize, 0);

  // Composing a location again adds nothing.
  composition->composeLocation(Vector{1});
  composition->composeLocation(Vector{1});
  const std::vector<CComposedTransition> list = composition->Transitions(0).ToVector();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].pre, 0);
  EXPECT_EQ(list[0].post, 0);

  composition->composeLocation(Vector{0});
  composition->composeLocation(Vector{3});
  composition->composeLocation(Vector{1, 1});
  EXPECT_EQ(model.messages.Text(), "");
  EXPECT_EQ(composition->transruleSize, 1);
}

}  // namespace
}  // namespace tickcheck
