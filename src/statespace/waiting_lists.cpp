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

uint64_t Mix(uint64_t key, int64_t value) {
  return key ^ (static_cast<uint64_t>(value) + 0x9E3779B97F4A7C15ull + (key << 6) + (key >> 2));
}

// A tag is already a hash.
size_t HomeOf(uint32_t tag, size_t mask) {
  return tag & mask;
}

// What a segment key holds for an advancing clock at its Max: no difference of two clock values
// can be this.
constexpr int64_t kAtMax = std::numeric_limits<int64_t>::min();

}  // namespace

std::vector<size_t> AdvancingPositions(const WaitingDsState& entry) {
  std::vector<size_t> advancing;
  AdvancingPositions(entry, advancing);
  return advancing;
}

void AdvancingPositions(const WaitingDsState& entry, std::vector<size_t>& positions) {
  positions.clear();
  positions.reserve(entry.state.activeClocks.size());
  for (size_t k = 0; k < entry.state.activeClocks.size(); ++k) {
    if (std::find(entry.frozenClocks.begin(), entry.frozenClocks.end(),
                  entry.state.activeClocks[k]) == entry.frozenClocks.end()) {
      positions.push_back(k);
    }
  }
}

size_t WaitingLists::ListHash::operator()(const std::vector<int32_t>& list) const {
  uint64_t key = 0;
  for (int32_t value : list)
    key = Mix(key, value);
  return static_cast<size_t>(key);
}

uint64_t WaitingLists::MergeKey(const View& entry) {
  uint64_t key = 0x9E3779B97F4A7C15ull;
  for (int32_t value : entry.intValues)
    key = Mix(key, value);
  key = Mix(key, -1);
  for (int32_t clock : entry.frozenClocks) {
    key = Mix(key, clock);
    const auto at = std::find(entry.activeClocks.begin(), entry.activeClocks.end(), clock);
    if (at != entry.activeClocks.end())
      key = Mix(key, entry.clockValues[static_cast<size_t>(at - entry.activeClocks.begin())]);
  }
  return key;
}

void WaitingLists::Advancing(const View& entry, std::vector<size_t>& positions) {
  positions.clear();
  for (size_t k = 0; k < entry.activeClocks.size(); ++k) {
    if (std::find(entry.frozenClocks.begin(), entry.frozenClocks.end(), entry.activeClocks[k]) ==
        entry.frozenClocks.end()) {
      positions.push_back(k);
    }
  }
}

uint64_t WaitingLists::SegmentKey(const View& entry, const std::vector<size_t>& advancing,
                                  uint64_t merge, int64_t shift) const {
  // Which advancing clocks stand at their Max after `shift`, and the differences of the others to
  // the first of them, which delays do not change.
  uint64_t key = merge;
  std::optional<int64_t> first;
  for (size_t k : advancing) {
    const int64_t value = entry.clockValues[k];
    if (value + shift >= model_.variables[static_cast<size_t>(entry.activeClocks[k]) - 1].Max) {
      key = Mix(key, kAtMax);
      continue;
    }
    if (!first)
      first = value;
    key = Mix(key, value - *first);
  }
  return key;
}

void WaitingLists::SegmentKeys(const View& entry, const std::vector<size_t>& advancing,
                               uint64_t merge, int64_t reach, std::vector<uint64_t>& keys) const {
  // The run enters a new segment at each delay at which a clock reaches its Max: first those
  // delays, 0 for the entry's own segment, then their keys in their place.
  keys.assign(1, 0);
  for (size_t k : advancing) {
    const int64_t shift =
        model_.variables[static_cast<size_t>(entry.activeClocks[k]) - 1].Max - entry.clockValues[k];
    if (shift > 0 && shift <= reach)
      keys.push_back(static_cast<uint64_t>(shift));
  }
  std::sort(keys.begin() + 1, keys.end());
  keys.erase(std::unique(keys.begin() + 1, keys.end()), keys.end());
  for (uint64_t& key : keys)
    key = SegmentKey(entry, advancing, merge, static_cast<int64_t>(key));
}

