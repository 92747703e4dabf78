// The verdicts of the real binary, in its three modes (default, -n, -t), compared with an
// explorer of the plain discrete-time semantics: on the models in which a verdict once went
// wrong, and on a few hundred seeded random timed models. TICKCHECK_RANDOM_MODELS sets how many
// random models are compared (300 by default) and TICKCHECK_RANDOM_SEED the first seed (1).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "check/semantics_explorer.h"
#include "model/expression_builder.h"
#include "model/system.h"
#include "support/environment.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/random_models.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::TempDir;

const std::vector<std::vector<std::string>> kModes = {{}, {"-n"}, {"-t"}};

std::string ModeName(const std::vector<std::string>& options) {
  return options.empty() ? "default" : options[0];
}

// The verdict lines of the binary, as a string of 0s and 1s; the whole output when the run did
// not end with exit code 0 or wrote anything to standard error but its closing summary. With
// `errors`, a run that reports values outside their ranges and run-time errors (exit code 3) also
// gives its verdicts, and `*errors` says whether it did.
std::string BinaryVerdicts(const std::string& path, const std::vector<std::string>& options,
                           bool* errors = nullptr) {
  std::vector<std::string> arguments = {path};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const testing::ProcessResult result = testing::RunTickcheckBinary(arguments);
  std::string err = result.err;
  constexpr std::string_view kErrors = "tickcheck: the model had errors (";
  const bool reported = errors != nullptr && result.exitCode == 3 && err.starts_with(kErrors);
  if (reported) {
    const std::string kinds = err.substr(kErrors.size(), err.find(')') - kErrors.size());
    std::string rest = kinds;
    for (const char* kind : {"variables with values outside their ranges or bits: ",
                             "edges, invariants and properties with run-time errors: "}) {
      const size_t at = rest.find(kind);
      if (at != std::string::npos)
        rest.erase(at, rest.find_first_not_of("0123456789", at + std::strlen(kind)) - at);
    }
    if (rest.find_first_not_of(", ") == std::string::npos)
      err.erase(0, err.find('\n') + 1);
  }
  const bool onlySummary =
      err.empty() || (err.rfind("summary: ", 0) == 0 && err.find('\n') + 1 == err.size());
  if ((result.exitCode != 0 && !reported) || !onlySummary) {
    return "exit code " + std::to_string(result.exitCode) + "\n" + result.out + result.err;
  }
  if (errors != nullptr)
    *errors = reported;
  std::string verdicts;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("property", 0) == 0 && line.size() > 4 && line.find(" : ") != std::string::npos)
      verdicts += line.back();
  }
  return verdicts;
}

struct Reference {
  std::string verdicts;
  int64_t states = 0;
  bool complete = true;
  bool errors = false;  // a value outside its range or a run-time error
};

// The explorer's verdicts; every reachable state visited with `whole`.
Reference ExplorerVerdicts(const ModelSpec& model, int64_t stateLimit = 1'000'000,
                           bool whole = false) {
  TempDir dir;
  const std::string path = testing::WriteModel(dir, model);
  Reference reference;
  // The lines of the load and of the exploration do not matter here.
  CSystem system;
  EXPECT_FALSE(testing::LoadModelFile(system, path, nullptr, true));
  DiscardedMessages messages;
  SemanticsExplorer explorer(system, messages);
  const SemanticsExplorer::Verdicts verdicts =
      explorer.Decide(stateLimit, whole ? SemanticsExplorer::Extent::kWhole
                                        : SemanticsExplorer::Extent::kUntilSettled);
  for (uint8_t result : verdicts.results)
    reference.verdicts += result ? '1' : '0';
  reference.states = verdicts.states;
  reference.complete = verdicts.complete && !verdicts.loopBound;
  reference.errors = verdicts.rangeError || verdicts.runTimeError;
  return reference;
}

// The binary agrees with the explorer and with `expected` in every mode.
void ExpectVerdicts(const ModelSpec& model, const std::string& expected) {
  EXPECT_EQ(ExplorerVerdicts(model).verdicts, expected) << "explorer";
  TempDir dir;
  const std::string path = testing::WriteModel(dir, model);
  for (const std::vector<std::string>& mode : kModes)
    EXPECT_EQ(BinaryVerdicts(path, mode), expected) << ModeName(mode);
}

AtomSpec At(int32_t process, int32_t location, int32_t negated = 0) {
  return AtomSpec{.negated = negated, .variable = -process, .bound = location};
}

JumpSpec Internal(int32_t from, int32_t to, int32_t guard, std::vector<AssignmentSpec> updates) {
  return JumpSpec{.from = from,
                  .to = to,
                  .guard = guard,
                  .urgent = 0,
                  .syn = 0,
                  .synType = 0,
                  .broadcast = 0,
                  .assignments = std::move(updates)};
}

