#include "statespace/waiting_lists.h"

#include <gtest/gtest.h>

namespace tickcheck {
namespace {

class CompareEntriesTest : public ::testing::Test {
 protected:
  // Clocks x (variable 1, Max 7) and y (variable 2, Max 3), both active.
  CompareEntriesTest() {
    for (const int32_t max : {7, 3}) {
      CVariable clock;
      clock.Type = VarType::kClock;
      clock.Max = max;
      model_.variables.push_back(clock);
    }
  }
  WaitingDsState Entry(int32_t x, int32_t y, int32_t count,
                       std::vector<int32_t> frozen = {}) const {
    WaitingDsState entry{DsState{0, row_, {}, {x, y}, {1, 2}}, count, std::move(frozen)};
    return entry;
  }
  MergeOutcome Compare(const WaitingDsState& fresh, const WaitingDsState& stored,
                       int32_t& merged) const {
    const Merge merge = lists_.Compare(fresh, stored);
    merged = merge.mergedCount;
    return merge.outcome;
  }

  CSystem model_;
  WaitingLists lists_{model_};
  const std::vector<int32_t> row_ = {1};
};

TEST_F(CompareEntriesTest, EqualStatesKeepTheLargerCount) {
  int32_t merged = 0;
  EXPECT_EQ(Compare(Entry(1, 1, 3), Entry(1, 1, 5), merged), MergeOutcome::kStoredExtended);
  EXPECT_EQ(merged, 5);
  EXPECT_EQ(Compare(Entry(1, 1, 5), Entry(1, 1, 3), merged), MergeOutcome::kStoredTakesNew);
  EXPECT_EQ(merged, 5);
  EXPECT_EQ(Compare(Entry(1, 1, 3), Entry(1, 1, 3), merged), MergeOutcome::kCovered);
}

TEST_F(CompareEntriesTest, OneAdvancingClockMergesOverlappingRuns) {
  int32_t merged = 0;
  // y frozen: x is the one advancing clock. Stored at 2 with count 3 covers 2, 3, 4.
  EXPECT_EQ(Compare(Entry(5, 0, 2, {2}), Entry(2, 0, 3, {2}), merged),
            MergeOutcome::kStoredExtended);
  EXPECT_EQ(merged, 5);
  EXPECT_EQ(Compare(Entry(6, 0, 2, {2}), Entry(2, 0, 3, {2}), merged), MergeOutcome::kApart);
  EXPECT_EQ(Compare(Entry(1, 0, 2, {2}), Entry(2, 0, 3, {2}), merged),
            MergeOutcome::kStoredTakesNew);
  EXPECT_EQ(merged, 4);
  // Different frozen values never merge.
  EXPECT_EQ(Compare(Entry(2, 1, 2, {2}), Entry(2, 0, 3, {2}), merged), MergeOutcome::kApart);
}

TEST_F(CompareEntriesTest, SeveralAdvancingClocksMergeAlongTheDiagonal) {
  int32_t merged = 0;
  EXPECT_EQ(Compare(Entry(2, 1, 4), Entry(1, 0, 3), merged), MergeOutcome::kStoredExtended);
  EXPECT_EQ(merged, 5);
  // The merged run never loses states of the longer entry.
  EXPECT_EQ(Compare(Entry(2, 1, 1), Entry(1, 0, 5), merged), MergeOutcome::kStoredExtended);
  EXPECT_EQ(merged, 5);
  // y stops at its Max 3... here Max is 3: (1, 2) delayed by 2 is (3, 3).
  EXPECT_EQ(Compare(Entry(3, 3, 1), Entry(1, 2, 3), merged), MergeOutcome::kStoredExtended);
  EXPECT_EQ(merged, 3);
  EXPECT_EQ(Compare(Entry(3, 1, 1), Entry(1, 0, 3), merged), MergeOutcome::kApart);
  EXPECT_EQ(Compare(Entry(5, 4, 1), Entry(1, 0, 3), merged), MergeOutcome::kApart);
  // x at its Max 7, and y, the first clock below its Max, one lower than in the earlier entry.
  EXPECT_EQ(Compare(Entry(7, 0, 1), Entry(5, 1, 2), merged), MergeOutcome::kApart);
}

}  // namespace
}  // namespace tickcheck
