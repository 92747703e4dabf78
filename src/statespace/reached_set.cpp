#include "statespace/reached_set.h"

namespace tickcheck {

namespace {

// Batched states join the diagram once this many boxes wait. Joining more at once makes fewer
// nodes per state; the boxes that wait take about 200 bytes each.
constexpr size_t kBatchBoxes = size_t{1} << 10;

}  // namespace

ReachedSet::ReachedSet(const CStateSpace& space, const ClockIntervals& intervals)
    : space_(space), sweep_(space, intervals), earlier_(space.manager().Zero()) {}

ReachedSet::Found ReachedSet::Find(const DsState& state) const {
  // The sweep's boxes answer by hashing; the diagram only when they do not hold the state.
  if (const std::optional<ClockBoxView> box = sweep_.Find(state))
    return {Tier::kSweep, *box};
  if (space_.ContainsState(earlier_, state))
    return {Tier::kEarlier, {}};
  return {};
}

bool ReachedSet::EarlierHold(const DsState& state, ClockBoxView box) const {
  return BddManager::Equal(earlier_, BddManager::Or(earlier_, space_.BoxDiagram(state, box)));
}

ClockBoxView ReachedSet::Add(const DsState& state, bool widen,
                             const ObservedComparisons* observed) {
  // A sweep of many states joins them as it goes, so that no join grows the memory much at once.
  if (sweep_.BoxCount() >= kBatchBoxes)
    Join();
  return sweep_.Add(state, widen, observed);
}

void ReachedSet::EndSweep() {
  if (sweep_.BoxCount() >= kBatchBoxes)
    Join();
}

void ReachedSet::Finish() {
  Join();
}

void ReachedSet::Join() {
  earlier_ = BddManager::Or(earlier_, sweep_.ToBdd());
  sweep_.Clear();
}

}  // namespace tickcheck
