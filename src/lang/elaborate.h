#pragma once
// Instantiation: turns the syntax tree of a model into the instantiated network. Declarations are
// taken in source order (a name is visible after its declaration); every template instance named
// in the system line becomes a process with its own local variables and clocks, named
// `instance.name`; a template named in the system line is instantiated once per value of its
// bounded parameters, as `P(1)`, `P(2)`, ... Every fault is reported at its position.

#include <optional>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

// The most processes one system line may create.
inline constexpr int kMaxProcesses = 256;
// The largest array.
inline constexpr int kMaxArraySize = 4096;

// The network of `model`, or nullopt when any error was reported.
std::optional<Network> Elaborate(const SyntaxModel& model, Diagnostics& diagnostics);

}  // namespace tickcheck::lang
