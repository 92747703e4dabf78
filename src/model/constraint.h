#pragma once
// A constraint is a numbered conjunction of comparisons: section "Constraint<n>" lists, under the
// keys "CmpExp-1", "CmpExp-2", ..., the ids of comparison expressions `variable OP bound`.
// Location invariants and jump guards name constraints by number; 0 or a missing number means
// none, and then the loader does not read any section.

#include <cstdint>
#include <vector>

#include "model/profile.h"

namespace tickcheck {

// Empties `list`, then appends the expression ids of constraint `number` in key order, up to the
// first missing key (or a value of -1), at most kMaxListLength of them. A constraint without a
// section gives an empty list.
void LoadConstraint(int32_t number, const ProfileIndex& file, std::vector<int32_t>& list);

}  // namespace tickcheck
