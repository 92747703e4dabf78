#pragma once
// The sets of interchangeable processes that code generation proposes for section [Symmetry]
// (model/symmetry.h): the processes of one template instantiated for different values of one
// parameter, a scalar-set value or a bounded integer, its other parameters (if any) equal in
// every instance. The checker's loader keeps a set only when
// the model bears it out (model/symmetry_check.h), so a proposal may be generous.
//
// A member's own variables are the integer cells and clocks its template's declarations made,
// in declaration order, and the cells at the member's value of global arrays indexed by the
// scalar set, or, for integer identities L .. L + N - 1 (every value a member) with L >= 1, by
// that range, or with L = 0 declared with that range as their index type (`flag[id_t]`, not
// `flag[N]`); its own channels are its elements of channel arrays indexed the same way. The
// identity variables are, for a scalar set, the cells of its values; for an integer parameter,
// the variables that index such arrays and those connected to them or to the parameter by
// assignments and by == and !=.

#include <cstdint>
#include <vector>

#include "lang/network.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

// `clockIds`: the model file's variable id of each clock; integer cell i is variable i + 1.
std::vector<SymmetrySetSpec> SymmetrySets(const Network& network,
                                          const std::vector<int32_t>& clockIds);

}  // namespace tickcheck::lang