// 64 processes of 4 locations, far more composed locations than a 64-bit index numbers: a token
// `turn` passes twice along the processes. Process i leaves l1 when turn == i - 1, waits 1 or 2
// units in l2 (its clock x_i, invariant x_i <= 2) and passes the token on into l3; the last one
// starts the second round (round := 1, turn := 0), in which each moves on into l4 in turn.
ModelSpec TokenChain(int32_t processes) {
  enum : int32_t { kTurn = 1, kRound = 2 };
  const auto clock = [](int32_t i) { return 2 + i; };
  ModelSpec model;
  model.variables = {{.name = "turn", .type = 0, .initValue = 0, .min = 0, .max = processes},
                     {.name = "round", .type = 0, .initValue = 0, .min = 0, .max = 1}};
  for (int32_t i = 1; i <= processes; ++i) {
    model.variables.push_back({.name = std::string("x").append(std::to_string(i)),
                               .type = 1,
                               .initValue = 0,
                               .min = 0,
                               .max = 4});
  }
  int32_t expressions = 0;
  const auto expression = [&](const ExpressionRecord& record) {
    model.expressions[expressions] = record;
    return expressions++;
  };
  const auto constraint = [&](std::vector<int32_t> conjunction) {
    model.constraints.push_back(std::move(conjunction));
    return static_cast<int32_t>(model.constraints.size());
  };
  const int32_t zero = expression(Expr::Const(0).Compile());
  const int32_t one = expression(Expr::Const(1).Compile());
  const int32_t inRound0 = expression(Comparison(kRound, ExpType::kEqual, 0));
  const int32_t inRound1 = expression(Comparison(kRound, ExpType::kEqual, 1));
  for (int32_t i = 1; i <= processes; ++i) {
    const int32_t myTurn = expression(Comparison(kTurn, ExpType::kEqual, i - 1));
    const int32_t passOn = expression(Expr::Const(i).Compile());
    const int32_t x = clock(i);
    const int32_t stay = constraint({expression(Comparison(x, ExpType::kAtMost, 2))});
    const int32_t waited = constraint({expression(Comparison(x, ExpType::kAtLeast, 1))});
    std::vector<AssignmentSpec> toL3 = {{kTurn, passOn}};
    if (i == processes)
      toL3 = {{kTurn, zero}, {kRound, one}};
    model.processes.push_back(
        {.name = std::string("P").append(std::to_string(i)),
         .initLocation = 1,
         .locations = {{.name = "l1"},
                       {.name = "l2", .activeClocks = {{x, 3, 2}}, .invariant = stay},
                       {.name = "l3"},
                       {.name = "l4"}},
         .jumps = {Internal(1, 2, constraint({myTurn, inRound0}), {}), Internal(2, 3, waited, toL3),
                   Internal(3, 4, constraint({myTurn, inRound1}), {{kTurn, passOn}})}});
  }
  const int32_t middle = processes / 2;
  const auto clockAtLeast = [&](int32_t bound) {
    return AtomSpec{.negated = 0, .variable = clock(middle), .bound = bound, .relation = 3};
  };
  model.properties = {
      {.type = 0, .atoms = {At(processes, 4)}},
      {.type = 0, .atoms = {At(1, 4), At(2, 2)}},
      {.type = 1, .atoms = {{.negated = 0, .variable = kTurn, .bound = processes, .relation = 5}}},
      {.type = 0, .atoms = {At(middle, 2), clockAtLeast(2)}},
      {.type = 0, .atoms = {At(middle, 2), clockAtLeast(3)}}};
  return model;
}

TEST(VerdictsTest, SixtyFourProcessesOfFourLocations) {
  ExpectVerdicts(TokenChain(64), "10110");
}

// Two waiting entries of t whose first advancing clock below its Max is one lower in the later
// entry than in the earlier one: (a 4, b 1) fired from s1 with two delays, (a 6, b 0) from s2.
// They must stay apart, or t with b == 0 is lost. b is 0 on the way through s2 because s2 does
// not carry it, or, with `resetInS2`, because s1 -> s2 assigns it; then both entries of t have
// the same frozen clocks.
ModelSpec ShiftOfMinusOne(bool resetInS2) {
  enum : int32_t { kA = 1, kB = 2, kC = 3 };
  ModelSpec model;
  model.variables = {{.name = "a", .type = 1, .initValue = 4, .min = 0, .max = 6},
                     {.name = "b", .type = 1, .initValue = 1, .min = 0, .max = 3},
                     {.name = "c", .type = 1, .initValue = 0, .min = 0, .max = 1}};
  model.expressions = {{0, Comparison(kA, ExpType::kAtMost, 5)},
                       {1, Comparison(kA, ExpType::kAtLeast, 6)},
                       {2, Expr::Const(0).Compile()}};
  model.constraints = {{0}, {1}};
  LocationSpec s2{.name = "s2", .activeClocks = {{kA, -1, -1}}};
  std::vector<AssignmentSpec> toS2;
  if (resetInS2) {
    s2.activeClocks.push_back({kB, 0, 0});
    toS2.push_back({kB, 2});
  }
  model.processes = {{.name = "P",
                      .initLocation = 1,
                      .locations = {{.name = "s1", .activeClocks = {{kA, 6, 5}, {kB, 0, 0}}},
                                    s2,
                                    {.name = "t", .activeClocks = {{kA, -1, -1}, {kB, 0, 0}}},
                                    {.name = "u", .activeClocks = {{kC, -1, -1}}}},
                      .jumps = {Internal(1, 3, 1, {{kC, 2}}), Internal(1, 2, 2, toS2),
                                Internal(2, 3, 0, {{kC, 2}})}}};
  model.properties = {
      {.type = 0, .atoms = {At(1, 3), {.negated = 0, .variable = kB, .bound = 0, .relation = 1}}}};
  return model;
}

