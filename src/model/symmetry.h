#pragma once
// The symmetry of a model: sets of interchangeable processes (format 2, section [Symmetry]). A
// set's members are processes that one template made for different values of an identity (a
// scalar-set parameter, or a bounded integer that the model uses only as an identity). A
// permutation of a set's members moves every member's own variables (its locals, its clocks and
// the cells of arrays indexed by the identity) to the member it goes to, and renames the values
// of the set's identity variables (a value that is a member's identity becomes the identity of
// the member it goes to; any other value stays). The loader keeps a set only when every such
// permutation maps the model onto itself (model/symmetry_check.h).
//
// Keys, per set s (from 1, up to the first missing Set<s>), per member k (from 1, up to the first
// missing Process<s>-<k>), per own variable j (from 1):
//   Set<s>=<name>                 the name shown in messages (the template's)
//   Process<s>-<k>=<process>      member k's process number
//   Value<s>-<k>=<value>          member k's identity value
//   Own<s>-<k>-<j>=<variable id>  member k's j-th own variable (integer or clock)
//   Channel<s>-<k>-<j>=<channel>  member k's j-th own channel (a jump's Syn number)
//   Identity<s>-<j>=<variable id> an integer variable whose values are identities of the set
// The j-th own variables of all members play one role: the same type, range (Min, Max) and Max;
// the j-th own channels too: all urgent or none. A file without Channel keys claims no channel.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "model/ds_state.h"
#include "model/profile.h"
#include "model/refusal.h"
#include "model/system.h"

namespace tickcheck {

// Reads section [Symmetry] of a format-2 model (call after the processes and variables are
// loaded). Refuses, with "ERROR! Model refused: [Symmetry] <key>=<value>: <reason>", a set with
// fewer than two members, a process that is not one of the model or is a member twice, a missing
// or repeated identity value, an own variable that is not an integer variable or clock, belongs to
// two members or does not match the role of member 1's (type, Min, Max; the same count), an own
// channel below 1, of two members or not matching member 1's (urgency; the same count), an
// identity variable that is not an integer variable. What the sets claim is then checked by
// VerifySymmetry (model/symmetry_check.h).
std::optional<Refusal> LoadSymmetry(const ProfileIndex& file, CSystem& system);

// A permutation of the members of every set: to[s][k] is the member that member k of set s goes
// to.
using MemberPermutation = std::vector<std::vector<int32_t>>;

// Where each variable and process stands in the symmetry of a model, and the permutation of
// states. Read-only once built; the model must outlive it.
class SymmetryIndex {
 public:
  explicit SymmetryIndex(const CSystem& model);

  const std::vector<SymmetrySet>& Sets() const { return sets_; }
  // The member (set, member) whose own variable `variable` is, with its role; none for others.
  struct Owner {
    int32_t set = -1;
    int32_t member = -1;
    int32_t role = -1;
  };
  const Owner& OwnerOf(int32_t variable) const { return owners_[static_cast<size_t>(variable)]; }
  // The set whose identities variable `variable` holds, or -1.
  int32_t IdentitySetOf(int32_t variable) const {
    return identitySet_[static_cast<size_t>(variable)];
  }
  // The member of process `process` (1-based), as (set, member); set -1 for other processes.
  const Owner& MemberOf(int32_t process) const {
    return processMembers_[static_cast<size_t>(process)];
  }
  // The member of set `set` whose identity is `value`, or -1.
  int32_t MemberWithValue(int32_t set, int32_t value) const;

  // Writes into `out` the state `in` with every set's members permuted by `to`: locations, own
  // integer values and clocks move, identity values are renamed; the active clocks are listed as
  // the search lists them for the permuted location vector, which `out.locations` views in
  // `locations` (resized). `out.locationIndex` is left as it was; `out` is not `in`.
  void Permute(const DsState& in, const MemberPermutation& to, DsState& out,
               std::vector<int32_t>& locations) const;
  // Exchanges members `a` and `b` of set `set` in `state` as Permute with that exchange would,
  // except that the active clocks keep their places, renamed: a state to evaluate expressions on,
  // not to store. `state.locations` must view `locations`. Exchanging twice restores the state.
  void Exchange(DsState& state, std::vector<int32_t>& locations, int32_t set, int32_t a,
                int32_t b) const;
  // The variable that variable `variable` becomes under `to`.
  int32_t PermutedVariable(int32_t variable, const MemberPermutation& to) const;
  // The variable that variable `variable` becomes when members `a` and `b` of set `set` are
  // exchanged.
  int32_t ExchangedVariable(int32_t variable, int32_t set, int32_t a, int32_t b) const;
  // The identity permutation.
  MemberPermutation Identity() const;

 private:
  const CSystem& model_;
  const std::vector<SymmetrySet>& sets_;
  std::vector<Owner> owners_;          // by variable id
  std::vector<int32_t> identitySet_;   // by variable id
  std::vector<Owner> processMembers_;  // by process number
  // Per set, (identity value, member) sorted by value.
  std::vector<std::vector<std::pair<int32_t, int32_t>>> memberOfValue_;
  // Scratch of Permute: the position of each clock among the active clocks of `in`, and the
  // inverse of the permutation.
  mutable std::vector<int32_t> clockPosition_;
  mutable MemberPermutation inverse_;
};

// The active clocks of a state whose location vector is `locations`, in the order in which the
// search lists them: process by process, each location's clocks in its order, each clock once.
void ActiveClocksOf(const CSystem& model, std::span<const int32_t> locations,
                    std::vector<int32_t>& clocks);

}  // namespace tickcheck
