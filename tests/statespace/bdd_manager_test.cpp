#include "statespace/bdd_manager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace tickcheck {
namespace {

using Entries = std::vector<int32_t>;

// The cube of `value` written over `bits` variables from `first`, most significant bit first.
bdd ValueCube(const BddManager& m, int32_t first, int32_t bits, int64_t value) {
  Entries entries(m.VariableCount(), BddManager::kCubeFree);
  for (int32_t j = 0; j < bits; ++j) {
    entries[first + j] = (value >> (bits - 1 - j)) & 1;
  }
  return m.CubeArrayToBdd(entries.data(), m.VariableCount());
}

// The range built value by value, the plain definition the comparator construction must meet.
bdd Enumerated(const BddManager& m, int32_t first, int32_t bits, int64_t min, int64_t max) {
  bdd result = m.Zero();
  for (int64_t v = min; v <= max; ++v) {
    result = BddManager::Or(result, ValueCube(m, first, bits, v));
  }
  return result;
}

bool Meets(const BddManager& m, const bdd& set, const Entries& entries) {
  const bdd both =
      BddManager::And(set, m.CubeArrayToBdd(entries.data(), static_cast<int32_t>(entries.size())));
  return !BddManager::Equal(both, m.Zero());
}

std::string InfoText(const BddManager& m) {
  std::FILE* file = std::tmpfile();
  m.PrintInfo(file);
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    text.push_back(static_cast<char>(c));
  }
  std::fclose(file);
  return text;
}

// Inserts `count` random complete cubes into a set, one by one.
bdd RandomStates(const BddManager& m, int count, std::mt19937& random) {
  bdd set = m.Zero();
  Entries entries(m.VariableCount());
  for (int k = 0; k < count; ++k) {
    for (int32_t& entry : entries) {
      entry = static_cast<int32_t>(random() & 1);
    }
    set = BddManager::Or(set, m.CubeArrayToBdd(entries.data(), m.VariableCount()));
  }
  return set;
}

TEST(BddManagerRangeTest, EqualsTheEnumerationForEveryRangeOfAFiveBitRun) {
  const BddManager m(12);
  for (int32_t min = 0; min <= 31; ++min) {
    for (int32_t max = 0; max <= 31; ++max) {
      ASSERT_TRUE(
          BddManager::Equal(m.getBddFromExpression(3, 7, max, min), Enumerated(m, 3, 5, min, max)))
          << "[" << min << ", " << max << "]";
    }
  }
  EXPECT_TRUE(BddManager::Equal(getBddFromExpression(m, 3, 7, 20, 9), Enumerated(m, 3, 5, 9, 20)));
}

TEST(BddManagerRangeTest, BoundsOutsideTheRunAreClampedOrEmpty) {
  const BddManager m(40);
  const auto range = [&m](int32_t first, int32_t last, int32_t max, int32_t min) {
    return m.getBddFromExpression(first, last, max, min);
  };
  EXPECT_TRUE(BddManager::Equal(range(3, 7, 32, 30), range(3, 7, 31, 30)));
  EXPECT_TRUE(BddManager::Equal(range(3, 7, INT32_MAX, 0), m.One()));
  EXPECT_TRUE(BddManager::Equal(range(3, 7, 2, -5), range(3, 7, 2, 0)));
  EXPECT_TRUE(BddManager::Equal(range(3, 7, 40, 32), m.Zero()));
  EXPECT_TRUE(BddManager::Equal(range(3, 7, 4, 5), m.Zero()));
  EXPECT_TRUE(BddManager::Equal(range(3, 7, -1, -3), m.Zero()));
  EXPECT_TRUE(BddManager::Equal(range(5, 4, 0, 0), m.One()));
  EXPECT_TRUE(BddManager::Equal(range(5, 4, 3, -2), m.One()));
  EXPECT_TRUE(BddManager::Equal(range(5, 4, 1, 1), m.Zero()));
  EXPECT_TRUE(BddManager::Equal(range(2, 32, INT32_MAX, 0), m.One()));
  EXPECT_TRUE(BddManager::Equal(range(2, 32, INT32_MAX, INT32_MAX - 2),
                                Enumerated(m, 2, 31, INT32_MAX - 2, INT32_MAX)));
  EXPECT_TRUE(BddManager::Equal(range(0, 39, 6, 5), Enumerated(m, 0, 40, 5, 6)));
}

TEST(BddManagerCubeTest, CubeFixesTheListedVariablesOnly) {
  const BddManager m(4);
  const Entries onlyZero{0};
  const Entries cube{1, 0, 2};
  EXPECT_TRUE(BddManager::Equal(m.CubeArrayToBdd(cube.data(), 3),
                                BddManager::And(m.IthVar(0), ValueCube(m, 1, 1, 0))));
  EXPECT_TRUE(BddManager::Equal(m.CubeArrayToBdd(onlyZero.data(), 1), ValueCube(m, 0, 1, 0)));
  EXPECT_TRUE(BddManager::Equal(m.CubeArrayToBdd(nullptr, 0), m.One()));
}