TEST(VerdictsTest, EntriesWhoseShiftIsMinusOneStayApart) {
  ExpectVerdicts(ShiftOfMinusOne(false), "1");
  ExpectVerdicts(ShiftOfMinusOne(true), "1");
}

// C needs y >= 3, which only waiting in A gives, though nothing in A compares y.
TEST(VerdictsTest, WaitingCountsForAClockThatOnlyALaterGuardCompares) {
  enum : int32_t { kX = 1, kY = 2 };
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 4},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 4}};
  model.expressions = {{0, Comparison(kX, ExpType::kAtMost, 0)},
                       {1, Comparison(kY, ExpType::kAtLeast, 3)},
                       {2, Expr::Const(0).Compile()}};
  model.constraints = {{0, 1}};
  model.processes = {{.name = "P",
                      .initLocation = 1,
                      .locations = {{.name = "A", .activeClocks = {{kX, -1, -1}, {kY, 3, -1}}},
                                    {.name = "B", .activeClocks = {{kX, -1, 0}, {kY, 3, -1}}},
                                    {.name = "C"}},
                      .jumps = {Internal(1, 2, 0, {{kX, 2}}), Internal(2, 3, 1, {})}}};
  model.properties = {{.type = 0, .atoms = {At(1, 3)}}};
  ExpectVerdicts(model, "1");
}

// Two clocks x and y of one process, Max 9, active everywhere; location A must be left while
// x <= 6; the jump A -> B assigns y := 0, so B's waiting entries stand for firing A -> B at
// several delays: x advances along them, y does not. B -> C has the guard `guard` && y <= 1.
// `bounds` are the L and U of x and y in A, B and C.
ModelSpec ResetInBetween(const ExpressionRecord& guard, const std::vector<ActiveClockSpec>& bounds,
                         std::vector<AtomSpec> property) {
  enum : int32_t { kX = 1, kY = 2 };
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 9},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 9}};
  model.expressions = {{0, Comparison(kX, ExpType::kAtMost, 6)},
                       {1, Expr::Const(0).Compile()},
                       {2, guard},
                       {3, Comparison(kY, ExpType::kAtMost, 1)}};
  model.constraints = {{0}, {2, 3}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "A", .activeClocks = {bounds[0], bounds[1]}, .invariant = 1},
                     {.name = "B", .activeClocks = {bounds[2], bounds[3]}},
                     {.name = "C", .activeClocks = {bounds[4], bounds[5]}}},
       .jumps = {Internal(1, 2, 0, {{kY, 1}}), Internal(2, 3, 2, {})}}};
  property.insert(property.begin(), At(1, 3));
  model.properties = {{.type = 0, .atoms = std::move(property)}};
  return model;
}

// C needs x >= 5 and y <= 1: B's entry starts at x = 0, where 5 units of waiting are too many for
// y, but the same entry's state at x = 4 fires after one unit.
TEST(VerdictsTest, ALaterStateOfAnEntryFiresWhereItsFirstCannot) {
  ExpectVerdicts(ResetInBetween(Comparison(1, ExpType::kAtLeast, 5),
                                {{1, 5, 6}, {2, -1, -1}, {1, 5, -1}, {2, -1, 1}, {1}, {2}}, {}),
                 "1");
}

// C needs x <= 1 and y <= 1, so x - y, which waiting keeps, is at most 1 in C: B's states with
// x >= 2 must not fire at once, or C is reached with x == 3 and y == 0.
TEST(VerdictsTest, AStateBeyondTheGuardsUpperBoundDoesNotFire) {
  ExpectVerdicts(ResetInBetween(Comparison(1, ExpType::kAtMost, 1),
                                {{1, 3, 6}, {2, 0, 0}, {1, 3, 3}, {2, 0, 1}, {1, 3, 3}, {2, 0, 0}},
                                {{.negated = 0, .variable = 1, .bound = 3, .relation = 1},
                                 {.negated = 0, .variable = 2, .bound = 0, .relation = 1}}),
                 "0");
}

// x <= 3 holds for ever once x stands at its Max 3: A may wait until y >= 5.
TEST(VerdictsTest, AnInvariantThatHoldsAtTheClocksMaxDoesNotEndTheWaiting) {
  enum : int32_t { kX = 1, kY = 2 };
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 3},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 9}};
  model.expressions = {{0, Comparison(kX, ExpType::kAtMost, 3)},
                       {1, Comparison(kY, ExpType::kAtLeast, 5)}};
  model.constraints = {{0}, {1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "A", .activeClocks = {{kX, -1, 3}, {kY, 5, -1}}, .invariant = 1},
                     {.name = "B"}},
       .jumps = {Internal(1, 2, 2, {})}}};
  model.properties = {{.type = 0, .atoms = {At(1, 2)}}};
  ExpectVerdicts(model, "1");
}