WaitingLists::View WaitingLists::ViewOf(const WaitingDsState& entry) {
  return {entry.state.intValues, entry.state.clockValues, entry.state.activeClocks,
          entry.frozenClocks, entry.delayCount};
}

WaitingLists::View WaitingLists::ViewOf(const Slot& slot, const int32_t* record) const {
  const auto ints = static_cast<size_t>(slot.intCount);
  return {{record + kHeader, ints},
          {record + kHeader + ints, clockLists_[static_cast<size_t>(slot.activeClocks)].size()},
          clockLists_[static_cast<size_t>(slot.activeClocks)],
          clockLists_[static_cast<size_t>(record[1])],
          record[0]};
}

const int32_t* WaitingLists::Record(const Slot& slot, uint32_t sequence) {
  const size_t place = slot.head + static_cast<size_t>(sequence - slot.frontSequence);
  return slot.chunks[place / slot.perChunk].data() +
         place % slot.perChunk * static_cast<size_t>(slot.stride);
}

int32_t* WaitingLists::Record(Slot& slot, uint32_t sequence) {
  return const_cast<int32_t*>(Record(std::as_const(slot), sequence));
}

void WaitingLists::Append(Slot& slot, const WaitingDsState& entry) {
  const auto stride = static_cast<size_t>(slot.stride);
  if (slot.chunks.size() == 1 && slot.head > 0 && 2 * slot.head * stride >= slot.chunks[0].size()) {
    // The first chunk's taken records are dropped once they are half of it, so that a short list
    // that waits long stays short.
    std::vector<int32_t>& first = slot.chunks[0];
    first.erase(first.begin(), first.begin() + static_cast<ptrdiff_t>(slot.head * stride));
    slot.head = 0;
  }
  const size_t full = slot.perChunk * stride;
  if (slot.chunks.empty()) {
    slot.chunks.emplace_back().reserve(stride);
  } else if (slot.chunks.back().size() == full) {
    // Later chunks are made at their full size at once.
    slot.chunks.emplace_back().reserve(full);
  } else if (slot.chunks.back().size() + stride > slot.chunks.back().capacity()) {
    // The growth is explicit so that the chunk never exceeds its full size.
    slot.chunks.back().reserve(std::min(2 * slot.chunks.back().capacity(), full));
  }
  std::vector<int32_t>& chunk = slot.chunks.back();
  chunk.insert(chunk.end(), {entry.delayCount, ClockListOf(entry.frozenClocks)});
  chunk.insert(chunk.end(), entry.state.intValues.begin(), entry.state.intValues.end());
  chunk.insert(chunk.end(), entry.state.clockValues.begin(), entry.state.clockValues.end());
}

int32_t WaitingLists::FindSlot(int64_t index) const {
  return index >= 0 && static_cast<size_t>(index) < slotOfIndex_.size()
             ? slotOfIndex_[static_cast<size_t>(index)]
             : -1;
}

std::span<const int32_t> WaitingLists::Row(int32_t number) const {
  return {slots_[static_cast<size_t>(number)].locations, model_.processes.size()};
}

bool WaitingLists::After(int32_t a, int32_t b) const {
  return std::ranges::lexicographical_compare(Row(b), Row(a));
}

int32_t WaitingLists::SlotOf(const WaitingDsState& entry) {
  const int64_t index = entry.state.locationIndex;
  if (const int32_t found = FindSlot(index); found != -1)
    return found;
  if (static_cast<size_t>(index) >= slotOfIndex_.size())
    slotOfIndex_.resize(std::max<size_t>(64, 2 * static_cast<size_t>(index)), -1);
  const auto number = static_cast<int32_t>(slots_.size());
  slotOfIndex_[static_cast<size_t>(index)] = number;
  Slot& slot = slots_.emplace_back();
  slot.index = index;
  slot.locations = entry.state.locations.data();
  slot.activeClocks = ClockListOf(entry.state.activeClocks);
  slot.intCount = static_cast<int32_t>(entry.state.intValues.size());
  slot.stride = kHeader + slot.intCount + static_cast<int32_t>(entry.state.activeClocks.size());
  slot.perChunk = static_cast<uint32_t>(
      std::max<size_t>(1, chunkBytes_ / (sizeof(int32_t) * static_cast<size_t>(slot.stride))));
  return number;
}

