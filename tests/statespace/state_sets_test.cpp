#include <gtest/gtest.h>

#include <list>
#include <random>

#include "model/expression_builder.h"
#include "statespace/state_space.h"
#include "statespace/sweep_set.h"
#include "support/model_run.h"

namespace tickcheck {
namespace {

using testing::ModelRun;

// n (int, 2 bits), aux (Type 3, 1 bit), clocks x (Max 7), y (Max 3) and w (Max 7). Process P:
// l1 lists x (L 2, U 5) and w; l2 lists x likewise and has the invariant x <= 5. Process Q lists
// y, and w in m2 only, so Q owns w.
ModelSpec IntervalModel() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 1, .max = 3},
                     {.name = "aux", .type = 3, .initValue = 0, .max = 1},
                     {.name = "x", .type = 1, .initValue = 0, .max = 7},
                     {.name = "y", .type = 1, .initValue = 0, .max = 3},
                     {.name = "w", .type = 1, .initValue = 0, .max = 7}};
  model.expressions = {{0, Comparison(3, ExpType::kAtMost, 5)}};
  model.constraints = {{0}};
  model.processes = {{.initLocation = 1,
                      .locations = {{.name = "l1", .activeClocks = {{3, 2, 5}, {5, 0, 0}}},
                                    {.name = "l2", .activeClocks = {{3, 2, 5}}, .invariant = 1}}},
                     {.initLocation = 1,
                      .locations = {{.name = "m1", .activeClocks = {{4, 0, 1}}},
                                    {.name = "m2", .activeClocks = {{4, 0, 1}, {5, 0, 6}}}}}};
  return model;
}

class StateSetsTest : public ::testing::Test {
 protected:
  StateSetsTest() : run_(IntervalModel()) { initial_ = run_.Initial(); }

  // The initial state moved to locations (p, q) with clock x at `x`, the others at 0.
  DsState At(int32_t p, int32_t q, int32_t x) {
    rows_.push_back({p, q});
    DsState state = initial_;
    state.locations = rows_.back();
    run_.composition().composeLocation(rows_.back());
    state.locationIndex = run_.composition().Find(rows_.back()).value();
    state.activeClocks = {3, 5, 4};
    state.clockValues = {x, 0, 0};
    return state;
  }
  // The interval that a state stored at `value` covers for `clock` (x: 3, w: 5).
  std::pair<int32_t, int32_t> Interval(int32_t p, int32_t q, int32_t clock, int32_t value) {
    int32_t start = 0;
    int32_t end = 0;
    intervals_.Interval(At(p, q, 0), clock, value, start, end);
    return {start, end};
  }

  ModelRun run_;
  DsState initial_;
  const ClockLimits limits_{run_.system, run_.messages()};
  const ClockIntervals intervals_{run_.system, limits_};
  std::list<std::vector<int32_t>> rows_;
};

TEST_F(StateSetsTest, ClockIntervalsFollowLAndUAndTheLocationLimits) {
  // L = 2, U = 5: above U down to U + 1, at most L exact, in between up to U + 1.
  EXPECT_EQ(Interval(1, 1, 3, 7), std::make_pair(6, 7));
  EXPECT_EQ(Interval(1, 1, 3, 2), std::make_pair(2, 2));
  EXPECT_EQ(Interval(1, 1, 3, 4), std::make_pair(4, 6));
  // The invariant x <= 5 of l2 limits the interval to 5.
  EXPECT_EQ(Interval(2, 1, 3, 4), std::make_pair(4, 5));
  // w has the largest bounds of the current locations that list it: l1's (L 0, U 0) in
  // (l1, m1), where 4 is above U; also m2's (L 0, U 6) in (l1, m2); none in (l2, m1), where
  // only the single value is covered.
  EXPECT_EQ(Interval(1, 1, 5, 4), std::make_pair(1, 4));
  EXPECT_EQ(Interval(1, 2, 5, 4), std::make_pair(4, 7));
  EXPECT_EQ(Interval(2, 1, 5, 4), std::make_pair(4, 4));
}

TEST_F(StateSetsTest, WideningKeepsTheStateAndOnlyIntervalValues) {
  const DsState state = At(1, 1, 4);
  const bdd set = run_.space().BoxDiagram(state, intervals_.Box(state));
  for (int32_t x = 0; x <= 7; ++x) {
    EXPECT_EQ(run_.space().ContainsState(set, At(1, 1, x)), x >= 4 && x <= 6) << "x = " << x;
  }
  DsState otherValue = At(1, 1, 4);
  otherValue.intValues = {2};
  EXPECT_FALSE(run_.space().ContainsState(set, otherValue));
  EXPECT_FALSE(run_.space().ContainsState(set, At(1, 2, 4)));
}

TEST_F(StateSetsTest, CubesFixTheDiscretePartTypeThreeRunsHoldZero) {
  const DsState state = At(1, 1, 4);
  const bdd cube = run_.space().StateCube(state);
  const bdd discrete = run_.space().DiscreteCube(state);
  BddManager& manager = run_.space().manager();
  const int32_t aux = run_.space().encoding().BitBegin(2);
  EXPECT_TRUE(BddManager::Equal(BddManager::And(cube, manager.IthVar(aux)), manager.Zero()));
  EXPECT_TRUE(run_.space().ContainsState(cube, state));
  EXPECT_FALSE(run_.space().ContainsState(cube, At(1, 1, 5)));
  // The discrete cube leaves every clock free.
  EXPECT_TRUE(run_.space().ContainsState(discrete, At(1, 1, 6)));
}

// The sweep's boxes must answer membership exactly as their diagram does, and the one-pass
// diagram must be the union of the boxes' own diagrams.
TEST_F(StateSetsTest, TheSweepSetAnswersLikeItsDiagram) {
  std::mt19937 random(3);
  SweepSet sweep(run_.space(), intervals_);
  auto randomState = [&] {
    DsState state = At(1 + static_cast<int32_t>(random() % 2),
                       1 + static_cast<int32_t>(random() % 2), static_cast<int32_t>(random() % 8));
    state.clockValues[1] = static_cast<int32_t>(random() % 8);
    state.clockValues[2] = static_cast<int32_t>(random() % 4);
    state.intValues = {static_cast<int32_t>(random() % 4)};
    return state;
  };
  bdd diagram = run_.space().manager().Zero();
  for (int round = 0; round < 120; ++round) {
    const DsState state = randomState();
    diagram = BddManager::Or(diagram,
                             run_.space().BoxDiagram(state, sweep.Add(state, random() % 2 == 0)));
  }
  EXPECT_TRUE(BddManager::Equal(sweep.ToBdd(), diagram));
  for (int probe = 0; probe < 400; ++probe) {
    const DsState state = randomState();
    EXPECT_EQ(sweep.Contains(state), run_.space().ContainsState(diagram, state));
  }
  sweep.Clear();
  EXPECT_TRUE(BddManager::Equal(sweep.ToBdd(), run_.space().manager().Zero()));
}

}  // namespace
}  // namespace tickcheck
