#include "statespace/waiting_lists.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <random>

#include "support/environment.h"

namespace tickcheck {
namespace {

class CompareEntriesTest : public ::testing::Test {
 protected:
  // Clocks x (variable 1, Max 7) and y (variable 2, Max 3), both active, and z (variable 3, Max
  // 5); two processes.
  CompareEntriesTest() {
    model_.processes.resize(2);
    for (const int32_t max : {7, 3, 5}) {
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

  void ListsMergeAndPopAsAScan(uint32_t seed);

  CSystem model_;
  WaitingLists lists_{model_};
  const std::vector<int32_t> row_ = {1, 1};
};

struct Comparison {
  const char* name;
  WaitingDsState fresh;
  WaitingDsState stored;
  MergeOutcome outcome;
  int32_t merged;  // checked where the outcome extends or replaces the stored entry
};

TEST_F(CompareEntriesTest, EntriesMergeWhenOneDelayRunCoversTheOther) {
  using enum MergeOutcome;
  const std::vector<Comparison> cases = {
      {"equal, stored longer", Entry(1, 1, 3), Entry(1, 1, 5), kStoredExtended, 5},
      {"equal, fresh longer", Entry(1, 1, 5), Entry(1, 1, 3), kStoredTakesNew, 5},
      {"equal, same count", Entry(1, 1, 3), Entry(1, 1, 3), kCovered, 0},
      // y frozen: x is the one advancing clock. Stored at 2 with count 3 covers 2, 3, 4.
      {"one clock, overlap above", Entry(5, 0, 2, {2}), Entry(2, 0, 3, {2}), kStoredExtended, 5},
      {"one clock, gap", Entry(6, 0, 2, {2}), Entry(2, 0, 3, {2}), kApart, 0},
      {"one clock, overlap below", Entry(1, 0, 2, {2}), Entry(2, 0, 3, {2}), kStoredTakesNew, 4},
      {"different frozen values", Entry(2, 1, 2, {2}), Entry(2, 0, 3, {2}), kApart, 0},
      {"diagonal", Entry(2, 1, 4), Entry(1, 0, 3), kStoredExtended, 5},
      // The merged run never loses states of the longer entry.
      {"diagonal, inside", Entry(2, 1, 1), Entry(1, 0, 5), kStoredExtended, 5},
      // y stops at its Max 3: (1, 2) delayed by 2 is (3, 3).
      {"diagonal, y at Max", Entry(3, 3, 1), Entry(1, 2, 3), kStoredExtended, 3},
      {"off the diagonal", Entry(3, 1, 1), Entry(1, 0, 3), kApart, 0},
      {"beyond y's Max", Entry(5, 4, 1), Entry(1, 0, 3), kApart, 0},
      // x at its Max 7, and y, the first clock below its Max, one lower than in the earlier entry.
      {"x at Max, y lower", Entry(7, 0, 1), Entry(5, 1, 2), kApart, 0},
  };
  for (const Comparison& row : cases) {
    const Merge merge = lists_.Compare(row.fresh, row.stored);
    EXPECT_EQ(merge.outcome, row.outcome) << row.name;
    if (row.outcome == kStoredExtended || row.outcome == kStoredTakesNew) {
      EXPECT_EQ(merge.mergedCount, row.merged) << row.name;
    }
  }
}

// The lists against the plainest reading of their rule: one vector per composed location, a new
// entry compared with every stored one oldest first, the next location found by a scan in the
// order of the location vectors. TICKCHECK_RANDOM_MODELS runs from seed TICKCHECK_RANDOM_SEED.
TEST_F(CompareEntriesTest, ListsMergeAndPopAsAScanOfEveryStoredEntryWould) {
  const int64_t runs = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 1);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 16);
  for (int64_t seed = first; seed < first + runs && !HasFatalFailure(); ++seed)
    ListsMergeAndPopAsAScan(static_cast<uint32_t>(seed));
}

void CompareEntriesTest::ListsMergeAndPopAsAScan(uint32_t seed) {
  SCOPED_TRACE(seed);
  // Three composed locations, numbered in another order than that of their vectors, each with
  // its active clocks.
  const std::vector<std::vector<int32_t>> rows = {{2, 1}, {1, 3}, {2, 0}};
  const std::vector<std::vector<int32_t>> active = {{1, 2, 3}, {1, 2}, {2, 3}};
  struct Reference {
    // By location vector: the composed location's number and its list.
    std::map<std::vector<int32_t>, std::pair<int64_t, std::deque<WaitingDsState>>> byRow;
    std::deque<WaitingDsState>& List(const WaitingDsState& entry) {
      const std::vector<int32_t> row(entry.state.locations.begin(), entry.state.locations.end());
      auto& [index, list] = byRow[row];
      index = entry.state.locationIndex;
      return list;
    }
    MergeOutcome Insert(const WaitingLists& rule, const WaitingDsState& entry, bool skipFront) {
      std::deque<WaitingDsState>& list = List(entry);
      for (size_t k = skipFront ? 1 : 0; k < list.size(); ++k) {
        const Merge merge = rule.Compare(entry, list[k]);
        if (merge.outcome == MergeOutcome::kStoredTakesNew)
          list[k].state = entry.state;
        if (merge.outcome != MergeOutcome::kApart && merge.outcome != MergeOutcome::kCovered)
          list[k].delayCount = merge.mergedCount;
        if (merge.outcome != MergeOutcome::kApart)
          return merge.outcome;
      }
      list.push_back(entry);
      return MergeOutcome::kApart;
    }
    std::optional<int64_t> Next(const std::vector<int32_t>& from) const {
      for (const auto& [row, located] : byRow) {
        if (row >= from && !located.second.empty())
          return located.first;
      }
      for (const auto& [row, located] : byRow) {
        if (!located.second.empty())
          return located.first;
      }
      return std::nullopt;
    }
    std::deque<WaitingDsState>& Of(int64_t index) {
      for (auto& [row, located] : byRow) {
        if (located.first == index)
          return located.second;
      }
      return byRow.begin()->second.second;
    }
  };
  std::mt19937 random(seed);
  const std::vector<std::vector<int32_t>> frozen = {{}, {1}, {2}, {3}, {1, 2}, {2, 3}, {5}};
  // Chunks of three records, so that lists cross from chunk to chunk.
  WaitingLists lists(model_, 3 * 6 * sizeof(int32_t));
  Reference reference;
  std::optional<int64_t> current;
  auto draw = [&] {
    WaitingDsState entry;
    entry.state.locationIndex = static_cast<int64_t>(random() % rows.size());
    entry.state.locations = rows[static_cast<size_t>(entry.state.locationIndex)];
    entry.state.activeClocks = active[static_cast<size_t>(entry.state.locationIndex)];
    for (const int32_t clock : entry.state.activeClocks) {
      const auto max = static_cast<uint32_t>(model_.variables[static_cast<size_t>(clock) - 1].Max);
      entry.state.clockValues.push_back(static_cast<int32_t>(random() % (max + 1)));
    }
    entry.state.intValues = {static_cast<int32_t>(random() % 2)};
    // Mostly short runs, some that pass every clock's Max.
    entry.delayCount =
        static_cast<int32_t>(random() % 8 == 0 ? 1 + random() % 12 : 1 + random() % 4);
    entry.frozenClocks = frozen[random() % frozen.size()];
    return entry;
  };
  for (int round = 0; round < 6000; ++round) {
    const WaitingDsState entry = draw();
    const bool skipFront = current && entry.state.locationIndex == *current &&
                           !lists.Empty(*current) && random() % 2 == 0;
    ASSERT_EQ(lists.Insert(entry, skipFront), reference.Insert(lists, entry, skipFront)) << round;
    if (random() % 3 == 0) {
      // A location that never waited counts as before every other.
      const int64_t from = current.value_or(0);
      const std::vector<int32_t>& fromRow = rows[static_cast<size_t>(from)];
      current = lists.NextNonEmpty(from);
      ASSERT_EQ(current, reference.Next(reference.byRow.contains(fromRow) ? fromRow
                                                                          : std::vector<int32_t>{}))
          << round;
      if (!current)
        continue;
      WaitingDsState front;
      lists.Front(*current, front);
      const WaitingDsState& expected = reference.Of(*current).front();
      ASSERT_EQ(front.state.clockValues, expected.state.clockValues) << round;
      ASSERT_EQ(front.state.intValues, expected.state.intValues) << round;
      ASSERT_EQ(front.delayCount, expected.delayCount) << round;
      ASSERT_EQ(front.frozenClocks, expected.frozenClocks) << round;
      ASSERT_EQ(front.state.locationIndex, *current);
      lists.PopFront(*current);
      reference.Of(*current).pop_front();
    }
    size_t size = 0;
    for (const auto& [row, located] : reference.byRow)
      size += located.second.size();
    ASSERT_EQ(lists.Size(), size);
  }
}

}  // namespace
}  // namespace tickcheck
