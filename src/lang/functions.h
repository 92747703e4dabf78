#pragma once
// The elaboration of functions: a function's parameters and locals become the slots of its frame
// (a reference parameter, and every array parameter, becomes a reference), its body becomes
// statements of the network, and what it assigns outside its frame is summed up for the checks of
// side effects. Locals without an initialiser start at 0 (or their lower bound when their range
// does not hold 0); `for (i : T)` gives `i` each value of T in turn, and `i` cannot be assigned.
// A function that ends without `return` gives 0.

#include <string>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/scope.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

// Declares the function in `scope` (before its body, so that a call to itself is reported as
// recursion) and adds it to `network`; `qualifiedName` is the name messages give it (`f`, or
// `Template.f`). Faults are reported; a function with faults is still declared.
void ElaborateFunction(const SyntaxFunction& syntax, Scope& scope, const std::string& qualifiedName,
                       Network& network, Diagnostics& diagnostics);

}  // namespace tickcheck::lang
