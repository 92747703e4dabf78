#include "check/canonical_states.h"

#include <algorithm>
#include <limits>

namespace tickcheck {
namespace {

// The key word of an own integer that holds an identity of the set: only whether it is the
// member's own counts, since the identities are what the permutation renames.
constexpr int64_t kOwnIdentity = std::numeric_limits<int64_t>::min();
constexpr int64_t kOtherIdentity = kOwnIdentity + 1;

}  // namespace

CanonicalStates::CanonicalStates(const PropertySymmetry& symmetry, CComposition& composition)
    : model_(composition.system),
      index_(symmetry.Index()),
      symmetry_(symmetry),
      composition_(composition),
      to_(index_.Identity()),
      clockState_(model_.variables.size() + 1, -1) {
  for (const std::vector<bool>& fixed : symmetry.Fixed()) {
    free_.emplace_back();
    for (size_t k = 0; k < fixed.size(); ++k) {
      if (!fixed[k])
        free_.back().push_back(static_cast<int32_t>(k));
    }
  }
}

void CanonicalStates::Canonicalise(WaitingDsState& entry) {
  const DsState& state = entry.state;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const bool frozen = std::binary_search(entry.frozenClocks.begin(), entry.frozenClocks.end(),
                                           state.activeClocks[k]);
    clockState_[static_cast<size_t>(state.activeClocks[k])] = 2 * state.clockValues[k] + frozen;
  }
  bool moved = false;
  for (size_t s = 0; s < free_.size(); ++s) {
    const std::vector<int32_t>& free = free_[s];
    std::vector<int32_t>& to = to_[s];
    for (size_t k = 0; k < to.size(); ++k)
      to[k] = static_cast<int32_t>(k);
    if (free.size() < 2)
      continue;
    const SymmetrySet& set = index_.Sets()[s];
    keys_.resize(free.size());
    for (size_t f = 0; f < free.size(); ++f) {
      const SymmetryMember& member = set.members[static_cast<size_t>(free[f])];
      std::vector<int64_t>& key = keys_[f];
      key.clear();
      key.push_back(state.locations[static_cast<size_t>(member.process) - 1]);
      for (int32_t id : member.own) {
        const CVariable& variable = model_.variables[static_cast<size_t>(id) - 1];
        if (variable.Type == VarType::kClock) {
          key.push_back(clockState_[static_cast<size_t>(id)]);
          continue;
        }
        const int32_t value = state.intValues[static_cast<size_t>(variable.intValueIndex)];
        const int32_t identitySet = index_.IdentitySetOf(id);
        const int32_t named = identitySet >= 0 ? index_.MemberWithValue(identitySet, value) : -1;
        if (named < 0)
          key.push_back(value);
        else
          key.push_back(identitySet == static_cast<int32_t>(s) && named == free[f]
                            ? kOwnIdentity
                            : kOtherIdentity);
      }
      for (int32_t id : set.identities) {
        const int32_t value = state.intValues[static_cast<size_t>(
            model_.variables[static_cast<size_t>(id) - 1].intValueIndex)];
        key.push_back(value == member.value ? 1 : 0);
      }
    }
    order_.resize(free.size());
    for (size_t f = 0; f < free.size(); ++f)
      order_[f] = static_cast<int32_t>(f);
    std::stable_sort(order_.begin(), order_.end(), [this](int32_t a, int32_t b) {
      return keys_[static_cast<size_t>(a)] < keys_[static_cast<size_t>(b)];
    });
    for (size_t f = 0; f < free.size(); ++f) {
      const int32_t from = free[static_cast<size_t>(order_[f])];
      to[static_cast<size_t>(from)] = free[f];
      moved = moved || from != free[f];
    }
  }
  for (int32_t clock : state.activeClocks)
    clockState_[static_cast<size_t>(clock)] = -1;
  if (!moved)
    return;
  index_.Permute(state, to_, permuted_, locations_);
  permuted_.locationIndex = composition_.Number(locations_);
  permuted_.locations = composition_.LocationVector(permuted_.locationIndex);
  std::swap(entry.state, permuted_);
  for (int32_t& clock : entry.frozenClocks)
    clock = index_.PermutedVariable(clock, to_);
  std::sort(entry.frozenClocks.begin(), entry.frozenClocks.end());
}

}  // namespace tickcheck
