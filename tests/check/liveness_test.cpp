// Liveness properties: small models whose answers are derived by hand, and seeded random timed
// models whose liveness properties the checker's search for a lasso decides as the fixpoints over
// the whole state graph do (support/liveness_reference.h), with and without --no-zeno. The runs
// of the binary replay their lassos (support/trace_replay.h). TICKCHECK_RANDOM_MODELS sets how
// many random models are compared (120 by default) and TICKCHECK_RANDOM_SEED the first seed (1).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "check/liveness.h"
#include "model/expression_builder.h"
#include "support/environment.h"
#include "support/liveness_reference.h"
#include "support/model_run.h"
#include "support/process.h"
#include "support/random_models.h"
#include "support/temp_dir.h"
#include "support/trace_replay.h"

namespace tickcheck {
namespace {

using nlohmann::json;

constexpr int32_t kNone = -1;

// A location of the one process: its name, the bound of its invariant x <= bound, and whether
// time may pass in it.
enum class Timing { kPlain, kCommitted, kUrgent };
struct Place {
  std::string name;
  int32_t invariant = kNone;
  Timing timing = Timing::kPlain;
};
// A jump: guard x >= at least (none: no guard), and whether it resets x.
struct Move {
  int32_t from = 1;
  int32_t to = 1;
  int32_t atLeast = kNone;
  bool reset = false;
};

// One process P with clock x (Max 4) active everywhere, initially in its first location, and the
// property `property` over it.
ModelSpec Automaton(const std::vector<Place>& places, const std::vector<Move>& moves,
                    const PropertySpec& property) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 4}};
  model.expressions = {{0, Expr::Const(0).Compile()}};
  auto constraint = [&](int32_t code, int32_t bound) {
    const auto id = static_cast<int32_t>(model.expressions.size());
    model.expressions.emplace(id, Comparison(1, code, bound));
    model.constraints.push_back({id});
    return static_cast<int32_t>(model.constraints.size());
  };
  ProcessSpec process{.name = "P", .initLocation = 1};
  for (const Place& place : places) {
    LocationSpec location{.name = place.name, .activeClocks = {{1, 4, 4}}};
    if (place.invariant != kNone)
      location.invariant = constraint(ExpType::kAtMost, place.invariant);
    if (place.timing == Timing::kCommitted)
      location.committed = 1;
    if (place.timing == Timing::kUrgent)
      location.urgent = 1;
    process.locations.push_back(location);
  }
  for (const Move& move : moves) {
    JumpSpec jump{.from = move.from, .to = move.to, .syn = 0, .synType = 0, .broadcast = 0};
    if (move.atLeast != kNone)
      jump.guard = constraint(ExpType::kAtLeast, move.atLeast);
    if (move.reset)
      jump.assignments.push_back({1, 0});
    process.jumps.push_back(jump);
  }
  model.processes = {process};
  model.properties = {property};
  return model;
}

AtomSpec At(int32_t location, int32_t negated = 0) {
  return {.negated = negated, .variable = -1, .bound = location};
}
PropertySpec Always(AtomSpec atom) {
  return {.type = 2, .atoms = {atom}, .liveness = 1};
}
PropertySpec Eventually(AtomSpec atom) {
  return {.type = 2, .atoms = {atom}, .liveness = 2};
}
PropertySpec LeadsTo(AtomSpec from, AtomSpec to) {
  return {.type = 2, .atoms = {from}, .liveness = 3, .thenAtoms = {to}};
}

// What the trace of a liveness property is.
enum class Shape { kNone, kCycle, kEnd };

struct HandCase {
  const char* name;
  ModelSpec model;
  bool noZeno;
  bool holds;
  Shape shape;
};

