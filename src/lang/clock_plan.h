#pragma once
// The static analyses of clocks that the model file's checker trusts:
//  - the owner of a clock: the process that declares it; for a global clock the first process
//    that reads or resets it, or the first process when only queries name it. A global clock may
//    be read and reset by several processes (it is shared);
//  - the active clocks of each location: a clock is active where some path of the location's
//    process may read it (a guard, an invariant, a query) before that process resets it; a clock
//    that a query names is active in every location of its owner. A shared clock is then listed
//    by some current location whenever some process may read it before some process resets it:
//    the process that reads it lists it from where it is until it reads it, since its own path
//    there does not reset it;
//  - the L and U bounds of each active clock in each location: the largest constant of a lower-
//    bound (>, >=, ==) and of an upper-bound (<, <=, ==) comparison that a path from the location
//    may reach before the clock is reset, queries counting everywhere and from both sides (a
//    query's comparison may be checked negated); -1 when there is none;
//  - the clock's Max: one more than the largest value it is compared with anywhere, and at least
//    the largest value it is set to (values from Max up compare alike).
// A comparison with a non-constant bound, and a setting to a non-constant value, count with the
// largest value of the bound (ranges.h).

#include <cstdint>
#include <optional>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/guards.h"
#include "lang/network.h"

namespace tickcheck::lang {

// The largest value a clock may be compared with.
inline constexpr int64_t kMaxClockBound = int64_t{1} << 30;

// A comparison of a clock in a query: `clock relation bound`, with the bound's largest value.
struct ClockUse {
  int32_t clock = 0;
  int32_t relation = 0;
  int64_t bound = 0;
};

// The guard disjuncts of every edge: [process][edge].
using NetworkGuards = std::vector<std::vector<std::vector<GuardDisjunct>>>;
// The parts of every location's invariant (guards.h): [process][location].
using NetworkInvariants = std::vector<std::vector<GuardDisjunct>>;

struct ActiveClock {
  int32_t clock = 0;
  int32_t L = -1;
  int32_t U = -1;
  bool operator==(const ActiveClock&) const = default;
};

struct ClockPlan {
  std::vector<int32_t> owner;  // per clock: its owner, or -1 when nothing reads or resets it
  std::vector<int32_t> max;    // per clock
  // [process][location]: the active clocks, in increasing clock order.
  std::vector<std::vector<std::vector<ActiveClock>>> active;
};

// The plan, or nullopt after an error (a bound too large).
std::optional<ClockPlan> PlanClocks(const Network& network, const NetworkGuards& guards,
                                    const NetworkInvariants& invariants,
                                    const std::vector<ClockUse>& queries, Diagnostics& diagnostics);

}  // namespace tickcheck::lang
