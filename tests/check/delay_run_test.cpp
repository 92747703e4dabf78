#include "check/delay_run.h"

#include <gtest/gtest.h>

#include "support/model_run.h"

namespace tickcheck {
namespace {

using testing::ModelRun;

TEST(DelayRunTest, DelayCopiesStopAtMaxAndLeaveFrozenClocks) {
  ModelSpec model;
  model.processes = {{.name = "P", .initLocation = 1, .locations = {{.name = "l1"}}}};
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .max = 7},
                     {.name = "y", .type = 1, .initValue = 0, .max = 7}};
  model.processes[0].locations[0].activeClocks = {{1, -1, 7}, {2, -1, 7}};
  ModelRun run(model);
  const DsState initial = run.Initial();
  WaitingDsState entry{initial, 5, {2}};
  entry.state.clockValues = {5, 3};
  const DelayRun delays(run.system, entry);
  ASSERT_EQ(delays.Size(), 3);
  EXPECT_EQ(delays.StateAt(0).clockValues, (std::vector<int32_t>{5, 3}));
  EXPECT_EQ(delays.StateAt(1).clockValues, (std::vector<int32_t>{6, 3}));
  EXPECT_EQ(delays.StateAt(2).clockValues, (std::vector<int32_t>{7, 3}));
  // The last copy stands for the equal ones that would follow it.
  EXPECT_EQ(delays.LastPosition(), 4);
  entry.delayCount = 1;
  EXPECT_EQ(DelayRun(run.system, entry).Size(), 1);
  EXPECT_EQ(DelayRun(run.system, entry).LastPosition(), 0);
}

}  // namespace
}  // namespace tickcheck