// a {x <= 2} --> b, a self-loop on a that resets x: the loop may starve b.
const std::vector<Place> kStarving = {{"a", 2}, {"b"}};
const std::vector<Move> kStarvingMoves = {{1, 1, kNone, true}, {1, 2}};
// a {x <= 2} --> b: the invariant forces the move.
const std::vector<Place> kForced = {{"a", 2}, {"b"}};
const std::vector<Move> kForcedMoves = {{1, 2}};
// a --> b without an invariant: a may wait forever, its clock stopped at its Max.
const std::vector<Place> kIdle = {{"a"}, {"b"}};
// a {x <= 2} --> b with x >= 3: the run ends in a with x = 2, where no step is possible.
const std::vector<Place> kStuck = {{"a", 2}, {"b"}};
const std::vector<Move> kStuckMoves = {{1, 2, 3}};
// a {x <= 0} with a self-loop and a move to b: only a Zeno run avoids b.
const std::vector<Place> kZeno = {{"a", 0}, {"b"}};
const std::vector<Move> kZenoMoves = {{1, 1}, {1, 2}};
// c {x <= 1} --> a (resetting x), then the starving a, b.
const std::vector<Place> kLater = {{"c", 1}, {"a", 2}, {"b"}};
const std::vector<Move> kLaterMoves = {{1, 2, kNone, true}, {2, 2, kNone, true}, {2, 3}};

// a, committed or urgent, --> b: no time passes in a, so the move is forced.
const std::vector<Place> kCommittedStart = {{"a", kNone, Timing::kCommitted}, {"b"}};
const std::vector<Place> kUrgentStart = {{"a", kNone, Timing::kUrgent}, {"b"}};
// a and b committed on a cycle, and b --> c: only the Zeno run round the cycle avoids c.
const std::vector<Place> kCommittedCycle = {
    {"a", kNone, Timing::kCommitted}, {"b", kNone, Timing::kCommitted}, {"c"}};
const std::vector<Move> kCommittedCycleMoves = {{1, 2}, {2, 1}, {2, 3}};
// a committed --> b with x >= 3: no time passes in a and the guard fails, so the run ends there.
const std::vector<Place> kCommittedStuck = {{"a", kNone, Timing::kCommitted}, {"b"}};

std::vector<HandCase> HandCases() {
  return {
      {"self-loop starves", Automaton(kStarving, kStarvingMoves, Eventually(At(2))), false, false,
       Shape::kCycle},
      {"self-loop starves, ticking", Automaton(kStarving, kStarvingMoves, Eventually(At(2))), true,
       false, Shape::kCycle},
      {"self-loop keeps E[]", Automaton(kStarving, kStarvingMoves, Always(At(1))), true, true,
       Shape::kCycle},
      {"invariant forces progress", Automaton(kForced, kForcedMoves, Eventually(At(2))), false,
       true, Shape::kNone},
      {"invariant forbids E[]", Automaton(kForced, kForcedMoves, Always(At(1))), false, false,
       Shape::kNone},
      {"waiting forever", Automaton(kIdle, kForcedMoves, Eventually(At(2))), false, false,
       Shape::kCycle},
      {"deadlock ends the run", Automaton(kStuck, kStuckMoves, Eventually(At(2))), false, false,
       Shape::kEnd},
      {"deadlock ends an E[] run", Automaton(kStuck, kStuckMoves, Always(At(1))), true, true,
       Shape::kEnd},
      {"Zeno cycle starves", Automaton(kZeno, kZenoMoves, Eventually(At(2))), false, false,
       Shape::kCycle},
      {"Zeno cycle left out", Automaton(kZeno, kZenoMoves, Eventually(At(2))), true, true,
       Shape::kNone},
      {"Zeno cycle keeps E[]", Automaton(kZeno, kZenoMoves, Always(At(1))), false, true,
       Shape::kCycle},
      {"Zeno cycle left out of E[]", Automaton(kZeno, kZenoMoves, Always(At(1))), true, false,
       Shape::kNone},
      {"initial state satisfies A<>", Automaton(kIdle, kForcedMoves, Eventually(At(1))), false,
       true, Shape::kNone},
      {"leads-to forced", Automaton(kLater, kLaterMoves, LeadsTo(At(1), At(2))), false, true,
       Shape::kNone},
      {"leads-to starves later", Automaton(kLater, kLaterMoves, LeadsTo(At(2), At(3))), false,
       false, Shape::kCycle},
      {"leads-to in the same state", Automaton(kLater, kLaterMoves, LeadsTo(At(2), At(2))), false,
       true, Shape::kNone},
      {"leads-to from an unreachable state", Automaton(kForced, {}, LeadsTo(At(2), At(1, 1))),
       false, true, Shape::kNone},
      {"committed location forces progress",
       Automaton(kCommittedStart, kForcedMoves, Eventually(At(2))), false, true, Shape::kNone},
      {"urgent location forces progress", Automaton(kUrgentStart, kForcedMoves, Eventually(At(2))),
       false, true, Shape::kNone},
      {"committed cycle starves",
       Automaton(kCommittedCycle, kCommittedCycleMoves, Eventually(At(3))), false, false,
       Shape::kCycle},
      {"committed cycle left out",
       Automaton(kCommittedCycle, kCommittedCycleMoves, Eventually(At(3))), true, true,
       Shape::kNone},
      {"committed cycle keeps E[]",
       Automaton(kCommittedCycle, kCommittedCycleMoves, Always(At(3, 1))), false, true,
       Shape::kCycle},
      {"committed cycle leads to c without Zeno runs",
       Automaton(kCommittedCycle, kCommittedCycleMoves, LeadsTo(At(2), At(3))), true, true,
       Shape::kNone},
      {"committed deadlock ends the run",
       Automaton(kCommittedStuck, kStuckMoves, Eventually(At(2))), false, false, Shape::kEnd},
      {"committed deadlock ends the run without Zeno runs",
       Automaton(kCommittedStuck, kStuckMoves, Always(At(1))), true, true, Shape::kEnd},
  };
}

