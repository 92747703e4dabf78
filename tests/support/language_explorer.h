#pragma once
// An explicit-state explorer of the modelling language's semantics, for the tests only. It works
// on the instantiated network (every clock of every process, no analyses) and decides every
// query by visiting all reachable states:
//  - time advances by one unit (every clock + 1) when the invariants of all current locations
//    hold afterwards; clocks stop at a ceiling above every constant of the model and queries;
//  - an edge without sync fires alone; a sender `c!` fires with one receiver `c?` of another
//    process; a broadcast `b!` fires with the one `b?` edge of every other process that has one
//    out of its current location (a process without one stays); every guard must hold;
//  - assignments run in order, the sender's first, then the receivers' in process order; the
//    step is kept when the target invariants hold and every variable lies in its range (a step
//    that leaves a range is counted as a range error and not kept).

#include <cstddef>
#include <vector>

#include "lang/network.h"
#include "lang/query.h"

namespace tickcheck::testing {

struct LanguageVerdicts {
  std::vector<bool> satisfied;  // one per query
  bool rangeError = false;
  size_t states = 0;
  bool complete = true;  // false when the state limit stopped the exploration
};

LanguageVerdicts ExploreLanguage(const lang::Network& network,
                                 const std::vector<lang::Query>& queries, size_t stateLimit);

}  // namespace tickcheck::testing
