#include "model/system.h"

#include <gtest/gtest.h>

#include <climits>

namespace tickcheck {
namespace {

TEST(BitLengthTest, CountsHalvingsOfMax) {
  EXPECT_EQ(BitLength(0), 0);
  EXPECT_EQ(BitLength(1), 1);
  EXPECT_EQ(BitLength(3), 2);
  EXPECT_EQ(BitLength(4), 3);
  EXPECT_EQ(BitLength(7), 3);
  EXPECT_EQ(BitLength(8), 4);
  EXPECT_EQ(BitLength(INT_MAX), 31);
  // A negative Max (a missing key) ends at once with width 0.
  EXPECT_EQ(BitLength(-1), 0);
  EXPECT_EQ(BitLength(INT_MIN), 0);
}

CProcess ProcessWithLocations(int32_t count) {
  CProcess process;
  process.locationCount = count;
  return process;
}

TEST(LocationProductTest, MultipliesLocationCountsAndWraps) {
  CSystem system;
  EXPECT_EQ(system.computeLocationProduct(), 1);
  system.processes = {ProcessWithLocations(3), ProcessWithLocations(4)};
  EXPECT_EQ(system.computeLocationProduct(), 12);
  EXPECT_EQ(system.locationProduct, 12);
  system.processes.push_back(ProcessWithLocations(0));
  EXPECT_EQ(system.computeLocationProduct(), 0);
  system.processes = {ProcessWithLocations(65536), ProcessWithLocations(65536)};
  EXPECT_EQ(system.computeLocationProduct(), 0);
  system.processes = {ProcessWithLocations(65536), ProcessWithLocations(32768)};
  EXPECT_EQ(system.computeLocationProduct(), INT_MIN);
}

}  // namespace
}  // namespace tickcheck