// The document of a run of the binary with --trace and --json on the model file at `path`.
json RunDocument(const std::string& path, bool noZeno) {
  std::vector<std::string> arguments = {path, "--trace", "--json", "-"};
  if (noZeno)
    arguments.push_back("--no-zeno");
  const testing::ProcessResult result = testing::RunTickcheckBinary(arguments);
  EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3) << path << "\n" << result.err;
  EXPECT_NE(result.err.find("liveness: "), std::string::npos) << result.err;
  return json::parse(result.out);
}

TEST(LivenessTest, SmallModelsHaveTheVerdictsDerivedByHand) {
  testing::TempDir dir;
  for (const HandCase& hand : HandCases()) {
    const std::string path = testing::WriteModel(dir, hand.model);
    const json document = RunDocument(path, hand.noZeno);
    const json& property = document["properties"][0];
    EXPECT_EQ(property["verdict"], hand.holds ? 1 : 0) << hand.name;
    const Shape shape = property["trace"].is_null()          ? Shape::kNone
                        : property["trace"]["cycle"].empty() ? Shape::kEnd
                                                             : Shape::kCycle;
    EXPECT_EQ(shape, hand.shape) << hand.name << "\n" << property.dump();
    EXPECT_EQ(testing::ReplayDocument(path, document), "") << hand.name;

    testing::ModelRun loaded(hand.model);
    const testing::ReferenceLiveness reference =
        testing::DecideLivenessByFixpoints(loaded.system, loaded.composition(), hand.noZeno, 1000);
    EXPECT_EQ(reference.verdicts[0], hand.holds) << hand.name;
  }
}

