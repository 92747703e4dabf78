#pragma once
// The properties of a symmetric model (model/symmetry.h) decided on one representative of each
// orbit. A reachability property holds in a representative r when it holds in some permutation
// of r, an invariance property when it holds in every one; the search stores representatives
// only, so these are its verdicts.
//
// A property that names particular processes is decided by a matching. Its witness (the formula
// of a reachability property, the negation of an invariance property's) is split at its &&, ||
// and ! into a disjunction of conjunctions of literals, as far as the parts cannot meet a
// run-time error (so that every evaluation is one that a search without symmetry makes too). Each
// literal is analysed for the members it mentions: a location of a member's process, a member's
// own variable, an identity constant naming a member (`id == 3`), a comparison of an identity
// with a constant that tells members apart (`id < 3`); an identity compared with == or != with
// another identity, or used as the index of an array that its members own, mentions nothing; an
// identity used any other way (arithmetic, a function) mentions all members of its set. A
// literal is invariant under the permutations that fix its members. A conjunction then holds in
// some permutation of r when every literal without a free member holds in r and the free members
// it names can be matched, each to a distinct free member a of its set, such that its literals
// hold in r with a and it exchanged.
//
// Members that one literal mentions together, or that a literal asking for a deadlock mentions,
// and every member that a property of atoms names, are left out of the symmetry (fixed): they
// are never permuted, and a literal mentions at most one free member. A set with fewer than two
// free members is left out whole.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "expr/program.h"
#include "model/ds_state.h"
#include "model/symmetry.h"
#include "model/system.h"

namespace tickcheck {

class PropertySymmetry {
 public:
  // Analyses the properties of `model` (loaded with them); both must outlive the object.
  PropertySymmetry(const CSystem& model, const SymmetryIndex& index);

  const SymmetryIndex& Index() const { return index_; }
  // Per set, per member: whether it is left out of the symmetry.
  const std::vector<std::vector<bool>>& Fixed() const { return fixed_; }
  // The number of free members of set `set` (0 when the set is left out whole).
  int32_t FreeCount(int32_t set) const;
  // Why members are fixed: the first property (0-based) that fixed each, per set and member (-1:
  // free, or fixed because too few members of its set stayed free).
  const std::vector<std::vector<int32_t>>& FixedBy() const { return fixedBy_; }

  // What deciding a property on a representative found.
  struct Answer {
    bool holds = false;
    std::optional<RunTimeError> error;  // a run-time error met on some permutation
  };
  // Property `property` (0-based, Type 0 or 1) on representative `state`: Type 0 holds when some
  // permutation of the state satisfies it, Type 1 when every one does. The clock comparisons that
  // its evaluations met, in the clocks of `state`, are appended to `met` when it is given (then
  // every evaluation that may decide the answer is made).
  Answer Decide(size_t property, const DsState& state, const DeadlockHook* deadlock,
                std::vector<ClockComparison>* met) const;
  // Whether property `property` reads a clock.
  bool ReadsClock(size_t property) const { return plans_[property].readsClock; }

 private:
  struct Literal {
    int32_t node = 0;
    bool negated = false;
    int32_t set = -1;               // the set of its free member, -1 when it has none
    int32_t member = -1;            // its free member
    std::vector<int32_t> mentions;  // global member numbers (GlobalMember)
    bool deadlock = false;
    bool clock = false;    // reads a clock: its value may change with a delay
    int32_t location = 0;  // the location it asks a process to be at, when that is all it asks
  };
  // The free members of one set that a conjunction names, in order of appearance, and per
  // member the positions of its literals in the conjunction.
  struct NamedMembers {
    int32_t set = -1;
    std::vector<int32_t> members;
    std::vector<std::vector<int32_t>> literals;
  };
  struct Plan {
    int32_t expression = -1;  // -1: a property of atoms, decided on the state alone
    bool universal = false;   // Type 1: the witness is the negation
    bool readsClock = false;
    std::vector<std::vector<Literal>> witness;     // disjunction of conjunctions
    std::vector<std::vector<NamedMembers>> named;  // per conjunction
  };
  struct Info;

  int32_t GlobalMember(int32_t set, int32_t member) const {
    return setOffset_[static_cast<size_t>(set)] + member;
  }
  Info Analyse(const CExpression& expression, int32_t node) const;
  void Coarse(Info& info) const;
  std::vector<std::vector<Literal>> Split(const CExpression& expression, int32_t node,
                                          bool positive) const;
  void PlanProperty(size_t property);
  void FixMembers();
  // Whether `literal` holds in `state` with member `actual` of its set and its free member
  // exchanged (`actual` -1: in `state` itself); `exchangedState` is that exchanged state when
  // the literal needs it and `actual` is not its free member.
  bool LiteralHolds(const Literal& literal, const CExpression& expression, const DsState& state,
                    int32_t actual, const DsState* exchangedState, const DeadlockHook* deadlock,
                    std::vector<ClockComparison>* met, std::optional<RunTimeError>& error) const;
  bool DisjunctHolds(const std::vector<Literal>& literals, const std::vector<NamedMembers>& named,
                     const CExpression& expression, const DsState& state,
                     const DeadlockHook* deadlock, std::vector<ClockComparison>* met,
                     std::optional<RunTimeError>& error) const;

  const CSystem& model_;
  const SymmetryIndex& index_;
  std::vector<int32_t> setOffset_;
  std::vector<Plan> plans_;
  std::vector<std::vector<bool>> fixed_;
  std::vector<std::vector<int32_t>> fixedBy_;
  std::vector<std::vector<int32_t>> freeMembers_;  // per set, ascending
  // Scratch of Decide: a copy of the state (made once per call, when first needed) in which
  // members are exchanged and exchanged back, its location vector, and the matching's edges.
  mutable DsState exchanged_;
  mutable std::vector<int32_t> exchangedLocations_;
  mutable bool copied_ = false;
  mutable std::vector<std::vector<bool>> edges_;
  mutable std::vector<int32_t> matchOfRight_;
  mutable std::vector<bool> visited_;
};

}  // namespace tickcheck
