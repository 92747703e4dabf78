#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "compose/loaded_model.h"

namespace tickcheck {
namespace {

using testing::LoadedModel;
using testing::Model;
using testing::Process;

constexpr char kHeading[] = "--------------------------Composed Transitions---------\n";

std::string Listing(const CComposition& composition) {
  std::ostringstream out;
  composition.printComposedTransitions(out);
  return out.str();
}

TEST(ListingTest, AnUncomposedCompositionListsTheHeadingOnly) {
  const LoadedModel model(Model({Process(2, {{.from = 1, .to = 2}}), Process(3)}));
  EXPECT_EQ(Listing(*model.Compose()), kHeading);
}

TEST(ListingTest, TransitionsAreNumberedAcrossIndicesInListOrder) {
  const LoadedModel model(Model({Process(8)}));
  const auto composition = model.Compose();
  CComposedTransition bare;
  bare.procId = {0};
  bare.post = 3;
  CComposedTransition urgent = bare;
  urgent.isUrgent = true;
  urgent.noGuard = false;
  urgent.guardExpId = {6, 2};
  urgent.updates = {{1, 0}, {2, 9}};
  CComposedTransition fromThree = bare;
  fromThree.pre = 3;
  fromThree.post = 0;
  fromThree.resetClockId = {2, 4};
  // The example: a binary synchronisation of processes 0 and 2 from index 5 to 7, unguarded,
  // giving variable 3 the value of expression 12 and resetting clock 1.
  CComposedTransition example;
  example.pre = 5;
  example.post = 7;
  example.procId = {0, 2};
  example.updates = {{3, 12}};
  example.resetClockId = {1};
  composition->transitionLists[0] = {urgent, bare};
  composition->transitionLists[3] = {fromThree};
  composition->transitionLists[5] = {example};

  EXPECT_EQ(Listing(*composition), std::string(kHeading) +
                                       "-----------composed transition1---------------\n"
                                       "pre = 0\n"
                                       "post = 3\n"
                                       "procId[0] = 0\n"
                                       "isUrgent : 1\n"
                                       "noGuard : 0\n"
                                       "updateVar1 = 1\n"
                                       "update expId1 = 0\n"
                                       "updateVar2 = 2\n"
                                       "update expId2 = 9\n"
                                       "guard expId1 = 6\n"
                                       "guard expId2 = 2\n"
                                       "-----------composed transition2---------------\n"
                                       "pre = 0\n"
                                       "post = 3\n"
                                       "procId[0] = 0\n"
                                       "isUrgent : 0\n"
                                       "noGuard : 1\n"
                                       "-----------composed transition3---------------\n"
                                       "pre = 3\n"
                                       "post = 0\n"
                                       "procId[0] = 0\n"
                                       "isUrgent : 0\n"
                                       "noGuard : 1\n"
                                       "resetClockId1 = 2\n"
                                       "resetClockId2 = 4\n"
                                       "-----------composed transition4---------------\n"
                                       "pre = 5\n"
                                       "post = 7\n"
                                       "procId[0] = 0\n"
                                       "procId[1] = 2\n"
                                       "isUrgent : 0\n"
                                       "noGuard : 1\n"
                                       "updateVar1 = 3\n"
                                       "update expId1 = 12\n"
                                       "resetClockId1 = 1\n");
}

}  // namespace
}  // namespace tickcheck
