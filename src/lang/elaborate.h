#pragma once
// Instantiation: turns the syntax tree of a model into the instantiated network. Declarations are
// taken in source order (a name is visible after its declaration); every template instance named
// in the system line becomes a process with its own local variables, clocks and functions, named
// `instance.name`; a template named in the system line is instantiated once per value of its
// parameters, as `P(1)`, `P(2)`, ...; an edge with `select` becomes one edge per combination of
// the values of its names. Every fault is reported at its position.

#include <memory>
#include <optional>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/scope.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

// The most processes one system line may create.
inline constexpr int kMaxProcesses = 256;
// The most edges that one edge's select may stand for.
inline constexpr int kMaxSelectEdges = 4096;

// The network with the names that queries resolve against. Its scopes may name the templates of
// the syntax tree it was made from, which must outlive it while they are used.
struct Elaboration {
  Network network;
  std::unique_ptr<Scope> globals;
  std::vector<std::unique_ptr<Scope>> processes;  // per process: its parameters and declarations
};

// The elaboration of `model`, or nullopt when any error was reported.
std::optional<Elaboration> Elaborate(const SyntaxModel& model, Diagnostics& diagnostics);

}  // namespace tickcheck::lang
