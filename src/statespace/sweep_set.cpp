#include "statespace/sweep_set.h"

#include <algorithm>

namespace tickcheck {

namespace {

size_t HashValues(uint64_t hash, const std::vector<int32_t>& values) {
  for (int32_t value : values) {
    hash ^= static_cast<uint32_t>(value) + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  }
  return static_cast<size_t>(hash);
}

// The values of `clockValues` at the positions that `single` marks, written into `values`.
void ValuesAt(const std::vector<uint8_t>& single, const std::vector<int32_t>& clockValues,
              std::vector<int32_t>& values) {
  values.clear();
  for (size_t k = 0; k < single.size(); ++k) {
    if (single[k])
      values.push_back(clockValues[k]);
  }
}

}  // namespace

size_t SweepSet::KeyHash::operator()(const Key& key) const {
  return HashValues(static_cast<uint64_t>(key.locationIndex), key.intValues);
}

size_t SweepSet::ValuesHash::operator()(const std::vector<int32_t>& values) const {
  return HashValues(0, values);
}

std::optional<ClockBoxView> SweepSet::Find(const DsState& state) const {
  probe_.locationIndex = state.locationIndex;
  probe_.intValues = state.intValues;
  const auto group = boxes_.find(probe_);
  if (group == boxes_.end())
    return std::nullopt;
  for (const Shelf& shelf : group->second.shelves) {
    ValuesAt(shelf.single, state.clockValues, values_);
    const auto candidates = shelf.boxesAt.find(values_);
    if (candidates == shelf.boxesAt.end())
      continue;
    for (size_t index : candidates->second) {
      const ClockBoxView box = group->second.BoxAt(index);
      bool inside = true;
      for (size_t k = 0; k < box.start.size() && inside; ++k) {
        inside = box.start[k] <= state.clockValues[k] && state.clockValues[k] <= box.end[k];
      }
      if (inside)
        return box;
    }
  }
  return std::nullopt;
}

ClockBoxView SweepSet::Add(const DsState& state, bool widen) {
  // The key is copied only for a new group.
  probe_.locationIndex = state.locationIndex;
  probe_.intValues = state.intValues;
  auto found = boxes_.find(probe_);
  if (found == boxes_.end())
    found = boxes_.emplace(probe_, Group{}).first;
  Group& group = found->second;
  if (group.count == 0)
    group.sample = state;
  ClockBox& box = box_;
  if (widen) {
    intervals_.Box(state, box);
  } else {
    box.start = state.clockValues;
    box.end = state.clockValues;
  }
  std::vector<uint8_t>& single = single_;
  single.resize(box.start.size());
  for (size_t k = 0; k < single.size(); ++k)
    single[k] = box.start[k] == box.end[k] ? 1 : 0;
  auto shelf = std::find_if(group.shelves.begin(), group.shelves.end(),
                            [&single](const Shelf& entry) { return entry.single == single; });
  if (shelf == group.shelves.end()) {
    group.shelves.push_back(Shelf{single, {}});
    shelf = group.shelves.end() - 1;
  }
  ValuesAt(single, state.clockValues, values_);
  shelf->boxesAt[values_].push_back(group.count);
  group.bounds.insert(group.bounds.end(), box.start.begin(), box.start.end());
  group.bounds.insert(group.bounds.end(), box.end.begin(), box.end.end());
  ++boxCount_;
  return group.BoxAt(group.count++);
}

bdd SweepSet::ToBdd() const {
  bounds_.clear();
  for (const auto& [key, group] : boxes_) {
    for (size_t index = 0; index < group.count; ++index)
      space_.AppendBoxBounds(group.sample, group.BoxAt(index), bounds_);
  }
  return BoxUnionToBdd(space_.manager(), space_.BoxFields(), bounds_, boxCount_, scratch_);
}

}  // namespace tickcheck
