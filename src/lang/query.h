#pragma once
// Queries: `E<> formula` (some reachable state satisfies the formula) and `A[] formula` (every
// reachable state does), one per line of a query file; `//` comments and blank lines are skipped.
// A formula combines atoms with `&&`, `||`, `!`, `imply` (and `and`, `or`, `not`); an atom is
// `Process.location`, or a comparison of a variable, an array element with a constant index, a
// clock or `Process.local` with a constant expression. What the checker cannot decide soundly is
// refused with one line naming the query and why: `A<>`, `E[]`, `-->`, `deadlock`, comparisons
// of two variables or of a clock with a non-constant.
//
// Each query becomes properties of the model file, conjunctions of atoms: `E<> f` one
// reachability property per conjunction of the disjunctive normal form of f; `A[] f` one
// invariance property when f is a single conjunction, otherwise one reachability property per
// conjunction of the normal form of `!f`, none of which may be reachable.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/network.h"

namespace tickcheck::lang {

// The most conjunctions a query's normal form may have.
inline constexpr size_t kMaxQueryConjunctions = 64;

struct QueryAtom {
  enum class Kind { kLocation, kInt, kClock };
  Kind kind = Kind::kLocation;
  int32_t process = 0;   // kLocation, 0-based
  int32_t location = 0;  // kLocation, 0-based
  bool negated = false;  // kLocation: the process is not there
  int32_t variable = 0;  // kInt: the variable; kClock: the clock
  int32_t relation = 0;  // kInt, kClock: relation code 1 to 6 (value relation bound)
  int32_t bound = 0;
  bool operator==(const QueryAtom&) const = default;
};

struct Formula {
  enum class Kind { kConst, kAtom, kNot, kAnd, kOr };
  Kind kind = Kind::kConst;
  bool value = true;  // kConst
  QueryAtom atom;     // kAtom
  std::vector<Formula> operands;
};

struct Query {
  enum class Kind { kReachable, kInvariant };  // E<>, A[]
  Kind kind = Kind::kReachable;
  std::string text;  // as written, without comment and surrounding blanks
  SourcePos pos;
  Formula formula;
};

using Conjunction = std::vector<QueryAtom>;

// How a query's verdict follows from the results of its properties.
struct QueryPlan {
  enum class Kind {
    kAnyReachable,   // satisfied when some property (Type 0) is reachable
    kNoneReachable,  // satisfied when none of them is
    kInvariant,      // one property of Type 1: satisfied when it holds
  };
  Kind kind = Kind::kAnyReachable;
  std::vector<Conjunction> conjunctions;  // one property each
};

// The queries of a query file, resolved against the network; nullopt after any error.
std::optional<std::vector<Query>> ReadQueries(const std::string& text, const Network& network,
                                              Diagnostics& diagnostics);

// The disjunctive normal form of `formula` (of its negation when `negated`): constant-false
// conjunctions left out, an empty conjunction for `true`. nullopt when it would have more than
// kMaxQueryConjunctions conjunctions.
std::optional<std::vector<Conjunction>> NormalForm(const Formula& formula, bool negated);

// The plan of `query`; nullopt (after an error at the query) when its normal form is too large.
std::optional<QueryPlan> PlanQuery(const Query& query, Diagnostics& diagnostics);

// The verdict of a plan from the results (true: reachable, or for kInvariant: holds) of its
// properties, in the order of its conjunctions.
bool Verdict(const QueryPlan& plan, const std::vector<bool>& results);

}  // namespace tickcheck::lang
