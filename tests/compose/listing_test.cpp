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

TEST(ListingTest, TransitionsAreWrittenWithEveryListInOrder) {
  const std::vector<int32_t> one{0}, two{0, 2}, guards{6, 2}, updates{1, 0, 2, 9}, resets{2, 4},
      example{3, 12}, clock{1};
  CComposedTransition bare;
  bare.procId = one;
  bare.post = 3;
  CComposedTransition urgent = bare;
  urgent.isUrgent = true;
  urgent.noGuard = false;
  urgent.guardExpId = guards;
  urgent.updates = CUpdateList(updates);
  CComposedTransition fromThree = bare;
  fromThree.pre = 3;
  fromThree.post = 0;
  fromThree.resetClockId = resets;
  // The example: a binary synchronisation of processes 0 and 2 from index 5 to 7, unguarded,
  // giving variable 3 the value of expression 12 and resetting clock 1.
  CComposedTransition synchronised;
  synchronised.pre = 5;
  synchronised.post = 7;
  synchronised.procId = two;
  synchronised.updates = CUpdateList(example);
  synchronised.resetClockId = clock;
  std::ostringstream out;
  urgent.print(out, 1, "0", "3");
  bare.print(out, 2, "0", "3");
  fromThree.print(out, 3, "3", "0");
  synchronised.print(out, 4, "5", "7");

  EXPECT_EQ(out.str(), std::string() +
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

TEST(ListingTest, TransitionsAreNumberedAcrossLocationsInIncreasingIndexOrder) {
  // Location 3 is composed before location 1; the listing still starts at index 0.
  const LoadedModel model(Model({Process(
      3, {{.from = 1, .to = 2}, {.from = 1, .to = 3, .urgent = 1}, {.from = 3, .to = 1}})}));
  const auto composition = model.Compose();
  composition->composeLocation(std::vector<int32_t>{3});
  composition->composeLocation(std::vector<int32_t>{2});
  composition->composeLocation(std::vector<int32_t>{1});
  std::string listing = Listing(*composition);
  std::string pres;
  for (size_t at = listing.find("pre = "); at != std::string::npos;
       at = listing.find("pre = ", at + 1))
    pres += listing.substr(at + 6, listing.find('\n', at) - at - 6) + ":" +
            listing.substr(listing.find("post = ", at) + 7, 1) + " ";
  EXPECT_EQ(pres, "0:2 0:1 2:0 ");
  EXPECT_TRUE(listing.starts_with(std::string(kHeading) +
                                  "-----------composed transition1---------------\n"));
  EXPECT_NE(listing.find("-----------composed transition3---------------\n"), std::string::npos);
}

}  // namespace
}  // namespace tickcheck