// The replay is worth something only if it refuses lassos that do not show their property: each
// change of a good lasso, or the lasso replayed against another property of the same automaton,
// is refused.
TEST(LivenessTest, TheReplayRefusesWhatIsNotALasso) {
  testing::TempDir dir;
  struct Change {
    const std::vector<Place>& places;
    const std::vector<Move>& moves;
    PropertySpec made;      // the property whose lasso is changed
    PropertySpec replayed;  // the property it is replayed against
    std::function<void(json&)> change;
    const char* fault;
  };
  const auto same = [](json&) {};
  const std::vector<Change> changes = {
      {kStarving, kStarvingMoves, Eventually(At(2)), Eventually(At(2)),
       [](json& t) {
         t["cycle"][0] = {
             {"delay", 1}, {"jumps", json::array()}, {"state", t["cycle"][0]["state"]}};
       },
       "cycle 1: the state after the delay is not the one shown"},
      {kStarving, kStarvingMoves, Eventually(At(2)), Eventually(At(2)),
       [](json& t) {
         t["cycle"][0] = {{"delay", 1}, {"jumps", json::array()}, {"state", t["initial"]}};
         t["cycle"][0]["state"]["clocks"]["x"] = 1;
       },
       "the cycle does not come back"},
      {kStarving, kStarvingMoves, Eventually(At(2)), Eventually(At(2)),
       [](json& t) { t.erase("cycle"); }, "without a cycle"},
      {kZeno, kZenoMoves, Eventually(At(2)), Eventually(At(2)), same, "the cycle does not tick"},
      {kStuck, kStuckMoves, Eventually(At(2)), Eventually(At(2)),
       [](json& t) {
         t["steps"][0]["delay"] = 1;
         t["steps"][0]["state"]["clocks"]["x"] = 1;
       },
       "the run ends in a state that has a step"},
      {kStarving, kStarvingMoves, Always(At(1)), Eventually(At(1)), same,
       "a state of the run satisfies it"},
      {kStarving, kStarvingMoves, Eventually(At(2)), Always(At(2)), same,
       "a state of the run violates it"},
      {kStarving, kStarvingMoves, Eventually(At(2)), LeadsTo(At(1), At(1)), same,
       "the second formula holds on the cycle"},
      {kStarving, kStarvingMoves, Eventually(At(2)), LeadsTo(At(2), At(2)), same,
       "no state where the first formula holds"},
  };
  for (size_t k = 0; k < changes.size(); ++k) {
    const Change& c = changes[k];
    const std::string made =
        testing::WriteModel(dir, Automaton(c.places, c.moves, c.made), "made.txt");
    json document = RunDocument(made, false);
    ASSERT_EQ(testing::ReplayDocument(made, document), "") << "change " << k;
    c.change(document["properties"][0]["trace"]);
    // The replayed property must show the trace: a verdict that needs one.
    document["properties"][0]["verdict"] = c.replayed.liveness == 1 ? 1 : 0;
    // The Zeno cycle is replayed as the trace of a run with --no-zeno.
    document["options"]["no_zeno"] = &c.places == &kZeno;
    const std::string replayed =
        testing::WriteModel(dir, Automaton(c.places, c.moves, c.replayed), "replayed.txt");
    const std::string fault = testing::ReplayDocument(replayed, document);
    EXPECT_NE(fault.find(c.fault), std::string::npos) << "change " << k << ": " << fault;
  }
}

