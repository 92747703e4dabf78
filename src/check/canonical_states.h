#pragma once
// The representatives of the search's symmetry: a waiting entry is replaced by a permutation of
// its free members (expr/property_symmetry.h) into an order of their own data, so that entries
// whose states differ only by such a permutation wait, merge and are stored as one.
//
// The members of each set are sorted by their process's location, their own integer values (an
// identity of the set counting only as one, its own or another's), their own clocks (inactive,
// or the value and whether the entry keeps the clock frozen) and the identity variables that hold
// their identity; the k-th of that order goes to the k-th free member. The whole entry is
// permuted, its frozen clocks with it, so that its run of delays is the permuted run: the delay
// runs, clock intervals, merges and verdicts of the search stay exact. Members that tie keep their
// order; two entries of one orbit may then still get two representatives, which costs states but
// never a verdict.

#include <cstdint>
#include <vector>

#include "compose/composition.h"
#include "expr/property_symmetry.h"
#include "model/ds_state.h"
#include "model/symmetry.h"
#include "statespace/waiting_lists.h"

namespace tickcheck {

class CanonicalStates {
 public:
  // `symmetry` gives the free members; the composition numbers the permuted location vectors.
  // Both must outlive the object.
  CanonicalStates(const PropertySymmetry& symmetry, CComposition& composition);

  // Replaces `entry` by its representative; its state's location index and vector are the
  // composition's.
  void Canonicalise(WaitingDsState& entry);

 private:
  const CSystem& model_;
  const SymmetryIndex& index_;
  const PropertySymmetry& symmetry_;
  CComposition& composition_;
  // Per set, its free members in increasing order.
  std::vector<std::vector<int32_t>> free_;
  // Scratch, kept for its storage.
  MemberPermutation to_;
  std::vector<std::vector<int64_t>> keys_;
  std::vector<int32_t> order_;
  std::vector<int32_t> clockState_;  // per variable id: the key word of an active clock, else -1
  DsState permuted_;
  std::vector<int32_t> locations_;
};

}  // namespace tickcheck
