#include "statespace/waiting_lists.h"

#include <utility>

namespace tickcheck {

void WaitingLists::Append(int32_t index, WaitingDsState entry, uint64_t mergeKey) {
  Slot& slot = slots_[index];
  slot.entries.push_back(std::move(entry));
  slot.keys.push_back(mergeKey);
  slot.byKey[mergeKey].push_back(std::prev(slot.entries.end()));
  candidates_.insert(index);
  ++size_;
}

bool WaitingLists::Empty(int32_t index) const {
  const auto found = slots_.find(index);
  return found == slots_.end() || found->second.entries.empty();
}

WaitingDsState& WaitingLists::Front(int32_t index) {
  return slots_.at(index).entries.front();
}

void WaitingLists::PopFront(int32_t index) {
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

const WaitingLists::Candidates* WaitingLists::WithKey(int32_t index, uint64_t mergeKey) const {
  const auto slot = slots_.find(index);
  if (slot == slots_.end())
    return nullptr;
  const auto bucket = slot->second.byKey.find(mergeKey);
  return bucket == slot->second.byKey.end() ? nullptr : &bucket->second;
}

int32_t WaitingLists::NextNonEmpty(int32_t from) {
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
