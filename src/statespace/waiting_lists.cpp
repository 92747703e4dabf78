#include "statespace/waiting_lists.h"

#include <utility>

namespace tickcheck {

void WaitingLists::Append(int32_t index, WaitingDsState entry) {
  lists_[index].push_back(std::move(entry));
  candidates_.insert(index);
}

WaitingLists::List& WaitingLists::ListAt(int32_t index) {
  const auto found = lists_.find(index);
  if (found != lists_.end())
    return found->second;
  empty_.clear();
  return empty_;
}

int32_t WaitingLists::NextNonEmpty(int32_t from) {
  for (int round = 0; round < 2; ++round) {
    auto it = round == 0 ? candidates_.lower_bound(from) : candidates_.begin();
    while (it != candidates_.end()) {
      const auto list = lists_.find(*it);
      if (list != lists_.end() && !list->second.empty())
        return *it;
      // Lists emptied by the search are dropped here, where they are found.
      if (list != lists_.end())
        lists_.erase(list);
      it = candidates_.erase(it);
    }
  }
  return -1;
}

}  // namespace tickcheck
