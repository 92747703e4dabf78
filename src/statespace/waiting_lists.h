#pragma once
// The waiting lists of the search: one list of waiting entries per composed location, and the
// rule by which a new entry merges with the entries that wait already.
//
// A list is a queue of fixed-size records, one per entry, per composed location: the delay count,
// the entry's frozen clocks (as the number of a list of clocks kept once), its integer and clock
// values. States of one composed location carry the same active clocks, so the list keeps them,
// and the location vector, once. The records lie in chunks of at most about 256 KiB: a long list
// grows a chunk at a time and gives its memory back a chunk at a time, never copying itself, so
// that the memory of a search grows in small steps.
//
// A new entry merges with the oldest stored entry that is not apart from it. Two entries are
// apart unless their frozen clocks, the values of those that are active, and their integer values
// agree (their merge key), and one of them lies on the run of delays of the other within that
// one's delay count (the clocks that advance moving together, each stopping at its Max), so the
// search for the partner can be an index lookup rather than a walk over the list. The run of
// delays of an entry passes through segments: while the same advancing clocks stand at their Max,
// the differences between the others do not change. An entry is filed under its merge key with
// the segment of each part of its run (at most one more than its advancing clocks); a new entry is
// compared only with the entries filed under the segments of its own run, oldest first. Two
// entries that are not apart share a segment (that of the later one), so the outcome is that of a
// walk over the whole list. The composed locations whose lists are non-empty wait in two heaps
// ordered by their location vectors (first process most significant): those the current round of
// the search still reaches, and those it has passed.

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
  static constexpr size_t kChunkBytes = size_t{1} << 18;

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
    // The records: every chunk but the last holds `perChunk` records (the first one counting
    // those already taken from it); only the first grows by doubling, up to that size.
    std::vector<std::vector<int32_t>> chunks;
    uint32_t perChunk = 0;
    uint32_t head = 0;           // the front record's place in the first chunk
    uint32_t frontSequence = 0;  // the sequence number of the front record
    uint32_t count = 0;
    bool queued = false;  // in one of the heaps
  };
  // One entry of one slot filed under one segment key, by its sequence number. An entry filed
  // under several keys has a filing for each; the filings of one key lie in no order.
  struct Filing {
    uint64_t key = 0;
    int32_t slot = -1;  // -1: an empty cell
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
  // Writes into `keys` the segment keys of the run of delays of `entry`, whose advancing clocks
  // are at `advancing`: the segment of the entry, then that of each later part of its run within
  // its delay count. Each key includes the merge key.
  void SegmentKeys(const View& entry, const std::vector<size_t>& advancing,
                   std::vector<uint64_t>& keys) const;
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
  Shard& ShardOf(int32_t slot, uint64_t key);
  const Shard& ShardOf(int32_t slot, uint64_t key) const;
  // The first empty cell of `shard` at or after the home of (slot, key).
  static size_t FreeCell(const Shard& shard, int32_t slot, uint64_t key);
  // Appends to `sequences` those filed under (slot, key).
  static void Collect(const Shard& shard, int32_t slot, uint64_t key,
                      std::vector<uint32_t>& sequences);
  // Files sequence `sequence` of slot `slot` under each of `keys` / takes it out of them.
  void File(int32_t slot, uint32_t sequence, const std::vector<uint64_t>& keys);
  void Unfile(int32_t slot, uint32_t sequence, const std::vector<uint64_t>& keys);
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
  std::vector<size_t> storedAdvancing_;
  std::vector<uint64_t> keys_;
  std::vector<uint64_t> storedKeys_;
  std::vector<uint64_t> grownKeys_;
  std::vector<uint32_t> candidates_;
};

}  // namespace tickcheck