TEST(BddManagerCubeTest, IntersectsCubeAgreesWithConjunction) {
  const BddManager m(14);
  std::mt19937 random(7);
  const auto randomEntries = [&random](int32_t n, int32_t choices) {
    Entries entries(n);
    for (int32_t& entry : entries) {
      entry = static_cast<int32_t>(random() % choices);
    }
    return entries;
  };
  for (int round = 0; round < 300; ++round) {
    bdd set = round % 50 == 0 ? m.One() : m.Zero();
    for (int k = round % 7; k > 0; --k) {
      const Entries cube = randomEntries(14, 3);
      set = BddManager::Or(set, m.CubeArrayToBdd(cube.data(), 14));
    }
    for (int query = 0; query < 20; ++query) {
      const int32_t n = static_cast<int32_t>(random() % 15);
      Entries entries = randomEntries(n, query % 4 == 0 ? 2 : 3);
      if (query == 1) {
        entries.assign(n, BddManager::kCubeFree);
      }
      ASSERT_EQ(m.IntersectsCube(set, entries.data(), n), Meets(m, set, entries))
          << "round " << round << " query " << query;
    }
  }
}

// A box built in one pass must be the conjunction of its cube and its range diagrams.
TEST(BddManagerCubeTest, BoxesEqualTheirCubeConjoinedWithTheRanges) {
  std::mt19937 random(11);
  BddManager manager(14);
  // Runs 2..4 and 9..12; the other variables are fixed or free.
  for (int round = 0; round < 300; ++round) {
    Entries entries(14);
    for (int32_t i = 0; i < 14; ++i)
      entries[i] = static_cast<int32_t>(random() % 3);
    for (int32_t i : {2, 3, 4, 9, 10, 11, 12})
      entries[i] = BddManager::kCubeFree;
    const std::vector<BddManager::RangeRun> runs = {
        {9, 12, static_cast<int32_t>(random() % 18) - 1, static_cast<int32_t>(random() % 18) - 1},
        {2, 4, static_cast<int32_t>(random() % 10) - 1, static_cast<int32_t>(random() % 10) - 1}};
    bdd expected = manager.CubeArrayToBdd(entries.data(), 14);
    for (const BddManager::RangeRun& run : runs) {
      expected &= manager.getBddFromExpression(run.first, run.last, run.max, run.min);
    }
    EXPECT_TRUE(BddManager::Equal(manager.BoxToBdd(entries.data(), 14, runs), expected)) << round;
  }
  // A run without variables holds only 0: an interval without 0 empties the box, also where the
  // run lies at the top, which the pass from the last variable up never reaches.
  const Entries free(14, BddManager::kCubeFree);
  for (int32_t first : {0, 5, 14}) {
    EXPECT_TRUE(BddManager::Equal(manager.BoxToBdd(free.data(), 14, {{first, first - 1, 1, 1}}),
                                  manager.Zero()))
        << first;
  }
}

TEST(BddManagerTest, ZeroVariableManagerAnswersConstantsAndEmptyCubes) {
  const BddManager m(0);
  EXPECT_EQ(m.VariableCount(), 0);
  EXPECT_FALSE(BddManager::Equal(m.Zero(), m.One()));
  EXPECT_TRUE(BddManager::Equal(m.CubeArrayToBdd(nullptr, 0), m.One()));
  EXPECT_TRUE(m.IntersectsCube(m.One(), nullptr, 0));
  EXPECT_FALSE(m.IntersectsCube(m.Zero(), nullptr, 0));
  EXPECT_TRUE(BddManager::Equal(m.getBddFromExpression(0, -1, 0, 0), m.One()));
  m.DebugCheck(m.One());
}

TEST(BddManagerTest, ManagersCanFollowOneAnotherInOneProcess) {
  std::mt19937 random(3);
  for (int32_t round = 0; round < 6; ++round) {
    const BddManager m(round * 7);
    EXPECT_EQ(m.VariableCount(), round * 7);
    const bdd set = RandomStates(m, 500, random);
    m.DebugCheck(set);
    if (round > 0) {
      EXPECT_TRUE(BddManager::Equal(m.getBddFromExpression(0, round * 7 - 1, 9, 4),
                                    Enumerated(m, 0, round * 7, 4, 9)));
    }
  }
}

TEST(BddManagerTest, CollectionsPrintNothingAndInfoShowsTheFigures) {
  const BddManager m(40);
  std::mt19937 random(11);
  testing::internal::CaptureStdout();
  const bdd set = RandomStates(m, 20000, random);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const std::string info = InfoText(m);
  EXPECT_NE(info.find("Variables: 40\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Node table size: "), std::string::npos) << info;
  EXPECT_NE(info.find("Cache entries now (about): "), std::string::npos) << info;
  EXPECT_EQ(info.find("Garbage collections: 0\n"), std::string::npos) << info;
  m.DebugCheck(set);
}

