#include "statespace/reached_set.h"

namespace tickcheck {

ReachedSet::ReachedSet(const CStateSpace& space, const ClockIntervals& intervals)
    : space_(space), sweep_(space, intervals), earlier_(space.manager().Zero()) {}

ReachedSet::Found ReachedSet::Find(const DsState& state) const {
  // The sweep's boxes answer by hashing; the diagram only when they do not hold the state.
  if (const ClockBox* box = sweep_.Find(state))
    return {Tier::kSweep, box};
  if (space_.ContainsState(earlier_, state))
    return {Tier::kEarlier, nullptr};
  return {};
}

bool ReachedSet::EarlierHold(const DsState& state, const ClockBox& box) const {
  return BddManager::Equal(earlier_, BddManager::Or(earlier_, space_.BoxDiagram(state, box)));
}

void ReachedSet::Add(const DsState& state, bool widen) {
  sweep_.Add(state, widen);
}

void ReachedSet::EndSweep() {
  earlier_ = BddManager::Or(earlier_, sweep_.ToBdd());
  sweep_.Clear();
}

}  // namespace tickcheck