// An invariant over an integer keeps its answer while time passes: A may wait until x >= 3.
TEST(VerdictsTest, AnInvariantOverAnIntegerBoundsNoDelay) {
  enum : int32_t { kN = 1, kX = 2 };
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 5}};
  model.expressions = {{0, Comparison(kN, ExpType::kAtMost, 1)},
                       {1, Comparison(kX, ExpType::kAtLeast, 3)}};
  model.constraints = {{0}, {1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "A", .activeClocks = {{kX, 3, -1}}, .invariant = 1}, {.name = "B"}},
       .jumps = {Internal(1, 2, 2, {})}}};
  model.properties = {{.type = 0, .atoms = {At(1, 2)}}};
  ExpectVerdicts(model, "1");
}

// y becomes active in B at 0 whenever A -> B fires, while x keeps what waiting in A gave it: B
// with x == 3 and y == 0 is reached by firing at 3, not by waiting in B.
TEST(VerdictsTest, AClockThatAJumpMakesActiveStartsAtZeroWhateverTheFiringDelay) {
  enum : int32_t { kX = 1, kY = 2 };
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 9},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 9}};
  model.processes = {{.name = "P",
                      .initLocation = 1,
                      .locations = {{.name = "A", .activeClocks = {{kX, 3, 3}}},
                                    {.name = "B", .activeClocks = {{kX, 3, 3}, {kY, 0, 0}}}},
                      .jumps = {Internal(1, 2, 0, {})}}};
  model.properties = {{.type = 0,
                       .atoms = {At(1, 2),
                                 {.negated = 0, .variable = kX, .bound = 3, .relation = 1},
                                 {.negated = 0, .variable = kY, .bound = 0, .relation = 1}}}};
  ExpectVerdicts(model, "1");
}

// Clock x of P is also listed by Q's location m2, which makes Q its owner; Q stays in m1, which
// does not list x. P's l1 gives x its bounds: P waits in l1 until x > 1.
TEST(VerdictsTest, AClockListedByTwoProcessesHasTheBoundsOfTheLocationsThatListIt) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 3}};
  model.expressions = {{0, Comparison(1, ExpType::kGreater, 1)}};
  model.constraints = {{0}};
  model.processes = {{.name = "P",
                      .initLocation = 1,
                      .locations = {{.name = "l1", .activeClocks = {{1, 1, -1}}}, {.name = "l2"}},
                      .jumps = {Internal(1, 2, 1, {})}},
                     {.name = "Q",
                      .initLocation = 1,
                      .locations = {{.name = "m1"}, {.name = "m2", .activeClocks = {{1, 1, -1}}}}}};
  model.properties = {{.type = 0, .atoms = {At(1, 2)}}};
  ExpectVerdicts(model, "1");
}

// A light stays on at most 5 time units: "always (on implies x <= 4)" fails when it has been on
// for 5, a value that only waiting reaches. x is carried only while the light is on.
TEST(VerdictsTest, AClockPropertyIsDecidedOnEveryDelay) {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 6}};
  model.expressions = {{0, Comparison(1, ExpType::kAtMost, 5)}, {1, Expr::Const(0).Compile()}};
  model.constraints = {{0}};
  model.processes = {
      {.name = "Light",
       .initLocation = 1,
       .locations = {{.name = "off"}, {.name = "on", .activeClocks = {{1, 5, 5}}, .invariant = 1}},
       .jumps = {Internal(1, 2, 0, {{1, 1}}), Internal(2, 1, 0, {})}}};
  model.properties = {
      {.type = 1, .atoms = {{.negated = 0, .variable = 1, .bound = 4, .relation = 4}}},
      {.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 5, .relation = 1}}},
      {.type = 1, .atoms = {{.negated = 0, .variable = 1, .bound = 5, .relation = 5}}}};
  ExpectVerdicts(model, "011");
}

// A location atom of process 0 or of a process beyond the last never holds, negated or not. A
// property of a Type other than 0 and 1 holds whatever it asks.
TEST(VerdictsTest, ALocationAtomThatNamesNoProcessNeverHolds) {
  ModelSpec model;
  model.processes = {{.name = "P", .initLocation = 1, .locations = {{.name = "l1"}}}};
  model.properties = {{.type = 0, .atoms = {At(0, 1, 1)}},
                      {.type = 0, .atoms = {At(2, 1, 1)}},
                      {.type = 1, .atoms = {At(2, 1, 1)}},
                      {.type = 0, .atoms = {At(1, 1, 1)}},
                      {.type = 2, .atoms = {At(1, 1, 1)}}};
  ExpectVerdicts(model, "00001");
}

