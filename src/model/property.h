#pragma once
// The properties that the checker decides, as the model file gives them. A property is a
// conjunction of atoms about one discrete state with a Type: 0 asks whether some reachable state
// satisfies it (reachability), 1 whether every reachable state does (invariance); any other Type
// is never evaluated. Their evaluation on a state is expr/property_evaluation.h.
//
// Model file: section "Property" key "PropertyNum"; section "Property<i>" key "Type<i>" and, for
// atom j, the keys K, N, V, B and R followed by "<i>-1-<j>". V > 0 names a variable (an integer
// variable atom when variable V has Type 0, else a clock atom), V <= 0 a location atom of process
// -V with location B. R is written with the operands exchanged: 1 ==, 2 >, 3 >=,
// 4 <, 5 <=, 6 !=.
// In a format-2 model, "Expr<i>" names an expression that stands for the whole property instead
// of the atoms.
//
// A liveness property has Type 2 (which no other rule evaluates) and the key "Liveness<i>": 1
// `E[] p` (some run has p in every state), 2 `A<> p` (every run has p in some state), 3 `p --> q`
// (every run from a reachable state where p holds has q in some state, that state included). The
// formula p is the property's atoms or expression as above; q, the second formula of a leads-to,
// is its atoms "<i>-2-<j>" (keys K, N, V, B and R, read like the first formula's) or, in a
// format-2 model, the expression "Expr<i>-2". Runs are defined in check/liveness_search.h.

#include <cstdint>
#include <vector>

namespace tickcheck {

struct CAtomProperty {
  enum Kind : int32_t { kIntegerVariable = 1, kClock = 2, kLocation = 3 };
  // The relation of an atom whose R was invalid: it never holds (before negation).
  static constexpr int32_t kNeverHolds = 0;

  int32_t kind = kLocation;
  int32_t negated = -1;            // the atom's truth is inverted when this is exactly 1
  int32_t variable = 0;            // kinds 1 and 2
  int32_t process = 0;             // kind 3, 1-based
  int32_t location = 0;            // kind 3, 1-based
  int32_t bound = 0;               // kinds 1 and 2
  int32_t relation = kNeverHolds;  // kinds 1 and 2: relation code 1 to 6, value OP bound
  bool operator==(const CAtomProperty&) const = default;
};

// What a liveness property asks (key "Liveness<i>"); kNone for the other properties.
enum class Liveness : int32_t { kNone = 0, kAlways = 1, kEventually = 2, kLeadsTo = 3 };

struct CProperty {
  // The Type of every liveness property.
  static constexpr int32_t kLivenessType = 2;

  int32_t Type = 0;
  std::vector<CAtomProperty> atoms;
  // Format 2, key "Expr<i>": the id of the expression that is the property (non-zero: it holds),
  // -1 for a conjunction of atoms. With an expression no atom key is read.
  int32_t expression = -1;
  Liveness liveness = Liveness::kNone;
  // The second formula of a leads-to, as `atoms` and `expression` are the first.
  std::vector<CAtomProperty> thenAtoms{};
  int32_t thenExpression = -1;

  // The second formula of a leads-to as a property of its own (Type 0, no liveness).
  CProperty Then() const { return {0, thenAtoms, thenExpression}; }
  bool operator==(const CProperty&) const = default;
};

}  // namespace tickcheck
