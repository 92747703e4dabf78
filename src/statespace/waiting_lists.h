#pragma once
// The waiting lists of the search: one list of waiting entries per composed-location index, and
// the rule by which a new entry merges with the entries that wait already.
//
// Only indices that received an entry hold a list, and the indices whose list may be non-empty
// are kept in order, so that finding the next list to drain costs a logarithm, not a scan over
// every composed location of the product. Entries merge only when their frozen clocks, the values
// of those that are active, and their integer values agree: a new entry is compared only with the
// entries of the same such key, oldest first, which is the order of the list.

#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <unordered_map>
#include <vector>

#include "model/ds_state.h"
#include "model/system.h"

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

// The positions, in the entry's active clocks, of the clocks that are not frozen.
std::vector<size_t> AdvancingPositions(const WaitingDsState& entry);

// How a new entry relates to a stored one.
enum class MergeOutcome {
  kApart,           // neither stands for the other's states: both wait
  kCovered,         // the stored entry stands for every state of the new one
  kStoredTakesNew,  // the stored entry takes the new one's state and the merged count
  kStoredExtended   // the stored entry keeps its state and takes the merged count
};

struct Merge {
  MergeOutcome outcome = MergeOutcome::kApart;
  int32_t mergedCount = 0;  // for kStoredTakesNew and kStoredExtended
};

class WaitingLists {
 public:
  using List = std::list<WaitingDsState>;

  // `model` gives the clocks' Max; it must outlive the lists.
  explicit WaitingLists(const CSystem& model) : model_(model) {}

  // Puts `entry` into the list of its composed location: merged into the first stored entry that
  // is not apart from it (the list's first entry excepted when `skipFront`, the entry being
  // expanded), else appended. Answers the merge, kApart when it was appended.
  MergeOutcome Insert(WaitingDsState entry, bool skipFront);
  // Compares a new entry with a stored one of the same composed location.
  Merge Compare(const WaitingDsState& fresh, const WaitingDsState& stored) const;

  bool Empty(int64_t index) const;
  // The number of entries in all lists.
  size_t Size() const { return size_; }
  // The oldest entry of a non-empty list, and its removal.
  const WaitingDsState& Front(int64_t index) const;
  void PopFront(int64_t index);
  // The first index at or after `from` whose list is non-empty, else the first one before it,
  // else -1: the search continues cyclically from where it stopped.
  int64_t NextNonEmpty(int64_t from);

 private:
  using Candidates = std::deque<List::iterator>;
  struct Slot {
    List entries;
    std::deque<uint64_t> keys;  // keys[k] is the key of the k-th entry
    std::unordered_map<uint64_t, Candidates> byKey;
  };

  // The key under which an entry waits: entries with different keys never merge.
  static uint64_t MergeKey(const WaitingDsState& entry);
  Merge Compare(const WaitingDsState& fresh, const std::vector<size_t>& advancing,
                const WaitingDsState& stored) const;

  const CSystem& model_;
  size_t size_ = 0;
  std::unordered_map<int64_t, Slot> slots_;
  std::set<int64_t> candidates_;  // every non-empty index, and perhaps some emptied since
};

}  // namespace tickcheck
