#pragma once
// The waiting lists of the search: one list of waiting entries per composed location, and the
// rule by which a new entry merges with the entries that wait already.
//
// A list is a queue of fixed-size records, one per entry, per composed location: the delay count,
// the entry's frozen clocks (as the number of a list of clocks kept once), its integer and clock
// values. States of one composed location carry the same active clocks, so the list keeps them,
// and the location vector, once. The records lie in chunks of less than 1 KiB: a long list grows
// a chunk at a time and gives its memory back a chunk at a time, never copying itself, so that the
// memory of a search grows in small steps; and the allocator serves blocks of that size from its
// caches of small blocks, where a larger block makes it first sort every small block freed since,
// which the many lists that fill and empty again and again would pay each time they grow.
//
// A new entry merges with the oldest stored entry that is not apart from it. Two entries are
// apart unless their frozen clocks, the values of those that are active, and their integer values
// agree (their merge key), and one of them lies on the run of delays of the other within that
// one's delay count (the clocks that advance moving together, each stopping at its Max), so the
// search for the partner can be an index lookup rather than a walk over the list. The run of
// delays of an entry, followed on without end, passes through segments: while the same advancing
// clocks stand at their Max, the differences between the others do not change. When two entries
// are not apart, the later one is the earlier one delayed by some s within the earlier one's
// count, and from there on both runs pass through the same segments. So each entry is filed once,
// under its merge key with the segment in which its run ends (at its delay count), and a new entry
// looks up the segments that its run meets within its own count plus the largest count that has
// waited in its list since the list was last empty (at most one more than its advancing clocks):
// the stored partner's end lies there, whichever of the two is the earlier. The candidates are
// compared oldest first, so the outcome is that of a walk over the whole list. The composed
// locations whose lists are non-empty wait in two heaps ordered by their location vectors (first
// process most significant): those the current round of the search still reaches, and those it
// has passed.

#include <cstdint>
#include <optional>
#include <span>
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

