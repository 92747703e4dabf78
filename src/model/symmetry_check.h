#pragma once
// Checks that every permutation of a set of [Symmetry] maps the model onto itself, so that a
// search may store one state per orbit whatever the file's writer claimed.
//
// First the set's identity variables are narrowed to those used only as identities (a greatest
// fixpoint): read only where an identity may stand, assigned only identities or constants, with
// a range that holds every member's identity. Where an identity may stand: a side of `==` or `!=`
// whose other side is an identity or a constant, the value assigned to an identity variable, a
// branch of `?:` that stands there itself, and the index of an array whose cells are the members'
// own cells of one role, one per member (the index an identity, possibly minus a constant that
// takes each member's identity to its own cell); for elements of several cells, the index
// `(identity - c) * stride + offset` names a field whose cells are the members' own of one role.
// An index `identity - c` compared with a constant k (how a synchronisation on an element of a
// channel array picks its channel) is a comparison of the identity with k + c.
//
// Then, for the exchange of member 1 with each other member (these generate every permutation),
// each process must be matched by the process the exchange takes it to: its locations' clocks,
// bounds, invariants and every other field, and each jump by a jump of that process whose
// channel, guards, assignments and effects are the exchanged ones (a member's own channels move
// with it). An expression is exchanged node by node: variables move with their members, a
// constant where an identity stands is renamed, any other constant stays. A broadcast receive of a member may assign only the member's own
// variables (receivers update in process order), and no receive on that channel may read them.
//
// A member whose identity an identity variable (not a member's own) starts at is named by the
// initial state: it leaves the set (stays in place) when at least two members remain, and the
// check starts over with the others; its cells in arrays indexed by identities then stay where
// they are, as those of values that are no member's identity.
//
// Member processes, own variables and identity values come from section [Symmetry]
// (model/symmetry.h); properties are not part of the check (expr/property_symmetry.h decides
// them on representatives).

#include <string>

#include "model/system.h"

namespace tickcheck {

// Narrows the identity variables of every set of `system.symmetry`, removes the members that stay
// in place and the sets that the model does not bear out; returns one line per member that stays
// ("symmetry: <process> stays in place: <variable> starts at its identity") and per removed set
// ("symmetry: processes of <set> are not interchangeable: <reason>").
std::vector<std::string> VerifySymmetry(CSystem& system);

}  // namespace tickcheck