int32_t WaitingLists::ClockListOf(const std::vector<int32_t>& clocks) {
  // Entries in a row mostly share their frozen clocks.
  if (lastClockList_ != -1 && clockLists_[static_cast<size_t>(lastClockList_)] == clocks)
    return lastClockList_;
  const auto [found, added] =
      clockListNumbers_.try_emplace(clocks, static_cast<int32_t>(clockLists_.size()));
  if (added)
    clockLists_.push_back(clocks);
  lastClockList_ = found->second;
  return found->second;
}

WaitingLists::Place WaitingLists::PlaceOf(int32_t slot, uint64_t key) {
  uint64_t hash = Mix(key, slot) * 0x9E3779B97F4A7C15ull;
  hash ^= hash >> 31;
  const auto tag = static_cast<uint32_t>(hash);
  return {static_cast<size_t>(hash >> (64 - kShardBits)), tag == 0 ? 1 : tag};
}

size_t WaitingLists::FreeCell(const Shard& shard, uint32_t tag) {
  const std::vector<Filing>& cells = shard.cells;
  const size_t mask = cells.size() - 1;
  size_t cell = HomeOf(tag, mask);
  while (cells[cell].tag != 0)
    cell = (cell + 1) & mask;
  return cell;
}

void WaitingLists::Collect(const Shard& shard, uint32_t tag, std::vector<uint32_t>& sequences) {
  const std::vector<Filing>& cells = shard.cells;
  if (cells.empty())
    return;
  // Linear probing keeps every filing of a tag between its home and the next empty cell.
  const size_t mask = cells.size() - 1;
  for (size_t cell = HomeOf(tag, mask); cells[cell].tag != 0; cell = (cell + 1) & mask) {
    if (cells[cell].tag == tag)
      sequences.push_back(cells[cell].sequence);
  }
}

void WaitingLists::File(int32_t slot, uint32_t sequence, uint64_t key) {
  const Place place = PlaceOf(slot, key);
  Shard& shard = shards_[place.shard];
  // At most two thirds full, so that probes stay short.
  if (3 * (shard.used + 1) > 2 * shard.cells.size()) {
    std::vector<Filing> old = std::move(shard.cells);
    shard.cells.assign(std::max<size_t>(16, 2 * old.size()), Filing{});
    for (const Filing& filing : old) {
      if (filing.tag != 0)
        shard.cells[FreeCell(shard, filing.tag)] = filing;
    }
  }
  shard.cells[FreeCell(shard, place.tag)] = Filing{place.tag, sequence};
  ++shard.used;
}

void WaitingLists::Unfile(int32_t slot, uint32_t sequence, uint64_t key) {
  const Place place = PlaceOf(slot, key);
  Shard& shard = shards_[place.shard];
  const std::vector<Filing>& cells = shard.cells;
  const size_t mask = cells.size() - 1;
  // A filing of another slot may be equal to this one; either may go, the table stays the same.
  size_t cell = HomeOf(place.tag, mask);
  while (cells[cell].tag != place.tag || cells[cell].sequence != sequence)
    cell = (cell + 1) & mask;
  EraseCell(shard, cell);
}

void WaitingLists::EraseCell(Shard& shard, size_t cell) {
  // Linear probing: the filings after the hole that could live in it move up, so that no search
  // stops at the hole early.
  std::vector<Filing>& cells = shard.cells;
  const size_t mask = cells.size() - 1;
  size_t hole = cell;
  for (size_t next = (hole + 1) & mask; cells[next].tag != 0; next = (next + 1) & mask) {
    const size_t home = HomeOf(cells[next].tag, mask);
    // The filing at `next` may fill the hole when its home does not lie in (hole, next].
    const bool between =
        hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
    if (!between) {
      cells[hole] = cells[next];
      hole = next;
    }
  }
  cells[hole] = Filing{};
  --shard.used;
}

