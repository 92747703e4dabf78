// Writes Fischer's mutual exclusion protocol for N processes as a tickcheck model file.
//
//   tickcheck-fischer <processes> <set delay> <wait delay> <output file>
//
// Variable 1 is the shared integer `id` (0 .. N); variables 2 .. N+1 are the clocks x1 .. xN.
// Process i moves idle -> req when id == 0 (resetting xi), must leave req within <set delay>
// time units (invariant xi <= set delay) by setting id := i and resetting xi, waits in `wait`
// until xi > <wait delay>, and enters cs if id is still i; it returns to req when it sees
// id == 0 in wait, and leaves cs setting id := 0.
// Properties: 1. (reachability) processes 1 and 2 are in cs together: 0 means mutual exclusion;
// 2. (reachability) process 1 reaches cs; 3. (invariance) id < N + 1.
#include <cstdlib>
#include <iostream>
#include <string>

#include "model/expression_builder.h"
#include "model/model_writer.h"

namespace {

using namespace tickcheck;

// Appending avoids a false -Wrestrict warning of g++ 12 on `"literal" + std::string`.
std::string Numbered(const char* prefix, int32_t number) {
  return std::string(prefix).append(std::to_string(number));
}

enum Location : int32_t { kIdle = 1, kReq = 2, kWait = 3, kCs = 4 };

ModelSpec Fischer(int32_t processes, int32_t setDelay, int32_t waitDelay) {
  ModelSpec model;
  const int32_t clockMax = std::max(setDelay, waitDelay) + 1;
  model.variables.push_back({.name = "id", .type = 0, .initValue = 0, .min = 0, .max = processes});
  for (int32_t i = 1; i <= processes; ++i) {
    model.variables.push_back(
        {.name = Numbered("x", i), .type = 1, .initValue = 0, .min = 0, .max = clockMax});
  }

  auto addExpression = [&model](const ExpressionRecord& record) {
    const int32_t id = static_cast<int32_t>(model.expressions.size());
    model.expressions.emplace(id, record);
    return id;
  };
  auto addConstraint = [&model](std::vector<int32_t> ids) {
    model.constraints.push_back(std::move(ids));
    return static_cast<int32_t>(model.constraints.size());
  };
  const int32_t zero = addExpression(Expr::Const(0).Compile());
  const int32_t idIsFree = addConstraint({addExpression(Comparison(1, ExpType::kEqual, 0))});

  for (int32_t i = 1; i <= processes; ++i) {
    const int32_t clock = i + 1;
    const int32_t withinSetDelay =
        addConstraint({addExpression(Comparison(clock, ExpType::kAtMost, setDelay))});
    const int32_t mayEnter =
        addConstraint({addExpression(Comparison(clock, ExpType::kGreater, waitDelay)),
                       addExpression(Comparison(1, ExpType::kEqual, i))});
    const int32_t myId = addExpression(Expr::Const(i).Compile());

    ProcessSpec process;
    process.name = Numbered("P", i);
    process.initLocation = kIdle;
    process.locations = {
        {.name = "idle"},
        {.name = "req", .activeClocks = {{clock, 0, setDelay}}, .invariant = withinSetDelay},
        {.name = "wait", .activeClocks = {{clock, waitDelay, 0}}},
        {.name = "cs"}};
    const JumpSpec internal{.urgent = 0, .syn = 0, .synType = 0, .broadcast = 0};
    auto jump = [&internal](int32_t from, int32_t to, int32_t guard,
                            std::vector<AssignmentSpec> assignments) {
      JumpSpec spec = internal;
      spec.from = from;
      spec.to = to;
      spec.guard = guard;
      spec.assignments = std::move(assignments);
      return spec;
    };
    process.jumps = {jump(kIdle, kReq, idIsFree, {{clock, zero}}),
                     jump(kReq, kWait, withinSetDelay, {{1, myId}, {clock, zero}}),
                     jump(kWait, kReq, idIsFree, {{clock, zero}}), jump(kWait, kCs, mayEnter, {}),
                     jump(kCs, kIdle, 0, {{1, zero}})};
    model.processes.push_back(process);
  }

  const AtomSpec firstInCs{.negated = 0, .variable = -1, .bound = kCs};
  const AtomSpec secondInCs{.negated = 0, .variable = -2, .bound = kCs};
  model.properties = {
      {.type = 0, .atoms = {firstInCs, secondInCs}},
      {.type = 0, .atoms = {firstInCs}},
      {.type = 1, .atoms = {{.negated = 0, .variable = 1, .bound = processes + 1, .relation = 4}}}};
  return model;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 5) {
    std::cerr << "usage: tickcheck-fischer <processes> <set delay> <wait delay> <output file>\n";
    return 2;
  }
  const int processes = std::atoi(argv[1]);
  const int setDelay = std::atoi(argv[2]);
  const int waitDelay = std::atoi(argv[3]);
  if (processes < 2 || setDelay < 0 || waitDelay < 0) {
    std::cerr << "tickcheck-fischer: needs at least 2 processes and delays of 0 or more\n";
    return 2;
  }
  const std::string error = WriteModelFile(Fischer(processes, setDelay, waitDelay), argv[4]);
  if (!error.empty()) {
    std::cerr << "tickcheck-fischer: " << error << '\n';
    return 1;
  }
  return 0;
}