// The search does not settle a liveness property, so it goes on to its end and reports the
// errors of the model: here the only move leaves its variable's range and is skipped, which
// starves b.
TEST(LivenessTest, AModelWithALivenessPropertyIsSearchedWhole) {
  testing::TempDir dir;
  ModelSpec model = Automaton(kIdle, kForcedMoves, Eventually(At(2)));
  model.variables.push_back({.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 1});
  model.expressions.emplace(1, Expr::Const(2).Compile());
  model.processes[0].jumps[0].assignments = {{2, 1}};
  const std::string path = testing::WriteModel(dir, model);
  const testing::ProcessResult result = testing::RunTickcheckBinary({path});
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_NE(result.out.find("ERROR! Variable n: value 2 outside its range 0 .. 1 after P: a -> "
                            "b; states with such values are skipped\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("property1 : 0\n"), std::string::npos) << result.out;
}

// In a format-2 model a formula that meets a run-time error does not hold there, and the error is
// reported once for its property: here 1 / n with n = 0 everywhere, so E[] of it fails.
TEST(LivenessTest, ARunTimeErrorOfAFormulaIsReportedAndTheFormulaFails) {
  testing::TempDir dir;
  ModelSpec model = Automaton(kIdle, kForcedMoves, {});
  model.format = 2;
  model.variables.push_back({.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 1});
  model.expressions.emplace(
      1, Expr::Op(ExpType::kEqual, Expr::Op(ExpType::kDivide, Expr::Const(1), Expr::Var(2)),
                  Expr::Const(0))
             .Compile());
  model.properties = {{.type = 2, .expression = 1, .liveness = 1}};
  const std::string path = testing::WriteModel(dir, model);
  const testing::ProcessResult result = testing::RunTickcheckBinary({path});
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_NE(result.out.find("ERROR! division by 0 in property 1; it does not hold in such "
                            "states\nproperty1 : 0\n"),
            std::string::npos)
      << result.out;
}

// The random model with its properties replaced by liveness properties over their formulas
// (atoms, or expressions in format 2): E[] and A<> of each, and each leading to the next.
ModelSpec WithLivenessProperties(ModelSpec model) {
  std::vector<PropertySpec> properties;
  const std::vector<PropertySpec>& original = model.properties;
  for (size_t i = 0; i < original.size(); ++i) {
    const PropertySpec& next = original[(i + 1) % original.size()];
    for (const int32_t liveness : {1, 2, 3}) {
      PropertySpec property = original[i];
      property.type = 2;
      property.liveness = liveness;
      if (liveness == 3) {
        property.thenAtoms = next.atoms;
        property.thenExpression = next.expression;
      }
      properties.push_back(std::move(property));
    }
  }
  model.properties = std::move(properties);
  return model;
}

constexpr size_t kStateLimit = 20000;

TEST(LivenessTest, RandomModelsAgreeWithTheFixpoints) {
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 120);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 1);
  int64_t compared = 0;
  int64_t satisfied = 0;
  int64_t incomplete = 0;
  for (int64_t k = 0; k < count; ++k) {
    const uint64_t seed = static_cast<uint64_t>(first + k);
    const testing::RandomModel random = testing::RandomTimedModel(seed);
    const ModelSpec model = WithLivenessProperties(random.records);
    testing::ModelRun run(model);
    for (const bool noZeno : {false, true}) {
      const testing::ReferenceLiveness reference =
          testing::DecideLivenessByFixpoints(run.system, run.composition(), noZeno, kStateLimit);
      if (!reference.complete) {
        ++incomplete;
        break;
      }
      const LivenessResults results =
          DecideLiveness(run.system, run.composition().Messages(), noZeno, false, 0, {});
      ASSERT_EQ(results.end, LivenessResults::End::kComplete);
      EXPECT_EQ(results.verdicts, reference.verdicts)
          << "seed " << seed << (noZeno ? " --no-zeno" : "") << "\n"
          << random.description;
      for (const std::optional<bool>& verdict : reference.verdicts)
        satisfied += verdict.value_or(false) ? 1 : 0;
      compared += static_cast<int64_t>(reference.verdicts.size());
    }
  }
  std::cout << compared << " liveness verdicts compared (" << satisfied << " satisfied), "
            << incomplete << " models too large\n";
  EXPECT_GT(satisfied, compared / 10);
  EXPECT_LT(satisfied, compared * 9 / 10);
}

TEST(LivenessTest, LassosOfRandomModelsReplay) {
  testing::TempDir dir;
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 120) / 10;
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 1);
  int64_t lassos = 0;
  for (int64_t k = 0; k < count; ++k) {
    const uint64_t seed = static_cast<uint64_t>(first + k);
    const testing::RandomModel random = testing::RandomTimedModel(seed);
    const std::string path = testing::WriteModel(dir, WithLivenessProperties(random.records));
    for (const bool noZeno : {false, true}) {
      const json document = RunDocument(path, noZeno);
      EXPECT_EQ(testing::ReplayDocument(path, document), "")
          << "seed " << seed << (noZeno ? " --no-zeno" : "") << "\n"
          << random.description;
      for (const json& property : document["properties"])
        lassos += property["trace"].is_null() ? 0 : 1;
    }
  }
  EXPECT_GT(lassos, count);
}

}  // namespace
}  // namespace tickcheck
