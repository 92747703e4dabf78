#include "statespace/box_union.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace tickcheck {
namespace {

// The union built box by box, each box as its ranges conjoined in one pass and joined one at a
// time: the construction the one-pass union must equal.
bdd BoxByBox(const BddManager& m, const std::vector<BoxField>& fields,
             const std::vector<FieldInterval>& bounds, size_t boxCount) {
  const std::vector<int32_t> free(static_cast<size_t>(m.VariableCount()), BddManager::kCubeFree);
  bdd result = m.Zero();
  for (size_t b = 0; b < boxCount; ++b) {
    std::vector<BddManager::RangeRun> runs;
    for (size_t f = 0; f < fields.size(); ++f) {
      const FieldInterval& interval = bounds[b * fields.size() + f];
      runs.push_back({fields[f].first, fields[f].first + fields[f].bits - 1,
                      static_cast<int32_t>(interval.min), static_cast<int32_t>(interval.max)});
    }
    result |= m.BoxToBdd(free.data(), m.VariableCount(), runs);
  }
  return result;
}

// Random fields (empty ones, gaps of free variables and one-bit fields among them) and boxes
// whose intervals are points, wide, whole, partly or wholly outside the field, or empty; boxes
// often share fields, so that the union's parts meet again below a field.
TEST(BoxUnionTest, EqualsTheUnionOfTheBoxesBuiltOneByOne) {
  std::mt19937 random(5);
  BddManager m(24);
  BoxUnionScratch scratch;  // shared by all rounds, as the reached set shares it
  for (int round = 0; round < 430; ++round) {
    // The last rounds: many boxes overlapping in every field, with the smallest budget, so that
    // the union is built from halves.
    const bool crowded = round >= 400;
    scratch.idsPerBoxAndField = crowded ? 1 : 32;
    std::vector<BoxField> fields;
    int32_t next = static_cast<int32_t>(random() % 2);
    while (next < 24) {
      const int32_t bits =
          std::min<int32_t>(crowded ? 6 : static_cast<int32_t>(random() % 6), 24 - next);
      fields.push_back({next, bits});
      next += bits + static_cast<int32_t>(!crowded && random() % 4 == 0);
    }
    const size_t boxCount = crowded ? 200 : random() % 9;
    std::vector<FieldInterval> bounds;
    for (size_t b = 0; b < boxCount; ++b) {
      for (size_t f = 0; f < fields.size(); ++f) {
        if (!crowded && b > 0 && random() % 2 == 0) {
          bounds.push_back(bounds[(b - 1) * fields.size() + f]);
          continue;
        }
        const int64_t size = int64_t{1} << fields[f].bits;
        if (crowded) {
          const int64_t min = static_cast<int64_t>(random() % size);
          bounds.push_back({min, min + 3 + static_cast<int64_t>(random() % 17)});
          continue;
        }
        const int64_t min = static_cast<int64_t>(random() % (size + 3)) - 1;
        const int64_t shape = random() % 4;
        const int64_t max = shape == 0   ? min
                            : shape == 1 ? size - 1
                                         : min + static_cast<int64_t>(random() % (size + 2)) - 1;
        bounds.push_back({min, max});
      }
    }
    const bdd expected = BoxByBox(m, fields, bounds, boxCount);
    const bdd built = BoxUnionToBdd(m, fields, bounds, boxCount, scratch);
    ASSERT_TRUE(BddManager::Equal(built, expected)) << "round " << round;
    m.DebugCheck(built);
    if (round == 399) {
      EXPECT_EQ(scratch.splits, 0);
    }
  }
  EXPECT_GT(scratch.splits, 0);
}

}  // namespace
}  // namespace tickcheck