void WaitingLists::Enqueue(Slot& slot) {
  // Only a list that has just become non-empty can be missing from the heaps; the list being
  // drained is found by the search without them.
  if (slot.queued || slot.count != 1)
    return;
  slot.queued = true;
  const auto number = static_cast<int32_t>(&slot - slots_.data());
  const std::span<const int32_t> row = Row(number);
  std::vector<int32_t>& heap =
      std::ranges::lexicographical_compare(row, currentRow_) ? behind_ : ahead_;
  heap.push_back(number);
  std::ranges::push_heap(heap, [this](int32_t a, int32_t b) { return After(a, b); });
}

MergeOutcome WaitingLists::Insert(const WaitingDsState& entry, bool skipFront) {
  const int32_t number = SlotOf(entry);
  Slot& slot = slots_[static_cast<size_t>(number)];
  const View fresh = ViewOf(entry);
  Advancing(fresh, advancing_);
  // Whichever of a stored partner and the new entry is the earlier, the stored one's run ends
  // where the new one's run is after at most the sum of their counts.
  const uint64_t mergeKey = MergeKey(fresh);
  SegmentKeys(fresh, advancing_, mergeKey, int64_t{fresh.delayCount} + slot.longestCount, keys_);
  candidates_.clear();
  for (uint64_t key : keys_) {
    const Place place = PlaceOf(number, key);
    Collect(shards_[place.shard], place.tag, candidates_);
  }
  // Sequence numbers wrap: order them by their distance from the front. Those of other slots
  // that share a tag may lie outside the list.
  const uint32_t front = slot.frontSequence;
  const uint32_t count = slot.count;
  std::erase_if(candidates_,
                [front, count](uint32_t sequence) { return sequence - front >= count; });
  std::sort(candidates_.begin(), candidates_.end(),
            [front](uint32_t a, uint32_t b) { return a - front < b - front; });
  for (size_t at = 0; at < candidates_.size(); ++at) {
    const uint32_t sequence = candidates_[at];
    if ((at > 0 && sequence == candidates_[at - 1]) || (skipFront && sequence == front))
      continue;
    int32_t* record = Record(slot, sequence);
    const View stored = ViewOf(slot, record);
    const Merge merge = Compare(fresh, advancing_, stored);
    if (merge.outcome == MergeOutcome::kApart)
      continue;
    if (merge.outcome != MergeOutcome::kCovered) {
      // The merged run may end in another segment. Both entries share their advancing clocks and
      // merge key.
      const uint64_t filed = FilingKey(stored, advancing_, mergeKey);
      if (merge.outcome == MergeOutcome::kStoredTakesNew) {
        std::copy(entry.state.clockValues.begin(), entry.state.clockValues.end(),
                  record + kHeader + slot.intCount);
      }
      record[0] = merge.mergedCount;
      slot.longestCount = std::max(slot.longestCount, merge.mergedCount);
      if (const uint64_t key = FilingKey(ViewOf(slot, record), advancing_, mergeKey);
          key != filed) {
        Unfile(number, sequence, filed);
        File(number, sequence, key);
      }
    }
    return merge.outcome;
  }

  const uint32_t sequence = slot.frontSequence + slot.count;
  Append(slot, entry);
  ++slot.count;
  slot.longestCount = std::max(slot.longestCount, entry.delayCount);
  File(number, sequence, FilingKey(fresh, advancing_, mergeKey));
  Enqueue(slot);
  ++size_;
  return MergeOutcome::kApart;
}

Merge WaitingLists::Compare(const WaitingDsState& fresh, const WaitingDsState& stored) const {
  return Compare(ViewOf(fresh), AdvancingPositions(fresh), ViewOf(stored));
}