// Small models of the timing rules, built one comparison at a time: each clock is listed with
// generous bounds (L and U 9) by the locations that name it.
class SmallModel {
 public:
  int32_t Clock(const std::string& name) { return Variable(name, 1, 0, 9); }
  int32_t Integer(const std::string& name, int32_t init, int32_t max) {
    return Variable(name, 0, init, max);
  }
  // The constraint number of the conjunction of `comparisons` (variable, relation, bound).
  int32_t When(const std::vector<std::array<int32_t, 3>>& comparisons) {
    std::vector<int32_t> ids;
    for (const auto& [variable, relation, bound] : comparisons)
      ids.push_back(Expression(Comparison(variable, relation, bound)));
    model.constraints.push_back(ids);
    return static_cast<int32_t>(model.constraints.size());
  }
  AssignmentSpec Set(int32_t variable, int32_t value) {
    return {variable, Expression(Expr::Const(value).Compile())};
  }
  static LocationSpec At(const std::string& name, const std::vector<int32_t>& clocks = {},
                         int32_t invariant = 0) {
    LocationSpec location{.name = name, .invariant = invariant};
    for (int32_t clock : clocks)
      location.activeClocks.push_back({clock, 9, 9});
    return location;
  }
  static LocationSpec Committed(LocationSpec location) {
    location.committed = 1;
    return location;
  }
  static LocationSpec Urgent(LocationSpec location) {
    location.urgent = 1;
    return location;
  }
  void Process(const std::string& name, std::vector<LocationSpec> locations,
               std::vector<JumpSpec> jumps) {
    model.processes.push_back({.name = name,
                               .initLocation = 1,
                               .locations = std::move(locations),
                               .jumps = std::move(jumps)});
  }
  void Reachable(std::vector<AtomSpec> atoms) {
    model.properties.push_back({.type = 0, .atoms = std::move(atoms)});
  }
  // A property expression (format 2): reachable with type 0, always with type 1.
  void Property(int32_t type, const Expr& expression) {
    model.format = 2;
    model.properties.push_back({.type = type, .expression = Expression(expression.Compile())});
  }

  ModelSpec model;

 private:
  int32_t Variable(const std::string& name, int32_t type, int32_t init, int32_t max) {
    model.variables.push_back(
        {.name = name, .type = type, .initValue = init, .min = 0, .max = max});
    return static_cast<int32_t>(model.variables.size());
  }
  int32_t Expression(const ExpressionRecord& record) {
    const auto id = static_cast<int32_t>(model.expressions.size());
    model.expressions.emplace(id, record);
    return id;
  }
};

// A jump from `from` to `to` with a guard (constraint number, 0 for none), assignments and a
// synchronisation: `synType` 1 sends on `channel`, 0 receives; `broadcast` marks it.
JumpSpec Edge(int32_t from, int32_t to, int32_t guard = 0, std::vector<AssignmentSpec> updates = {},
              int32_t channel = 0, int32_t synType = 0, bool broadcast = false,
              bool urgent = false) {
  return JumpSpec{.from = from,
                  .to = to,
                  .guard = guard,
                  .urgent = urgent ? 1 : 0,
                  .syn = channel,
                  .synType = synType,
                  .broadcast = broadcast ? 1 : 0,
                  .assignments = std::move(updates)};
}

AtomSpec ClockIs(int32_t clock, int32_t value) {
  return {.negated = 0, .variable = clock, .bound = value, .relation = 1};
}

struct TimingCase {
  const char* name;
  std::function<ModelSpec()> model;
  std::string expected;  // the verdict of each property
};