// MakeNode builds nodes directly in the package's table: each one must equal the if-then-else on
// its variable and keep its reference while collections run (a capped table collects often).
TEST(BddManagerTest, MakeNodeIsTheIfThenElseOfItsVariableThroughCollections) {
  constexpr int32_t kVariables = 16;
  const BddManager m(kVariables, 4000);
  std::mt19937 random(3);
  std::vector<bdd> made(64, m.Zero());
  Entries literal(kVariables, BddManager::kCubeFree);
  for (int round = 0; round < 20000; ++round) {
    const auto i = static_cast<int32_t>(random() % kVariables);
    // Children that test only variables below i: earlier results rebuilt on them, or constants.
    const auto child = [&]() {
      bdd below = random() % 4 == 0 ? m.One() : m.Zero();
      for (int32_t v = kVariables - 1; v > i; --v) {
        if (random() % 3 == 0)
          below = m.MakeNode(v, random() % 2 ? below : m.Zero(), random() % 2 ? below : m.One());
      }
      return below;
    };
    const bdd low = child();
    const bdd high = random() % 8 == 0 ? low : child();
    const bdd node = m.MakeNode(i, low, high);
    literal[static_cast<size_t>(i)] = BddManager::kCubeTrue;
    const bdd isTrue = m.CubeArrayToBdd(literal.data(), kVariables);
    literal[static_cast<size_t>(i)] = BddManager::kCubeFalse;
    const bdd isFalse = m.CubeArrayToBdd(literal.data(), kVariables);
    literal[static_cast<size_t>(i)] = BddManager::kCubeFree;
    ASSERT_TRUE(BddManager::Equal(
        node, BddManager::Or(BddManager::And(isTrue, high), BddManager::And(isFalse, low))));
    made[static_cast<size_t>(round) % made.size()] = node;
  }
  for (const bdd& node : made)
    m.DebugCheck(node);
}

void ExhaustACappedNodeTable() {
  const BddManager m(40, 5000);
  std::mt19937 random(5);
  const bdd set = RandomStates(m, 10000, random);
}

void CreateASecondLiveManager() {
  const BddManager first(3);
  const BddManager second(3);
}

void AskForAVariableBeyondTheManager() {
  BddManager(3).IthVar(3);
}

void PassABadCubeEntry() {
  const BddManager m(3);
  const Entries entries{0, 3};
  m.CubeArrayToBdd(entries.data(), 2);
}

// The package's stack of diagrams in progress lands in freed memory full of bytes that are no
// node number, and the node table is filled but for one node: the first operation that goes deep
// then collects garbage while it holds slots of that stack that nothing has written yet.
void CollectDuringTheFirstDeepOperation() {
  constexpr int32_t kVariables = 100;
  {
    std::vector<std::vector<int32_t>> freed;
    for (int k = 0; k < 7; ++k)
      freed.emplace_back(2 * kVariables + 4, 0x7F7F7F7F);
  }
  const BddManager m(kVariables, 20000);
  bdd allTrue = m.One();
  bdd lastFalse = m.MakeNode(kVariables - 1, m.One(), m.Zero());
  for (int32_t i = kVariables - 1; i >= 0; --i) {
    allTrue = m.MakeNode(i, m.Zero(), allTrue);
    if (i < kVariables - 1)
      lastFalse = m.MakeNode(i, m.Zero(), lastFalse);
  }
  // One new node each, by a shallow operation.
  std::vector<bdd> kept;
  for (int32_t level = 0; level < 10; ++level) {
    for (int32_t low = 20; low < kVariables; ++low) {
      for (int32_t high = 20; high < kVariables && bdd_getallocnum() - bdd_getnodenum() > 1;
           ++high) {
        if (low != high)
          kept.push_back(m.MakeNode(level, m.IthVar(low), m.IthVar(high)));
      }
    }
  }
  m.DebugCheck(BddManager::Or(allTrue, lastFalse));
  std::exit(0);
}

TEST(BddManagerDeathTest, ACollectionInTheFirstDeepOperationFollowsNoUnwrittenSlot) {
  EXPECT_EXIT(CollectDuringTheFirstDeepOperation(), testing::ExitedWithCode(0), "^$");
}

TEST(BddManagerDeathTest, NodeTableLimitEndsTheRunAsOutOfMemory) {
  EXPECT_EXIT(ExhaustACappedNodeTable(), testing::ExitedWithCode(1), "^Out of memory\\.\n$");
}

TEST(BddManagerDeathTest, MisuseEndsTheRunAsInternalError) {
  EXPECT_EXIT(CreateASecondLiveManager(), testing::ExitedWithCode(1), "^Internal error\\.\n$");
  EXPECT_EXIT(AskForAVariableBeyondTheManager(), testing::ExitedWithCode(1),
              "^Internal error\\.\n$");
  EXPECT_EXIT(PassABadCubeEntry(), testing::ExitedWithCode(1), "^Internal error\\.\n$");
}

}  // namespace
}  // namespace tickcheck
