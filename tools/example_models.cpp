#include "tools/example_models.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "model/expression_builder.h"

namespace tickcheck {
namespace {

// Appending avoids a false -Wrestrict warning of g++ 12 on `"literal" + std::string`.
std::string Numbered(const char* prefix, int32_t number) {
  return std::string(prefix).append(std::to_string(number));
}

// Adds expressions and constraints to a model and hands out their ids.
class ModelBuilder {
 public:
  explicit ModelBuilder(ModelSpec& model) : model_(model) {}

  int32_t Expression(const ExpressionRecord& record) {
    const int32_t id = static_cast<int32_t>(model_.expressions.size());
    model_.expressions.emplace(id, record);
    return id;
  }
  int32_t Constraint(std::vector<int32_t> ids) {
    model_.constraints.push_back(std::move(ids));
    return static_cast<int32_t>(model_.constraints.size());
  }

 private:
  ModelSpec& model_;
};

JumpSpec Jump(int32_t from, int32_t to, int32_t guard, std::vector<AssignmentSpec> assignments,
              int32_t syn = 0, int32_t synType = 0) {
  return JumpSpec{.from = from,
                  .to = to,
                  .guard = guard,
                  .urgent = 0,
                  .syn = syn,
                  .synType = synType,
                  .broadcast = 0,
                  .assignments = std::move(assignments)};
}

AtomSpec InLocation(int32_t process, int32_t location, int32_t negated = 0) {
  return AtomSpec{.negated = negated, .variable = -process, .bound = location};
}

}  // namespace

ModelSpec FischerModel(int32_t processes, int32_t setDelay, int32_t waitDelay, int32_t chain) {
  enum : int32_t { kIdle = 1, kReq = 2, kWait = 3, kCs = 4 };
  ModelSpec model;
  ModelBuilder build(model);
  const int32_t clockMax = std::max(setDelay, waitDelay) + 1;
  model.variables.push_back({.name = "id", .type = 0, .initValue = 0, .min = 0, .max = processes});
  for (int32_t i = 1; i <= processes; ++i) {
    model.variables.push_back(
        {.name = Numbered("x", i), .type = 1, .initValue = 0, .min = 0, .max = clockMax});
  }
  const int32_t zero = build.Expression(Expr::Const(0).Compile());
  const int32_t idIsFree = build.Constraint({build.Expression(Comparison(1, ExpType::kEqual, 0))});

  for (int32_t i = 1; i <= processes; ++i) {
    const int32_t clock = i + 1;
    const int32_t withinSetDelay =
        build.Constraint({build.Expression(Comparison(clock, ExpType::kAtMost, setDelay))});
    const int32_t mayEnter =
        build.Constraint({build.Expression(Comparison(clock, ExpType::kGreater, waitDelay)),
                          build.Expression(Comparison(1, ExpType::kEqual, i))});
    const int32_t myId = build.Expression(Expr::Const(i).Compile());

    ProcessSpec process;
    process.name = Numbered("P", i);
    process.initLocation = kIdle;
    // L and U are the largest constants that bound the clock from below and from above in the
    // location's invariant and outgoing guards; -1 when there is none.
    process.locations = {
        {.name = "idle"},
        {.name = "req", .activeClocks = {{clock, -1, setDelay}}, .invariant = withinSetDelay},
        {.name = "wait", .activeClocks = {{clock, waitDelay, -1}}},
        {.name = "cs"}};
    process.jumps = {Jump(kIdle, kReq, idIsFree, {{clock, zero}}),
                     Jump(kReq, kWait, withinSetDelay, {{1, myId}, {clock, zero}}),
                     Jump(kWait, kReq, idIsFree, {{clock, zero}}), Jump(kWait, kCs, mayEnter, {})};
    for (int32_t c = 1; c <= chain; ++c) {
      process.locations.push_back({.name = Numbered("c", c)});
      process.jumps.push_back(Jump(kCs + c - 1, kCs + c, 0, {}));
    }
    process.jumps.push_back(Jump(kCs + chain, kIdle, 0, {{1, zero}}));
    model.processes.push_back(process);
  }
  model.properties = {
      {.type = 0, .atoms = {InLocation(1, kCs), InLocation(2, kCs)}},
      {.type = 0, .atoms = {InLocation(1, kCs)}},
      {.type = 1, .atoms = {{.negated = 0, .variable = 1, .bound = processes + 1, .relation = 4}}}};
  return model;
}

LanguageModel FischerLanguage(int32_t processes, int32_t setDelay, int32_t waitDelay) {
  LanguageModel language;
  language.model =
      "// Fischer's mutual exclusion protocol. A process that finds id free goes to req, and\n"
      "// within K time units writes its number into id; it then waits more than D time units\n"
      "// and enters its critical section cs if id still holds its number. Mutual exclusion\n"
      "// holds exactly when K <= D.\n"
      "const int N = " +
      std::to_string(processes) +
      ";   // processes\n"
      "const int K = " +
      std::to_string(setDelay) +
      ";   // set delay\n"
      "const int D = " +
      std::to_string(waitDelay) +
      ";   // wait delay\n"
      "typedef int[1,N] id_t;\n"
      "int[0,N] id = 0;        // 0: free, else the number of a process\n"
      "\n"
      "process P(const id_t pid) {\n"
      "  clock x;\n"
      "  state idle, req { x <= K }, wait, cs;\n"
      "  init idle;\n"
      "  trans\n"
      "    idle -> req  { guard id == 0; assign x = 0; },\n"
      "    req  -> wait { guard x <= K; assign id = pid, x = 0; },\n"
      "    wait -> req  { guard id == 0; assign x = 0; },\n"
      "    wait -> cs   { guard x > D && id == pid; },\n"
      "    cs   -> idle { assign id = 0; };\n"
      "}\n"
      "\n"
      "system P;\n";
  language.queries =
      "E<> P(1).cs && P(2).cs   // two processes in the critical section\n"
      "E<> P(1).cs              // process 1 can enter it\n"
      "A[] id <= N\n";
  return language;
}

std::string FischerLivenessQueries() {
  return "P(1).req --> P(1).cs     // not satisfied: process 1 may wait forever\n"
         "P(1).req --> P(1).wait   // the invariant of req forces the move\n";
}

LanguageModel CsmaLanguage(int32_t stations, int32_t lambda, int32_t sigma) {
  LanguageModel language;
  language.model =
      "// CSMA/CD: senders share one bus. A sender that finds the bus idle begins to transmit; a "
      "frame\n"
      "// takes LAMBDA time units. The bus needs SIGMA time units to carry a signal from end to "
      "end:\n"
      "// a second sender may begin within SIGMA of the first, which makes a collision that the "
      "bus\n"
      "// reports to every sender (broadcast cd). A sender told that the bus is busy, or hit by a\n"
      "// collision, retries within 2 * SIGMA.\n"
      "const int N = " +
      std::to_string(stations) + ";" + "          // senders\n" +
      "const int LAMBDA = " + std::to_string(lambda) + ";" + "     // frame transmission time\n" +
      "const int SIGMA = " + std::to_string(sigma) + ";" +
      "      // propagation delay\n"
      "typedef int[1,N] id_t;\n"
      "\n"
      "chan begin, end;          // a sender starts and ends a frame on the bus\n"
      "broadcast chan busy, cd;  // the bus tells senders that it is busy, or that a collision "
      "happened\n"
      "\n"
      "process Bus() {\n"
      "  clock y;\n"
      "  state idle, active, collision { y < SIGMA };\n"
      "  init idle;\n"
      "  trans\n"
      "    idle      -> active    { sync begin?; assign y = 0; },\n"
      "    active    -> idle      { sync end?; assign y = 0; },\n"
      "    active    -> active    { guard y >= SIGMA; sync busy!; },\n"
      "    active    -> collision { guard y < SIGMA; sync begin?; assign y = 0; },\n"
      "    collision -> idle      { sync cd!; assign y = 0; };\n"
      "}\n"
      "\n"
      "process Sender(const id_t i) {\n"
      "  clock x;\n"
      "  state wait, transm { x <= LAMBDA }, retry { x < 2 * SIGMA };\n"
      "  init wait;\n"
      "  trans\n"
      "    wait   -> transm { sync begin!; assign x = 0; },\n"
      "    wait   -> retry  { sync busy?; assign x = 0; },\n"
      "    wait   -> retry  { sync cd?; assign x = 0; },\n"
      "    transm -> wait   { guard x == LAMBDA; sync end!; assign x = 0; },\n"
      "    transm -> retry  { sync cd?; assign x = 0; },\n"
      "    retry  -> transm { sync begin!; assign x = 0; },\n"
      "    retry  -> retry  { sync cd?; assign x = 0; };\n"
      "}\n"
      "\n"
      "system Bus, Sender;\n";
  language.queries =
      "E<> Bus.collision                                   // two senders can collide\n"
      "E<> Sender(1).transm && Sender(1).x == LAMBDA       // a frame can get through\n"
      "E<> Sender(1).transm && Sender(2).transm            // both transmit for a while ...\n"
      "A[] Sender(1).transm && Sender(2).transm imply Sender(1).x < 2 * SIGMA && Sender(2).x < 2 * "
      "SIGMA\n"
      "A[] Bus.collision imply Bus.y < SIGMA\n"
      "E<> Bus.active && Bus.y >= SIGMA && Sender(1).transm && Sender(2).transm   // ... never "
      "undetected\n";
  return language;
}

ModelSpec TrainGateModel() {
  enum : int32_t { kPasses = 1, kX = 2, kY = 3 };
  enum : int32_t { kFar = 1, kNear = 2, kIn = 3 };
  enum : int32_t { kUp = 1, kLowering = 2, kDown = 3, kRaising = 4 };
  enum : int32_t { kApproach = 1, kExit = 2 };
  ModelSpec model;
  ModelBuilder build(model);
  model.variables = {{.name = "passes", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 6},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 2}};
  const int32_t zero = build.Expression(Expr::Const(0).Compile());
  const int32_t nextPass = build.Expression(
      Expr::Op(ExpType::kRemainder, Expr::Op(ExpType::kAdd, Expr::Var(kPasses), Expr::Const(1)),
               Expr::Const(4))
          .Compile());
  const int32_t xAtMostFive =
      build.Constraint({build.Expression(Comparison(kX, ExpType::kAtMost, 5))});
  const int32_t xAboveTwo =
      build.Constraint({build.Expression(Comparison(kX, ExpType::kGreater, 2))});
  const int32_t yAtMostOne =
      build.Constraint({build.Expression(Comparison(kY, ExpType::kAtMost, 1))});
  const int32_t yIsOne = build.Constraint({build.Expression(Comparison(kY, ExpType::kEqual, 1))});