// Each rule and each interaction of two, with verdicts derived by hand; the variants without the
// rule show what it changes.
TEST(VerdictsTest, TimingRulesGiveTheirHandDerivedVerdicts) {
  constexpr int32_t kEq = ExpType::kEqual;
  constexpr int32_t kGe = ExpType::kAtLeast;
  constexpr int32_t kLe = ExpType::kAtMost;
  constexpr int32_t kBroadcast = 3;
  // P leaves a committed location setting n := 1; Q's edge needs n == 0, so only a step of Q
  // before P's could take it, and the committed location forbids that.
  auto committedBlocks = [](bool committed) {
    SmallModel m;
    const int32_t n = m.Integer("n", 0, 1);
    m.Process("P",
              {committed ? SmallModel::Committed(SmallModel::At("c0")) : SmallModel::At("c0"),
               SmallModel::At("c1")},
              {Edge(1, 2, 0, {m.Set(n, 1)})});
    m.Process("Q", {SmallModel::At("q0"), SmallModel::At("q1")},
              {Edge(1, 2, m.When({{n, kEq, 0}}))});
    m.Reachable({At(2, 2)});
    m.Reachable({At(1, 2)});
    return m.model;
  };
  // Time cannot pass in an urgent location: x never reaches 1 there.
  auto urgentLocation = [](bool urgent) {
    SmallModel m;
    const int32_t x = m.Clock("x");
    const LocationSpec u = SmallModel::At("u", {x});
    m.Process("P", {urgent ? SmallModel::Urgent(u) : u, SmallModel::At("v")},
              {Edge(1, 2, m.When({{x, kGe, 1}}))});
    m.Reachable({At(1, 2)});
    m.Reachable({ClockIs(x, 1)});
    return m.model;
  };
  // P and Q can synchronise on channel 1 at once; R's edge needs x >= 2. While the channel is
  // urgent, R cannot wait for its guard before the synchronisation.
  auto urgentChannel = [](bool urgent) {
    SmallModel m;
    const int32_t x = m.Clock("x");
    if (urgent)
      m.model.urgentChannels = {1};
    m.Process("P", {SmallModel::At("p0"), SmallModel::At("p1")}, {Edge(1, 2, 0, {}, 1, 1)});
    m.Process("Q", {SmallModel::At("q0"), SmallModel::At("q1")}, {Edge(1, 2, 0, {}, 1, 0)});
    m.Process("R", {SmallModel::At("r0", {x}), SmallModel::At("r1")},
              {Edge(1, 2, m.When({{x, kGe, 2}}))});
    m.Reachable({At(3, 2), At(1, 1)});
    m.Reachable({At(3, 2)});
    m.Reachable({ClockIs(x, 1), At(1, 1)});
    return m.model;
  };
  // The synchronisation on the urgent channel needs x >= 2 (model files may guard it with a
  // clock): time passes up to x == 2 and stops there, before z reaches 3.
  auto urgentChannelWithClockGuard = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    const int32_t z = m.Clock("z");
    m.model.urgentChannels = {1};
    m.Process("P", {SmallModel::At("p0", {x}), SmallModel::At("p1")},
              {Edge(1, 2, m.When({{x, kGe, 2}}), {}, 1, 1)});
    m.Process("Q", {SmallModel::At("q0"), SmallModel::At("q1")}, {Edge(1, 2, 0, {}, 1, 0)});
    m.Process("R", {SmallModel::At("r0", {z}), SmallModel::At("r1")},
              {Edge(1, 2, m.When({{z, kGe, 3}}))});
    m.Reachable({At(3, 2), At(1, 1)});
    m.Reachable({At(3, 2)});
    m.Reachable({ClockIs(z, 2), At(1, 1)});
    return m.model;
  };
  // P broadcasts; the only listener's receiving edge needs n == 1, which never holds. Under the
  // usual rule P sends alone; under the old one the disabled receiver blocks it.
  auto disabledListener = [](bool usual) {
    SmallModel m;
    const int32_t n = m.Integer("n", 0, 1);
    if (usual)
      m.model.broadcastRule = 1;
    m.Process("P", {SmallModel::At("p0"), SmallModel::At("p1")},
              {Edge(1, 2, 0, {}, kBroadcast, 1, true)});
    m.Process("Q", {SmallModel::At("q0"), SmallModel::At("q1")},
              {Edge(1, 2, m.When({{n, kEq, 1}}), {}, kBroadcast, 0, true)});
    m.Reachable({At(1, 2)});
    m.Reachable({At(2, 2)});
    return m.model;
  };
  // Q has two enabled receiving edges: either target is reached, and Q always takes part.
  auto twoReceivingEdges = [] {
    SmallModel m;
    m.model.broadcastRule = 1;
    m.Process("P", {SmallModel::At("p0"), SmallModel::At("p1")},
              {Edge(1, 2, 0, {}, kBroadcast, 1, true)});
    m.Process("Q", {SmallModel::At("q0"), SmallModel::At("q1"), SmallModel::At("q2")},
              {Edge(1, 2, 0, {}, kBroadcast, 0, true), Edge(1, 3, 0, {}, kBroadcast, 0, true)});
    m.Reachable({At(2, 2)});
    m.Reachable({At(2, 3)});
    m.Reachable({At(1, 2), At(2, 1)});
    return m.model;
  };
  // Q's receiving edge is guarded by its clock: a broadcast at y <= 1 takes Q along, a later one
  // leaves it behind.
  auto clockGuardedListener = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    const int32_t y = m.Clock("y");
    m.model.broadcastRule = 1;
    m.Process("P", {SmallModel::At("p0", {x}), SmallModel::At("p1", {x})},
              {Edge(1, 2, 0, {}, kBroadcast, 1, true)});
    m.Process("Q", {SmallModel::At("q0", {y}), SmallModel::At("q1", {y})},
              {Edge(1, 2, m.When({{y, kLe, 1}}), {}, kBroadcast, 0, true)});
    m.Reachable({At(1, 2), At(2, 1), ClockIs(x, 1)});
    m.Reachable({At(1, 2), At(2, 1), ClockIs(x, 2)});
    m.Reachable({At(1, 2), At(2, 2), ClockIs(x, 2)});
    return m.model;
  };
  // A is left by the urgent jump at the first delay at which x >= 1, when y := 0 makes
  // x - y == 1; an ordinary jump may also be taken later.
  auto urgentJump = [](bool urgent) {
    SmallModel m;
    const int32_t x = m.Clock("x");
    const int32_t y = m.Clock("y");
    m.Process("P", {SmallModel::At("A", {x, y}), SmallModel::At("B", {x, y})},
              {Edge(1, 2, m.When({{x, kGe, 1}}), {m.Set(y, 0)}, 0, 0, false, urgent)});
    m.Reachable({At(1, 2), ClockIs(x, 2), ClockIs(y, 0)});
    m.Reachable({At(1, 2), ClockIs(x, 1), ClockIs(y, 0)});
    return m.model;
  };
  // A -> B may fire at any delay up to x == 3 and resets y; B's urgent jump then fires at its own
  // first delay, x == 4, from each of these firings: y is 4 - (the delay of A -> B) in C.
  auto urgentJumpAfterResets = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    const int32_t y = m.Clock("y");
    m.Process(
        "P",
        {SmallModel::At("A", {x, y}, m.When({{x, kLe, 3}})), SmallModel::At("B", {x, y}),
         SmallModel::At("C", {x, y})},
        {Edge(1, 2, 0, {m.Set(y, 0)}), Edge(2, 3, m.When({{x, kGe, 4}}), {}, 0, 0, false, true)});
    m.Reachable({At(1, 3), ClockIs(y, 1)});
    m.Reachable({At(1, 3), ClockIs(y, 4)});
    m.Reachable({At(1, 3), ClockIs(x, 5), ClockIs(y, 1)});
    return m.model;
  };
  // A -> B fixes no clock and may fire at any delay up to x == 3; each firing enters B anew, and
  // B's urgent jump, which resets y, is taken at once: in C, x - y is the firing delay.
  auto urgentJumpAfterLaterFirings = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    const int32_t y = m.Clock("y");
    m.Process("P",
              {SmallModel::At("A", {x, y}, m.When({{x, kLe, 3}})), SmallModel::At("B", {x, y}),
               SmallModel::At("C", {x, y})},
              {Edge(1, 2), Edge(2, 3, 0, {m.Set(y, 0)}, 0, 0, false, true)});
    m.Reachable({At(1, 3), ClockIs(x, 3), ClockIs(y, 0)});
    m.Reachable({At(1, 2), ClockIs(x, 4)});
    return m.model;
  };
  // Q waits committed for P's broadcast: the broadcast moves Q on, P's internal edge may not.
  auto committedReceiver = [] {
    SmallModel m;
    m.model.broadcastRule = 1;
    m.Process("P", {SmallModel::At("p0"), SmallModel::At("p1"), SmallModel::At("p2")},
              {Edge(1, 2, 0, {}, kBroadcast, 1, true), Edge(1, 3)});
    m.Process("Q", {SmallModel::Committed(SmallModel::At("q0")), SmallModel::At("q1")},
              {Edge(1, 2, 0, {}, kBroadcast, 0, true)});
    m.Reachable({At(2, 2)});
    m.Reachable({At(1, 3), At(2, 1)});
    m.Reachable({At(1, 3)});
    return m.model;
  };
  // A broadcast on an urgent channel that P can always send stops time until it is sent.
  auto urgentBroadcast = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    m.model.broadcastRule = 1;
    m.model.urgentChannels = {kBroadcast};
    m.Process("P", {SmallModel::At("p0"), SmallModel::At("p1")},
              {Edge(1, 2, 0, {}, kBroadcast, 1, true)});
    m.Process("R", {SmallModel::At("r0", {x}), SmallModel::At("r1")},
              {Edge(1, 2, m.When({{x, kGe, 1}}))});
    m.Reachable({At(2, 2), At(1, 1)});
    m.Reachable({At(2, 2)});
    return m.model;
  };
  // g is listed by both processes and reset by Q, which leaves q0 by g <= 1 (at g == 1 with
  // `exactly`); P needs g >= 2 while its own y <= 2, so only a reset at 0 lets P go on.
  auto sharedClock = [](bool exactly) {
    SmallModel m;
    const int32_t g = m.Clock("g");
    const int32_t y = m.Clock("y");
    m.Process("P", {SmallModel::At("p0", {g, y}), SmallModel::At("p1", {g, y})},
              {Edge(1, 2, m.When({{g, kGe, 2}, {y, kLe, 2}}))});
    m.Process("Q", {SmallModel::At("q0", {g}, m.When({{g, kLe, 1}})), SmallModel::At("q1", {g})},
              {Edge(1, 2, exactly ? m.When({{g, kGe, 1}}) : 0, {m.Set(g, 0)})});
    m.Reachable({At(1, 2)});
    return m.model;
  };
  // P must leave l0 while x <= 1, by x == 2 at the latest: there it can neither wait nor move.
  // In l1 nothing can ever be taken, though time passes.
  auto timeLock = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    m.Process("P", {SmallModel::At("l0", {x}, m.When({{x, kLe, 2}})), SmallModel::At("l1", {x})},
              {Edge(1, 2, m.When({{x, kLe, 1}}))});
    m.Property(0, Expr::Deadlock());
    m.Property(0, Expr::Op(ExpType::kAnd, Expr::Deadlock(), Expr::AtLocation(1, 1)));
    m.Property(0, Expr::Op(ExpType::kAnd,
                           Expr::Op(ExpType::kAnd, Expr::Deadlock(), Expr::AtLocation(1, 1)),
                           Expr::Op(ExpType::kLess, Expr::Var(x), Expr::Const(2))));
    m.Property(0, Expr::Op(ExpType::kAnd, Expr::Deadlock(), Expr::AtLocation(1, 2)));
    return m.model;
  };
  // x is reset whenever it reaches 2: time can always pass, and a transition always comes.
  auto noDeadlock = [] {
    SmallModel m;
    const int32_t x = m.Clock("x");
    m.Process("P", {SmallModel::At("l0", {x})}, {Edge(1, 1, m.When({{x, kGe, 2}}), {m.Set(x, 0)})});
    m.Property(1, Expr::Unary(ExpType::kLogicalNot, Expr::Deadlock()));
    return m.model;
  };
  // P is committed in c and its only edge needs n == 1, which never holds: Q's edge, always
  // enabled, may not be taken, and time stands still.
  auto committedDeadlock = [](bool committed) {
    SmallModel m;
    const int32_t n = m.Integer("n", 0, 1);
    const LocationSpec c = SmallModel::At("c");
    m.Process("P", {committed ? SmallModel::Committed(c) : c, SmallModel::At("d")},
              {Edge(1, 2, m.When({{n, kEq, 1}}))});
    m.Process("Q", {SmallModel::At("q0")}, {Edge(1, 1)});
    m.Property(0, Expr::Deadlock());
    return m.model;
  };
  const std::vector<TimingCase> cases = {
      {"committed location blocks a later-falsified edge", [&] { return committedBlocks(true); },
       "01"},
      {"without the committed location", [&] { return committedBlocks(false); }, "11"},
      {"no time in an urgent location", [&] { return urgentLocation(true); }, "00"},
      {"time in an ordinary location", [&] { return urgentLocation(false); }, "11"},
      {"urgent channel forbids waiting", [&] { return urgentChannel(true); }, "010"},
      {"ordinary channel lets R wait", [&] { return urgentChannel(false); }, "111"},
      {"urgent channel with a clock guard", urgentChannelWithClockGuard, "011"},
      {"broadcast past a disabled listener", [&] { return disabledListener(true); }, "10"},
      {"old rule: the disabled listener blocks", [&] { return disabledListener(false); }, "00"},
      {"listener with two receiving edges", twoReceivingEdges, "110"},
      {"listener with a clock guard", clockGuardedListener, "011"},
      {"urgent jump at its first delay", [&] { return urgentJump(true); }, "01"},
      {"ordinary jump at any delay", [&] { return urgentJump(false); }, "11"},
      {"urgent jump after each firing delay", urgentJumpAfterResets, "110"},
      {"urgent jump after later firings without resets", urgentJumpAfterLaterFirings, "11"},
      {"committed broadcast receiver", committedReceiver, "100"},
      {"urgent broadcast channel", urgentBroadcast, "01"},
      {"shared clock reset at 0 or 1", [&] { return sharedClock(false); }, "1"},
      {"shared clock reset at 1", [&] { return sharedClock(true); }, "0"},
      {"time-lock", timeLock, "1101"},
      {"no deadlock where time can always pass", noDeadlock, "1"},
      {"deadlock of a committed location", [&] { return committedDeadlock(true); }, "1"},
      {"without the committed location", [&] { return committedDeadlock(false); }, "0"},
  };
  for (const TimingCase& row : cases) {
    SCOPED_TRACE(row.name);
    ExpectVerdicts(row.model(), row.expected);
  }
}

