#include "statespace/sweep_set.h"

#include <algorithm>

namespace tickcheck {

namespace {

uint64_t Mix(uint64_t hash, int32_t value) {
  return hash ^ (static_cast<uint32_t>(value) + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2));
}

uint64_t DiscreteHash(const DsState& state) {
  uint64_t hash = static_cast<uint64_t>(state.locationIndex);
  for (const int32_t value : state.intValues)
    hash = Mix(hash, value);
  return hash;
}

}  // namespace

void SweepSet::Clear() {
  std::fill(groupCells_.begin(), groupCells_.end(), GroupCell{});
  std::fill(chainCells_.begin(), chainCells_.end(), ChainCell{});
  groupCount_ = 0;
  chainCount_ = 0;
  boxCount_ = 0;
}

uint64_t SweepSet::ChainHash(uint32_t group, uint32_t shelf, const Group& of,
                             const std::vector<int32_t>& clockValues) {
  uint64_t hash = Mix(Mix(0, static_cast<int32_t>(group)), static_cast<int32_t>(shelf));
  const uint8_t* single = of.Shelf(shelf);
  for (size_t k = 0; k < of.Clocks(); ++k) {
    if (single[k])
      hash = Mix(hash, clockValues[k]);
  }
  return hash;
}

uint32_t SweepSet::FindGroup(const DsState& state, uint64_t hash) const {
  const size_t mask = groupCells_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const GroupCell& cell = groupCells_[slot];
    if (cell.group == kNone)
      return kNone;
    const DsState& sample = groups_[cell.group].sample;
    if (cell.hash == hash && sample.locationIndex == state.locationIndex &&
        sample.intValues == state.intValues) {
      return cell.group;
    }
  }
}

uint32_t SweepSet::NewGroup(const DsState& state, uint64_t hash) {
  if (2 * (groupCount_ + 1) > groupCells_.size())
    Grow(groupCells_);
  if (groupCount_ == groups_.size())
    groups_.emplace_back();
  const auto number = static_cast<uint32_t>(groupCount_++);
  Group& group = groups_[number];
  // Assigning into the kept vectors reuses their storage.
  group.sample.locationIndex = state.locationIndex;
  group.sample.locations = state.locations;
  group.sample.intValues = state.intValues;
  group.sample.clockValues = state.clockValues;
  group.sample.activeClocks = state.activeClocks;
  group.bounds.clear();
  group.next.clear();
  group.shelves.clear();
  group.shelfCount = 0;
  group.count = 0;
  const size_t mask = groupCells_.size() - 1;
  size_t slot = hash & mask;
  while (groupCells_[slot].group != kNone)
    slot = (slot + 1) & mask;
  groupCells_[slot] = {hash, number};
  return number;
}

const SweepSet::ChainCell& SweepSet::FindChain(uint32_t group, uint32_t shelf, uint64_t hash,
                                               const std::vector<int32_t>& clockValues) const {
  const Group& of = groups_[group];
  const uint8_t* single = of.Shelf(shelf);
  const size_t mask = chainCells_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const ChainCell& cell = chainCells_[slot];
    if (cell.group == kNone)
      return cell;
    if (cell.hash != hash || cell.group != group || cell.shelf != shelf)
      continue;
    // A box of the chain holds one value at each clock of the shelf: its start.
    const std::span<const int32_t> start = of.BoxAt(cell.head).start;
    bool same = true;
    for (size_t k = 0; k < start.size() && same; ++k)
      same = !single[k] || start[k] == clockValues[k];
    if (same)
      return cell;
  }
}

template <typename Cell>
void SweepSet::Grow(std::vector<Cell>& cells) {
  std::vector<Cell> grown(2 * cells.size());
  const size_t mask = grown.size() - 1;
  for (const Cell& cell : cells) {
    if (cell.group == kNone)
      continue;
    size_t slot = cell.hash & mask;
    while (grown[slot].group != kNone)
      slot = (slot + 1) & mask;
    grown[slot] = cell;
  }
  cells = std::move(grown);
}

std::optional<ClockBoxView> SweepSet::Find(const DsState& state) const {
  const uint32_t number = FindGroup(state, DiscreteHash(state));
  if (number == kNone)
    return std::nullopt;
  const Group& group = groups_[number];
  for (uint32_t shelf = 0; shelf < group.shelfCount; ++shelf) {
    const ChainCell& chain = FindChain(
        number, shelf, ChainHash(number, shelf, group, state.clockValues), state.clockValues);
    if (chain.group == kNone)
      continue;
    for (uint32_t index = chain.head; index != kNone; index = group.next[index]) {
      const ClockBoxView box = group.BoxAt(index);
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

ClockBoxView SweepSet::Add(const DsState& state, bool widen, const ObservedComparisons* observed) {
  const uint64_t hash = DiscreteHash(state);
  uint32_t number = FindGroup(state, hash);
  if (number == kNone)
    number = NewGroup(state, hash);
  ClockBox& box = box_;
  if (widen) {
    intervals_.Box(state, box, observed);
  } else {
    box.start = state.clockValues;
    box.end = state.clockValues;
  }
  std::vector<uint8_t>& single = single_;
  single.resize(box.start.size());
  for (size_t k = 0; k < single.size(); ++k)
    single[k] = box.start[k] == box.end[k] ? 1 : 0;
  Group& group = groups_[number];
  uint32_t shelf = 0;
  while (shelf < group.shelfCount && !std::equal(single.begin(), single.end(), group.Shelf(shelf)))
    ++shelf;
  if (shelf == group.shelfCount) {
    group.shelves.insert(group.shelves.end(), single.begin(), single.end());
    ++group.shelfCount;
  }
  const auto index = static_cast<uint32_t>(group.count);
  group.bounds.insert(group.bounds.end(), box.start.begin(), box.start.end());
  group.bounds.insert(group.bounds.end(), box.end.begin(), box.end.end());
  group.next.push_back(kNone);
  ++group.count;
  ++boxCount_;
  const uint64_t chainHash = ChainHash(number, shelf, group, state.clockValues);
  const ChainCell& found = FindChain(number, shelf, chainHash, state.clockValues);
  if (found.group != kNone) {
    group.next[found.tail] = index;
    chainCells_[static_cast<size_t>(&found - chainCells_.data())].tail = index;
  } else {
    if (2 * (chainCount_ + 1) > chainCells_.size())
      Grow(chainCells_);
    const size_t mask = chainCells_.size() - 1;
    size_t slot = chainHash & mask;
    while (chainCells_[slot].group != kNone)
      slot = (slot + 1) & mask;
    chainCells_[slot] = {chainHash, number, shelf, index, index};
    ++chainCount_;
  }
  return group.BoxAt(index);
}

bdd SweepSet::ToBdd() const {
  bounds_.clear();
  for (size_t number = 0; number < groupCount_; ++number) {
    const Group& group = groups_[number];
    for (size_t index = 0; index < group.count; ++index)
      space_.AppendBoxBounds(group.sample, group.BoxAt(index), bounds_);
  }
  return BoxUnionToBdd(space_.manager(), space_.BoxFields(), bounds_, boxCount_, scratch_);
}

}  // namespace tickcheck
