#pragma once
// An explicit-state explorer of the modelling language's semantics, for the tests only. It works
// on the instantiated network (every clock of every process, no analyses), interprets its terms
// and function bodies itself, and decides every query by visiting all reachable states:
//  - time advances by one unit (every clock + 1) when no process is in a committed or urgent
//    location, no transition on an urgent channel can be taken, and the invariants of all current
//    locations hold afterwards; clocks stop at a ceiling above every value of the model and
//    queries; a global clock is one clock, whichever process reads or sets it;
//  - an edge without sync fires alone; a sender `c!` fires with one receiver `c?` of another
//    process; a broadcast `b!` fires with, for every other process, one of its `b?` edges out of
//    its current location whose guard holds (one transition per choice; a process without one
//    stays); the guards of the step must hold;
//  - while some process is in a committed location, a transition must move a process out of one;
//  - the updates run in order, the sender's first, then the receivers' in process order, each
//    seeing the earlier ones; then the target invariants must hold.
// Evaluation goes left to right (`&&`, `||`, `?:` lazily); a division by zero, a shift count
// outside 0 .. 31, an index outside its array and a value stored outside its cell's range are
// errors: the step (or tick) is not taken and the error is counted. A query's formula that fails
// in a state does not hold there (the failure is counted on its own: a check that has decided a
// query evaluates it no more). `deadlock` holds in a state from which no transition can be
// taken, now or after any delay (as far as time may pass).

#include <cstddef>
#include <vector>

#include "lang/network.h"

namespace tickcheck::testing {

struct LanguageVerdicts {
  std::vector<bool> satisfied;  // one per query
  bool modelError = false;      // some step or tick failed
  bool queryError = false;      // some query failed in some state
  size_t states = 0;
  bool complete = true;  // false when the state limit or a loop bound stopped the exploration
};

// The liveness queries (E[], A<>, -->) are decided on the whole graph of the states and steps
// above by the fixpoints of support/liveness_reference.h; with `noZeno` an infinite run must tick
// infinitely often.
LanguageVerdicts ExploreLanguage(const lang::Network& network,
                                 const std::vector<lang::Query>& queries, size_t stateLimit,
                                 bool noZeno = false);

}  // namespace tickcheck::testing
