#pragma once
// Models for users and benchmarks, described with the model-file writer.

#include <cstdint>
#include <string>

#include "model/model_writer.h"

namespace tickcheck {

// Fischer's mutual exclusion protocol for `processes` processes. Variable 1 is the shared integer
// `id` (0 .. processes); variables 2 .. processes + 1 are the clocks x1 .. xN. Process i moves
// idle -> req when id == 0 (resetting xi), leaves req within `setDelay` time units (invariant
// xi <= setDelay) setting id := i and resetting xi, waits until xi > `waitDelay`, and enters cs if
// id is still i; from wait it returns to req when it sees id == 0, and it leaves cs setting id :=
// 0. Properties: 1. (reachability) processes 1 and 2 are in cs together; 2. (reachability) process
// 1 reaches cs; 3. (invariance) id < processes + 1. Mutual exclusion holds, property 1 is 0,
// exactly when setDelay <= waitDelay. With `chain` > 0 the critical section is stretched: cs leads
// through `chain` more locations c1 .. c<chain>, without guards or clocks, and the last of them
// returns to idle setting id := 0; the verdicts stay the same.
ModelSpec FischerModel(int32_t processes, int32_t setDelay, int32_t waitDelay, int32_t chain = 0);

// A model in the modelling language with its queries.
struct LanguageModel {
  std::string model;    // the .tck text
  std::string queries;  // the .q text
};

// The same protocol in the modelling language: the template P instantiated for pids 1 ..
// processes, with the properties of FischerModel as its queries, in order. Compiled, it has the
// variables, locations, jumps, active clocks and bounds of FischerModel, up to names and the
// numbering of expressions and constraints.
LanguageModel FischerLanguage(int32_t processes, int32_t setDelay, int32_t waitDelay);

// Liveness queries about process 1 of FischerLanguage, which examples/fischer.q and
// examples/fischer-incorrect.q add to its queries: `P(1).req --> P(1).cs` (not satisfied: the
// process may stay in wait forever) and `P(1).req --> P(1).wait` (satisfied: the invariant of req
// forces the move).
std::string FischerLivenessQueries();

// CSMA/CD in the modelling language: `stations` senders (the template Sender) share one bus (the
// process Bus) through the binary channels begin and end and the broadcast channels busy and cd;
// a frame takes `lambda` time units, a signal `sigma` to cross the bus. No committed location.
// The queries of examples/csma-cd.q, which name senders 1 and 2. (2, 8, 2) gives the example
// examples/csma-cd.tck.
LanguageModel CsmaLanguage(int32_t stations, int32_t lambda, int32_t sigma);

// A train and a gate at a level crossing. The train announces itself on channel approach and
// enters the crossing more than 2 time units later (within 5); the gate, told by approach, is down
// after exactly 1 time unit; leaving, the train signals exit and the gate rises again in 1 time
// unit. The integer `passes` counts the trains that passed, modulo 4.
// Properties: 1. (reachability) the train is in the crossing while the gate is up: 0, safe;
// 2. (reachability) the train is in the crossing with the gate down: 1; 3. (invariance)
// passes < 4: 1.
ModelSpec TrainGateModel();

}  // namespace tickcheck