// The positions, in the entry's active clocks, of the clocks that are not frozen; the second form
// writes them into `positions`.
std::vector<size_t> AdvancingPositions(const WaitingDsState& entry);
void AdvancingPositions(const WaitingDsState& entry, std::vector<size_t>& positions);

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
  // The size of a full chunk of records.
  static constexpr size_t kChunkBytes = 1000;

  // `model` gives the clocks' Max; it must outlive the lists. `chunkBytes` is the size of a full
  // chunk of records (at least one record).
  explicit WaitingLists(const CSystem& model, size_t chunkBytes = kChunkBytes)
      : model_(model), chunkBytes_(chunkBytes) {}

  // Puts `entry` into the list of its composed location: merged into the first stored entry that
  // is not apart from it (the list's first entry excepted when `skipFront`, the entry being
  // expanded), else appended. Answers the merge, kApart when it was appended. The entry's state
  // must carry the active clocks of every state of its composed location, and its `locations`
  // must stay valid while the entry waits.
  MergeOutcome Insert(const WaitingDsState& entry, bool skipFront);
  // Compares a new entry with a stored one of the same composed location.
  Merge Compare(const WaitingDsState& fresh, const WaitingDsState& stored) const;

  bool Empty(int64_t index) const;
  // The number of entries in all lists.
  size_t Size() const { return size_; }
  // Copies the oldest entry of a non-empty list into `entry` (reusing its storage); PopFront
  // removes it.
  void Front(int64_t index, WaitingDsState& entry) const;
  void PopFront(int64_t index);
  // The composed location with a non-empty list whose location vector is the first at or after
  // that of `from`, else the first one before it, else nothing: the search continues cyclically,
  // in the order of the location vectors, from where it stopped. A `from` whose list was never
  // filled counts as before every other.
  std::optional<int64_t> NextNonEmpty(int64_t from);

 private:
  // An entry as the comparison reads it, from a WaitingDsState or from a record.
  struct View {
    std::span<const int32_t> intValues;
    std::span<const int32_t> clockValues;
    std::span<const int32_t> activeClocks;
    std::span<const int32_t> frozenClocks;
    int32_t delayCount;
  };
  struct Slot {
    int64_t index = 0;
    const int32_t* locations = nullptr;  // one entry per process
    int32_t activeClocks = 0;            // the number of the list of active clocks
    int32_t intCount = 0;
    int32_t stride = 0;  // words per record
    // The records: every chunk but the last holds `perChunk` records, counting those already
    // taken from it; those before the front record's are freed. Only the first grows, doubling
    // its capacity in records from one, up to that size.
    std::vector<std::vector<int32_t>> chunks;
    uint32_t perChunk = 0;
    uint32_t head = 0;           // the front record's place, counted from the first chunk
    uint32_t frontSequence = 0;  // the sequence number of the front record
    uint32_t count = 0;
    // At least the delay count of every entry in the list: the largest that has waited in it
    // since it was last empty.
    int32_t longestCount = 0;
    bool queued = false;  // in one of the heaps
  };
  // One entry filed under its slot and segment key, by its sequence number: 8 bytes. The tag is
  // 32 bits of the hash of slot and key (never 0, which marks an empty cell), so filings of other
  // keys or slots may share it; a lookup then finds more candidates than it needs, which the
  // comparison turns away. The filings of one tag lie in no order.
  struct Filing {
    uint32_t tag = 0;
    uint32_t sequence = 0;
  };
  // Record words: delay count, frozen-list number, then the integer and clock values.
  static constexpr int32_t kHeader = 2;

  static View ViewOf(const WaitingDsState& entry);
  View ViewOf(const Slot& slot, const int32_t* record) const;
  static int32_t* Record(Slot& slot, uint32_t sequence);
  static const int32_t* Record(const Slot& slot, uint32_t sequence);
  // Appends the record of `entry` to the list of `slot`.
  void Append(Slot& slot, const WaitingDsState& entry);

  // The key under which an entry waits: entries with different keys never merge.
  static uint64_t MergeKey(const View& entry);
  // The positions of the clocks of `entry` that are not frozen.
  static void Advancing(const View& entry, std::vector<size_t>& positions);
  // The key of the segment in which the run of delays of `entry`, whose advancing clocks are at
  // `advancing` and whose merge key is `merge`, is after `shift` time units.
  uint64_t SegmentKey(const View& entry, const std::vector<size_t>& advancing, uint64_t merge,
                      int64_t shift) const;
  // Writes into `keys` the keys of the segments that the run of `entry` meets within `reach`
  // time units: its own first, then one per advancing clock that reaches its Max within it.
  void SegmentKeys(const View& entry, const std::vector<size_t>& advancing, uint64_t merge,
                   int64_t reach, std::vector<uint64_t>& keys) const;
  // The key under which `entry` is filed: the segment in which its run ends.
  uint64_t FilingKey(const View& entry, const std::vector<size_t>& advancing,
                     uint64_t merge) const {
    return SegmentKey(entry, advancing, merge, entry.delayCount);
  }
  Merge Compare(const View& fresh, const std::vector<size_t>& advancing, const View& stored) const;

  // The slot of `index`, made for `entry` when there is none; FindSlot answers -1 instead.
  int32_t SlotOf(const WaitingDsState& entry);
  int32_t FindSlot(int64_t index) const;
  // The location vector of slot `number`.
  std::span<const int32_t> Row(int32_t number) const;
  // Whether the location vector of slot `a` comes after that of slot `b`: the heaps' order.
  bool After(int32_t a, int32_t b) const;
  int32_t ClockListOf(const std::vector<int32_t>& clocks);
  // The filings are spread over shards that grow one at a time, so that the index grows in
  // small steps too; each is an open-addressed table with linear probing, at most two thirds
  // full, holding the filings themselves (no allocation per key).
  static constexpr int kShardBits = 6;
  struct Shard {
    std::vector<Filing> cells;
    size_t used = 0;
  };
  // Where the filings of (slot, key) go: a shard and a tag.
  struct Place {
    size_t shard = 0;
    uint32_t tag = 0;
  };
  static Place PlaceOf(int32_t slot, uint64_t key);
  // The first empty cell of `shard` at or after the home of `tag`.
  static size_t FreeCell(const Shard& shard, uint32_t tag);
  // Appends to `sequences` those filed under `tag` in `shard`.
  static void Collect(const Shard& shard, uint32_t tag, std::vector<uint32_t>& sequences);
  // Files sequence `sequence` of slot `slot` under `key` / takes it out.
  void File(int32_t slot, uint32_t sequence, uint64_t key);
  void Unfile(int32_t slot, uint32_t sequence, uint64_t key);
  static void EraseCell(Shard& shard, size_t cell);
  void Enqueue(Slot& slot);

  const CSystem& model_;
  const size_t chunkBytes_;
  size_t size_ = 0;
  std::vector<Slot> slots_;
  // The slot of each composed location by its number (-1: none); numbers are dense.
  std::vector<int32_t> slotOfIndex_;
  struct ListHash {
    size_t operator()(const std::vector<int32_t>& list) const;
  };
  std::vector<std::vector<int32_t>> clockLists_;
  std::unordered_map<std::vector<int32_t>, int32_t, ListHash> clockListNumbers_;
  int32_t lastClockList_ = -1;  // the number that ClockListOf answered last
  std::vector<Shard> shards_ = std::vector<Shard>(size_t{1} << kShardBits);
  // The slots of the non-empty lists whose location vectors come at or after that of the search's
  // current one, and those before it: heaps with the first location vector on top.
  std::vector<int32_t> ahead_;
  std::vector<int32_t> behind_;
  std::optional<int64_t> current_;
  std::span<const int32_t> currentRow_;  // empty when the current location has no list
  // Scratch of Insert and PopFront, kept for its storage.
  std::vector<size_t> advancing_;
  std::vector<size_t> frontAdvancing_;
  std::vector<uint64_t> keys_;
  std::vector<uint32_t> candidates_;
};

}  // namespace tickcheck