Merge WaitingLists::Compare(const View& w, const std::vector<size_t>& advancing,
                            const View& e) const {
  const Merge apart;
  if (!std::ranges::equal(w.frozenClocks, e.frozenClocks) ||
      !std::ranges::equal(w.intValues, e.intValues) ||
      !std::ranges::equal(w.activeClocks, e.activeClocks)) {
    return apart;
  }
  for (int32_t clock : w.frozenClocks) {
    const auto at = std::find(w.activeClocks.begin(), w.activeClocks.end(), clock);
    if (at == w.activeClocks.end())
      continue;
    const size_t k = static_cast<size_t>(at - w.activeClocks.begin());
    if (w.clockValues[k] != e.clockValues[k])
      return apart;
  }
  const int64_t cW = w.delayCount;
  const int64_t cE = e.delayCount;
  if (std::ranges::equal(w.clockValues, e.clockValues)) {
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
  const View& earlier = freshEarlier ? w : e;
  const View& later = freshEarlier ? e : w;
  const std::span<const int32_t> x = earlier.clockValues;
  const std::span<const int32_t> y = later.clockValues;
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
  const int32_t number = FindSlot(index);
  return number == -1 || slots_[static_cast<size_t>(number)].count == 0;
}

void WaitingLists::Front(int64_t index, WaitingDsState& entry) const {
  if (Empty(index))
    return;
  const Slot& slot = slots_[static_cast<size_t>(FindSlot(index))];
  const View front = ViewOf(slot, Record(slot, slot.frontSequence));
  entry.state.locationIndex = slot.index;
  entry.state.locations = {slot.locations, model_.processes.size()};
  entry.state.intValues.assign(front.intValues.begin(), front.intValues.end());
  entry.state.clockValues.assign(front.clockValues.begin(), front.clockValues.end());
  entry.state.activeClocks.assign(front.activeClocks.begin(), front.activeClocks.end());
  entry.delayCount = front.delayCount;
  entry.frozenClocks.assign(front.frozenClocks.begin(), front.frozenClocks.end());
}

void WaitingLists::PopFront(int64_t index) {
  if (Empty(index))
    return;
  const int32_t number = FindSlot(index);
  Slot& slot = slots_[static_cast<size_t>(number)];
  const View front = ViewOf(slot, Record(slot, slot.frontSequence));
  Advancing(front, frontAdvancing_);
  Unfile(number, slot.frontSequence, FilingKey(front, frontAdvancing_, MergeKey(front)));
  ++slot.head;
  ++slot.frontSequence;
  --slot.count;
  --size_;
  if (slot.count == 0) {
    // Most composed locations wait only now and then: an empty list gives its memory back.
    std::vector<std::vector<int32_t>>().swap(slot.chunks);
    slot.head = 0;
    slot.longestCount = 0;
  } else if (slot.head % slot.perChunk == 0) {
    // The chunk just emptied is freed; the freed ones are taken out of the list of chunks once
    // they are half of it, so that a long list is not shifted a chunk at a time.
    const size_t emptied = slot.head / slot.perChunk;
    std::vector<int32_t>().swap(slot.chunks[emptied - 1]);
    if (2 * emptied >= slot.chunks.size()) {
      slot.chunks.erase(slot.chunks.begin(), slot.chunks.begin() + static_cast<ptrdiff_t>(emptied));
      slot.head = 0;
    }
  }
}

std::optional<int64_t> WaitingLists::NextNonEmpty(int64_t from) {
  const auto after = [this](int32_t a, int32_t b) { return After(a, b); };
  const int32_t fromSlot = FindSlot(from);
  if (current_ != from || (currentRow_.empty() && fromSlot != -1)) {
    // Another starting point, or one whose list was first filled since: the heaps are split anew
    // around it.
    currentRow_ = fromSlot == -1 ? std::span<const int32_t>() : Row(fromSlot);
    std::vector<int32_t> all = std::move(ahead_);
    all.insert(all.end(), behind_.begin(), behind_.end());
    ahead_.clear();
    behind_.clear();
    for (int32_t number : all)
      (std::ranges::lexicographical_compare(Row(number), currentRow_) ? behind_ : ahead_)
          .push_back(number);
    std::ranges::make_heap(ahead_, after);
    std::ranges::make_heap(behind_, after);
    current_ = from;
  }
  if (!Empty(from))
    return from;
  for (;;) {
    if (ahead_.empty())
      std::swap(ahead_, behind_);
    if (ahead_.empty())
      return std::nullopt;
    std::ranges::pop_heap(ahead_, after);
    const int32_t number = ahead_.back();
    ahead_.pop_back();
    Slot& slot = slots_[static_cast<size_t>(number)];
    slot.queued = false;
    // A list emptied by other means than the search waits no more.
    if (slot.count == 0)
      continue;
    current_ = slot.index;
    currentRow_ = Row(number);
    return slot.index;
  }
}

}  // namespace tickcheck
