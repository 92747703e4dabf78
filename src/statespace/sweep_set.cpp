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

const SweepSet::Box* SweepSet::Find(const DsState& state) const {
  probe_.locationIndex = state.locationIndex;
  probe_.intValues = state.intValues;
  const auto group = boxes_.find(probe_);
  if (group == boxes_.end())
    return nullptr;
  for (const Shelf& shelf : group->second.shelves) {
    ValuesAt(shelf.single, state.clockValues, values_);
    const auto candidates = shelf.boxesAt.find(values_);
    if (candidates == shelf.boxesAt.end())
      continue;
    for (size_t index : candidates->second) {
      const Box& box = group->second.boxes[index];
      bool inside = true;
      for (size_t k = 0; k < box.start.size() && inside; ++k) {
        inside = box.start[k] <= state.clockValues[k] && state.clockValues[k] <= box.end[k];
      }
      if (inside)
        return &box;
    }
  }
  return nullptr;
}

const SweepSet::Box& SweepSet::Add(const DsState& state, bool widen) {
  // The key is copied only for a new group.
  probe_.locationIndex = state.locationIndex;
  probe_.intValues = state.intValues;
  auto found = boxes_.find(probe_);
  if (found == boxes_.end())
    found = boxes_.emplace(probe_, Group{}).first;
  Group& group = found->second;
  if (group.boxes.empty())
    group.sample = state;
  Box box = widen ? intervals_.Box(state) : Box{state.clockValues, state.clockValues};
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
  shelf->boxesAt[values_].push_back(group.boxes.size());
  group.boxes.push_back(std::move(box));
  ++boxCount_;
  return group.boxes.back();
}

bdd SweepSet::ToBdd() const {
  bounds_.clear();
  for (const auto& [key, group] : boxes_) {
    for (const Box& box : group.boxes)
      space_.AppendBoxBounds(group.sample, box, bounds_);
  }
  return BoxUnionToBdd(space_.manager(), space_.BoxFields(), bounds_, boxCount_, scratch_);
}

}  // namespace tickcheck
