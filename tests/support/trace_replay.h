#pragma once
// An independent checker of the traces in the JSON document of `tickcheck --trace --json`: it
// replays a trace against the model file's semantics with its own code, sharing nothing with the
// explorer that made it or with the composition but the model records and the expression
// evaluator.
//
// It checks that the trace starts in the initial state; that every step waits tick by tick
// (each clock + 1, never above its Max), each tick from a state in which time may pass (no
// process in a committed or urgent location, no synchronisation on an urgent channel that can be
// taken) and with the invariants of the current locations holding after it; that some transition
// made from the jumps of the current locations (binary synchronisation, broadcast under the
// model's rule, only moves of a committed process while one is committed) has the step's jumps
// (each named by its number in [Jump<p>]) and its guards true after the delay, is not an urgent
// jump that could already be taken earlier in the delay, and, applied (the clock list rebuilt:
// kept clocks keep their values, new ones start at 0; then the updates in order), gives the
// step's state, whose invariants hold and whose integers lie in their declared ranges; that only
// the last step may go without jumps; and that the last state satisfies (Type 0) or violates
// (Type 1) the property. In a format-2 model no guard, assignment, effect or invariant of a step
// may meet a run-time error, and every assignment keeps its variable in its range.
//
// The trace of a liveness property is a lasso: its steps, then the steps of its cycle, replayed
// alike (only the last step of each may go without jumps). The cycle must come back to the state
// where it starts (and tick, for a run with --no-zeno), or, when it is empty, no tick and no
// transition may be possible in that state. Every state of the run, the states between ticks
// included, must satisfy the formula of a satisfied E[] and violate that of a violated A<>; for a
// violated leads-to the second formula must hold nowhere on the cycle, and the first somewhere
// after the last state of the run where the second holds. An urgent jump that could be taken in a
// wait stays passed until the next transition, across the start of the cycle too.

#include <nlohmann/json.hpp>

#include <string>

#include "model/system.h"

namespace tickcheck::testing {

// "" when `trace` (the "trace" field of a property in the document) is a run of the model that
// shows `property`; otherwise the first fault found, naming its step. `noZeno`: the run was
// checked with --no-zeno.
std::string ReplayTrace(const CSystem& system, const CProperty& property,
                        const nlohmann::json& trace, bool noZeno = false);

// Loads (and checks that it composes) the model file at `path`, then replays the trace of every
// property of the document `document` (a run of that model file): "" when each property that was
// found reachable (Type 0, verdict 1) or violated (Type 1, verdict 0), each satisfied E[] and each
// violated A<> or leads-to has a trace that replays and no other property has one; otherwise the
// faults, one line each.
std::string ReplayDocument(const std::string& path, const nlohmann::json& document);

}  // namespace tickcheck::testing
