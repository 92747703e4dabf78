#include "statespace/sweep_set.h"

namespace tickcheck {

size_t SweepSet::KeyHash::operator()(const Key& key) const {
  uint64_t hash = static_cast<uint32_t>(key.locationIndex);
  for (int32_t value : key.intValues) {
    hash ^= static_cast<uint32_t>(value) + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  }
  return static_cast<size_t>(hash);
}

const SweepSet::Box* SweepSet::Find(const DsState& state) const {
  const auto group = boxes_.find(Key{state.locationIndex, state.intValues});
  if (group == boxes_.end())
    return nullptr;
  for (const Box& box : group->second.boxes) {
    bool inside = true;
    for (size_t k = 0; k < box.start.size() && inside; ++k) {
      inside = box.start[k] <= state.clockValues[k] && state.clockValues[k] <= box.end[k];
    }
    if (inside)
      return &box;
  }
  return nullptr;
}

void SweepSet::Add(const DsState& state, bool widen) {
  Group& group = boxes_[Key{state.locationIndex, state.intValues}];
  if (group.boxes.empty())
    group.sample = state;
  Box box{state.clockValues, state.clockValues};
  if (widen) {
    for (size_t k = 0; k < state.activeClocks.size(); ++k) {
      space_.ClockInterval(state, state.activeClocks[k], state.clockValues[k], box.start[k],
                           box.end[k]);
    }
  }
  group.boxes.push_back(std::move(box));
}

bdd SweepSet::ToBdd() const {
  std::vector<bdd> parts;
  for (const auto& [key, group] : boxes_) {
    for (const Box& box : group.boxes)
      parts.push_back(space_.BoxDiagram(group.sample, box.start, box.end));
  }
  if (parts.empty())
    return space_.manager->Zero();
  // Joining pairwise keeps the operands of similar size, which costs far less than adding one
  // box at a time to an ever larger diagram.
  while (parts.size() > 1) {
    std::vector<bdd> joined;
    for (size_t k = 0; k + 1 < parts.size(); k += 2)
      joined.push_back(BddManager::Or(parts[k], parts[k + 1]));
    if (parts.size() % 2 == 1)
      joined.push_back(std::move(parts.back()));
    parts = std::move(joined);
  }
  return parts.front();
}

}  // namespace tickcheck
