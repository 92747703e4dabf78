#pragma once
// The waiting lists of the search: one list of waiting entries per composed-location index.
// Only indices that received an entry hold a list, and the indices whose list may be non-empty
// are kept in order, so that finding the next list to drain costs a logarithm, not a scan over
// every composed location of the product.
//
// Each entry carries a merge key chosen by the caller: entries with different keys never merge,
// so a new entry is compared only with the entries of its own key, oldest first, which is the
// order of the list.

#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <unordered_map>
#include <vector>

#include "model/ds_state.h"

namespace tickcheck {

// A waiting entry: a state together with the run of delays that it stands for.
struct WaitingDsState {
  DsState state;
  // At least 1: the entry stands for the state and the states reached from it by 1, 2, ...,
  // delayCount - 1 time units.
  int32_t delayCount = 1;
  // Clocks that do not advance while the entry's delays are expanded.
  std::vector<int32_t> frozenClocks;
};

class WaitingLists {
 public:
  using List = std::list<WaitingDsState>;
  using Candidates = std::deque<List::iterator>;

  explicit WaitingLists(int32_t indexCount) : indexCount_(indexCount) {}

  int32_t IndexCount() const { return indexCount_; }
  // Appends `entry` to the list of `index` (0 <= index < IndexCount()).
  void Append(int32_t index, WaitingDsState entry, uint64_t mergeKey);
  bool Empty(int32_t index) const;
  // The number of entries in all lists.
  size_t Size() const { return size_; }
  // The oldest entry of a non-empty list, and its removal.
  WaitingDsState& Front(int32_t index);
  void PopFront(int32_t index);
  // The entries of `index` with merge key `mergeKey`, oldest first; null when there are none.
  // Entries may be changed through them, but must keep their key.
  const Candidates* WithKey(int32_t index, uint64_t mergeKey) const;
  // The first index at or after `from` whose list is non-empty, else the first one before it,
  // else -1: the search continues cyclically from where it stopped.
  int32_t NextNonEmpty(int32_t from);

 private:
  struct Slot {
    List entries;
    std::deque<uint64_t> keys;  // keys[k] is the key of the k-th entry
    std::unordered_map<uint64_t, Candidates> byKey;
  };

  int32_t indexCount_;
  size_t size_ = 0;
  std::unordered_map<int32_t, Slot> slots_;
  std::set<int32_t> candidates_;  // every non-empty index, and perhaps some emptied since
};

}  // namespace tickcheck