  ProcessSpec train;
  train.name = "Train";
  train.initLocation = kFar;
  train.locations = {{.name = "far"},
                     {.name = "near", .activeClocks = {{kX, 2, 5}}, .invariant = xAtMostFive},
                     {.name = "in", .activeClocks = {{kX, -1, 5}}, .invariant = xAtMostFive}};
  train.jumps = {Jump(kFar, kNear, 0, {{kX, zero}}, kApproach, 1), Jump(kNear, kIn, xAboveTwo, {}),
                 Jump(kIn, kFar, 0, {{kPasses, nextPass}}, kExit, 1)};

  ProcessSpec gate;
  gate.name = "Gate";
  gate.initLocation = kUp;
  gate.locations = {{.name = "up"},
                    {.name = "lowering", .activeClocks = {{kY, 1, 1}}, .invariant = yAtMostOne},
                    {.name = "down"},
                    {.name = "raising", .activeClocks = {{kY, 1, 1}}, .invariant = yAtMostOne}};
  gate.jumps = {Jump(kUp, kLowering, 0, {{kY, zero}}, kApproach, 0),
                Jump(kLowering, kDown, yIsOne, {}),
                Jump(kDown, kRaising, 0, {{kY, zero}}, kExit, 0), Jump(kRaising, kUp, yIsOne, {})};
  model.processes = {train, gate};

  model.properties = {
      {.type = 0, .atoms = {InLocation(1, kIn), InLocation(2, kUp)}},
      {.type = 0, .atoms = {InLocation(1, kIn), InLocation(2, kDown)}},
      {.type = 1, .atoms = {{.negated = 0, .variable = kPasses, .bound = 4, .relation = 4}}}};
  return model;
}

}  // namespace tickcheck