constexpr int32_t kShards = 6;

class RandomModelsTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(RandomModelsTest, VerdictsEqualTheSemanticsInEveryMode) {
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 300);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 1);
  int64_t compared = 0;
  int64_t incomplete = 0;
  int64_t properties = 0;
  int64_t states = 0;
  for (int64_t k = GetParam(); k < count; k += kShards) {
    const uint64_t seed = static_cast<uint64_t>(first + k);
    const testing::RandomModel model = testing::RandomTimedModel(seed);
    const bool formatTwo = model.records.format == 2;
    const Reference reference = ExplorerVerdicts(model.records, 200'000, formatTwo);
    if (!reference.complete) {
      ++incomplete;
      continue;
    }
    ++compared;
    properties += static_cast<int64_t>(reference.verdicts.size());
    states += reference.states;
    TempDir dir;
    const std::string path = testing::WriteModel(dir, model.records);
    for (const std::vector<std::string>& mode : kModes) {
      // A format-2 model may meet run-time errors; the binary reports only errors that the
      // semantics meets (it may stop before meeting all of them).
      bool errors = false;
      const std::string verdicts = BinaryVerdicts(path, mode, formatTwo ? &errors : nullptr);
      if (verdicts != reference.verdicts || (errors && !reference.errors)) {
        ADD_FAILURE() << "seed " << seed << ", mode " << ModeName(mode) << ": tickcheck gives "
                      << verdicts << (errors ? " with errors" : "") << ", the semantics "
                      << reference.verdicts << (reference.errors ? " with errors" : "") << "\n"
                      << model.description;
      }
    }
  }
  std::cout << "shard " << GetParam() << ": " << compared << " models compared in 3 modes, "
            << properties << " properties, " << states << " reachable states; " << incomplete
            << " models too large for the explorer\n";
  EXPECT_LE(incomplete * 20, compared + incomplete) << "too many models were too large";
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomModelsTest, ::testing::Range(0, kShards));

}  // namespace
}  // namespace tickcheck
