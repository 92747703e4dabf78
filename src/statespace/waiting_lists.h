#pragma once
// The waiting lists of the search: one list of waiting entries per composed-location index.
// Only indices that received an entry hold a list, and the indices whose list may be non-empty
// are kept in order, so that finding the next list to drain costs a logarithm, not a scan over
// every composed location of the product.

#include <cstdint>
#include <list>
#include <set>
#include <unordered_map>

#include "statespace/ds_state.h"

namespace tickcheck {

class WaitingLists {
 public:
  using List = std::list<WaitingDsState>;

  explicit WaitingLists(int32_t indexCount) : indexCount_(indexCount) {}

  int32_t IndexCount() const { return indexCount_; }
  // Appends `entry` to the list of `index` (0 <= index < IndexCount()).
  void Append(int32_t index, WaitingDsState entry);
  // The list of `index`, empty when nothing was appended to it. Entries may be changed or erased
  // through it; new entries go through Append.
  List& ListAt(int32_t index);
  // The first index at or after `from` whose list is non-empty, else the first one before it,
  // else -1: the search continues cyclically from where it stopped.
  int32_t NextNonEmpty(int32_t from);

 private:
  int32_t indexCount_;
  std::unordered_map<int32_t, List> lists_;
  std::set<int32_t> candidates_;  // every non-empty index, and perhaps some emptied since
  List empty_;
};

}  // namespace tickcheck
