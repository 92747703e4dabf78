#pragma once
// Queries: `E<> formula` (some reachable state satisfies the formula), `A[] formula` (every
// reachable state does), and the liveness queries `A<> formula`, `E[] formula` and `p --> q` (see
// the README's "Liveness"), read from a query file (parser.h: a query may span lines; comments may
// stand anywhere). A formula is any side-effect-free condition of the language, resolved against
// the global names: location atoms `P.l` and `P(2).l`, a process's own names `P(2).x`, array
// elements with variable indices, record fields, clocks compared with integer values, function
// calls, quantifiers, `imply` and `deadlock`. Each query becomes one property of the model file
// that holds its formula (both formulas for a leads-to).

#include <optional>
#include <string>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/elaborate.h"
#include "lang/network.h"

namespace tickcheck::lang {

// The queries of a query file, resolved against the elaboration (whose network gets the binders
// of their quantifiers); nullopt after any error.
std::optional<std::vector<Query>> ReadQueries(const std::string& text, Elaboration& elaboration,
                                              Diagnostics& diagnostics);
// The same for queries already parsed (the formulas of an XML document, each parsed on its own).
std::optional<std::vector<Query>> ResolveQueries(const std::vector<SyntaxQuery>& syntax,
                                                 Elaboration& elaboration,
                                                 Diagnostics& diagnostics);

}  // namespace tickcheck::lang
