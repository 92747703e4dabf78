#include "statespace/waiting_lists.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tickcheck {
namespace {

int32_t ClampToInt(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::vector<size_t> AdvancingPositions(const WaitingDsState& entry) {
  std::vector<size_t> advancing;
  for (size_t k = 0; k < entry.state.activeClocks.size(); ++k) {
    if (std::find(entry.frozenClocks.begin(), entry.frozenClocks.end(),
                  entry.state.activeClocks[k]) == entry.frozenClocks.end()) {
      advancing.push_back(k);
    }
  }
  return advancing;
}

uint64_t WaitingLists::MergeKey(const WaitingDsState& entry) {
  uint64_t key = 0x9E3779B97F4A7C15ull;
  auto mix = [&key](int64_t value) {
    key ^= static_cast<uint64_t>(value) + 0x9E3779B97F4A7C15ull + (key << 6) + (key >> 2);
  };
  for (int32_t value : entry.state.intValues)
    mix(value);
  mix(-1);
  for (int32_t clock : entry.frozenClocks) {
    mix(clock);
    const auto at =
        std::find(entry.state.activeClocks.begin(), entry.state.activeClocks.end(), clock);
    if (at != entry.state.activeClocks.end()) {
      mix(entry.state.clockValues[static_cast<size_t>(at - entry.state.activeClocks.begin())]);
    }
  }
  return key;
}

MergeOutcome WaitingLists::Insert(WaitingDsState entry, bool skipFront) {
  const int64_t index = entry.state.locationIndex;
  const uint64_t key = MergeKey(entry);
  Slot& slot = slots_[index];
  // Entries of other keys would all be apart, so only these are walked, in list order.
  if (const auto bucket = slot.byKey.find(key); bucket != slot.byKey.end()) {
    const std::vector<size_t> advancing = AdvancingPositions(entry);
    const WaitingDsState* expanded = skipFront ? &slot.entries.front() : nullptr;
    for (const List::iterator& stored : bucket->second) {
      if (&*stored == expanded)
        continue;
      const Merge merge = Compare(entry, advancing, *stored);
      switch (merge.outcome) {
        case MergeOutcome::kApart:
          continue;
        case MergeOutcome::kCovered:
          break;
        case MergeOutcome::kStoredTakesNew:
          stored->state = std::move(entry.state);
          stored->delayCount = merge.mergedCount;
          break;
        case MergeOutcome::kStoredExtended:
          stored->delayCount = merge.mergedCount;
          break;
      }
      return merge.outcome;
    }
  }
  slot.entries.push_back(std::move(entry));
  slot.keys.push_back(key);
  slot.byKey[key].push_back(std::prev(slot.entries.end()));
  candidates_.insert(index);
  ++size_;
  return MergeOutcome::kApart;
}

Merge WaitingLists::Compare(const WaitingDsState& fresh, const WaitingDsState& stored) const {
  return Compare(fresh, AdvancingPositions(fresh), stored);
}

Merge WaitingLists::Compare(const WaitingDsState& fresh, const std::vector<size_t>& advancing,
                            const WaitingDsState& stored) const {
  const DsState& w = fresh.state;
  const DsState& e = stored.state;
  const Merge apart;
  if (fresh.frozenClocks != stored.frozenClocks || w.intValues != e.intValues ||
      w.activeClocks != e.activeClocks) {
    return apart;
  }
  for (int32_t clock : fresh.frozenClocks) {
    const auto at = std::find(w.activeClocks.begin(), w.activeClocks.end(), clock);
    if (at == w.activeClocks.end())
      continue;
    const size_t k = static_cast<size_t>(at - w.activeClocks.begin());
    if (w.clockValues[k] != e.clockValues[k])
      return apart;
  }
  const int64_t cW = fresh.delayCount;
  const int64_t cE = stored.delayCount;
  if (w.clockValues == e.clockValues) {
    const int32_t merged = static_cast<int32_t>(std::max(cW, cE));
    if (cW == cE)
      return {MergeOutcome::kCovered, merged};
    return {cW < cE ? MergeOutcome::kStoredExtended : MergeOutcome::kStoredTakesNew, merged};
  }
  if (advancing.empty())
    return apart;
  if (advancing.size() == 1) {
    const int64_t wv = w.clockValues[advancing[0]];
    const int64_t ev = e.clockValues[advancing[0]];
    if (wv <= ev) {
      if (ev - wv > cW)
        return apart;
      return {MergeOutcome::kStoredTakesNew, ClampToInt(std::max(cW, ev - wv + cE))};
    }
    if (wv - ev > cE)
      return apart;
    return {MergeOutcome::kStoredExtended, ClampToInt(std::max(cE, wv - ev + cW))};
  }
  // Several advancing clocks: the entry whose first differing clock is smaller is earlier; the
  // later one must be the earlier one delayed by some s (clocks stopping at their Max) within
  // the earlier one's count. The merged run covers both: the larger of the two ends.
  size_t decisive = 0;
  while (decisive < advancing.size() &&
         w.clockValues[advancing[decisive]] == e.clockValues[advancing[decisive]]) {
    ++decisive;
  }
  if (decisive == advancing.size())
    return apart;
  const bool freshEarlier = w.clockValues[advancing[decisive]] < e.clockValues[advancing[decisive]];
  const MergeOutcome taken =
      freshEarlier ? MergeOutcome::kStoredTakesNew : MergeOutcome::kStoredExtended;
  const WaitingDsState& earlier = freshEarlier ? fresh : stored;
  const WaitingDsState& later = freshEarlier ? stored : fresh;
  const std::vector<int32_t>& x = earlier.state.clockValues;
  const std::vector<int32_t>& y = later.state.clockValues;
  auto maxOf = [this, &w](size_t k) {
    return int64_t{model_.variables[static_cast<size_t>(w.activeClocks[k]) - 1].Max};
  };
  const int64_t earlierCount = earlier.delayCount;
  // Whether some advancing clock of the later entry is below its Max: then its difference to
  // the earlier entry is the shift, whatever its sign.
  bool belowMax = false;
  int64_t shift = 0;
  for (size_t k : advancing) {
    if (y[k] < maxOf(k)) {
      belowMax = true;
      shift = int64_t{y[k]} - x[k];
      break;
    }
  }
  if (!belowMax) {
    for (size_t k : advancing)
      shift = std::max(shift, maxOf(k) - x[k]);
    if (shift > earlierCount)
      return apart;
    return {taken, ClampToInt(std::max(earlierCount, shift + 1))};
  }
  if (shift <= 0 || shift > earlierCount)
    return apart;
  for (size_t k : advancing) {
    const int64_t delayed = int64_t{x[k]} + shift;
    const bool follows = delayed == y[k] || (delayed > y[k] && y[k] == maxOf(k));
    if (!follows)
      return apart;
  }
  return {taken, ClampToInt(std::max(earlierCount, shift + later.delayCount))};
}

bool WaitingLists::Empty(int64_t index) const {
  const auto found = slots_.find(index);
  return found == slots_.end() || found->second.entries.empty();
}

const WaitingDsState& WaitingLists::Front(int64_t index) const {
  return slots_.at(index).entries.front();
}

void WaitingLists::PopFront(int64_t index) {
  Slot& slot = slots_.at(index);
  // The oldest entry of the list is also the oldest of its key.
  const auto bucket = slot.byKey.find(slot.keys.front());
  bucket->second.pop_front();
  if (bucket->second.empty())
    slot.byKey.erase(bucket);
  slot.keys.pop_front();
  slot.entries.pop_front();
  --size_;
}

int64_t WaitingLists::NextNonEmpty(int64_t from) {
  for (int round = 0; round < 2; ++round) {
    auto it = round == 0 ? candidates_.lower_bound(from) : candidates_.begin();
    while (it != candidates_.end()) {
      const auto slot = slots_.find(*it);
      if (slot != slots_.end() && !slot->second.entries.empty())
        return *it;
      // Lists emptied by the search are dropped here, where they are found.
      if (slot != slots_.end())
        slots_.erase(slot);
      it = candidates_.erase(it);
    }
  }
  return -1;
}

}  // namespace tickcheck
