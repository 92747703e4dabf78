#pragma once
// The waiting lists of the search: one list of waiting entries per composed location, and the
// rule by which a new entry merges with the entries that wait already.
//
// A list is a queue of fixed-size records, one per entry, in one array per composed location: the
// delay count, the entry's frozen clocks (as the number of a list of clocks kept once), its integer
// and clock values. States of one composed location carry the same active clocks, so the list
// keeps them, and the location vector, once. Entries merge only when their frozen clocks, the
// values of those that are active, and their integer values agree: a new entry is compared only
// with the entries of the same such key, oldest first, which is the order of the list. An
// open-addressed index finds the oldest entry of a key; each record links to the next entry of
// its key. The composed locations whose lists are non-empty wait in two heaps ordered by their
// location vectors (first process most significant): those the current round of the search
// still reaches, and those it has passed.

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
  // `model` gives the clocks' Max; it must outlive the lists.
  explicit WaitingLists(const CSystem& model) : model_(model) {}

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
    size_t head = 0;     // the first word of the front record
    std::vector<int32_t> records;
    uint32_t frontSequence = 0;  // the sequence number of the record at `head`
    uint32_t count = 0;
    bool queued = false;  // in one of the heaps
  };
  // The oldest and the newest waiting entry of a key in a slot, by sequence number.
  struct KeyCell {
    uint32_t key = 0;
    int32_t slot = -1;  // -1: an empty cell
    uint32_t first = 0;
    uint32_t last = 0;
  };
  // Record words: delay count, frozen-list number, link to the next entry of the key (the
  // difference of sequence numbers, 0 for none), then the integer and clock values.
  static constexpr int32_t kHeader = 3;

  static View ViewOf(const WaitingDsState& entry);
  View ViewOf(const Slot& slot, const int32_t* record) const;
  int32_t* Record(Slot& slot, uint32_t sequence);
  const int32_t* Record(const Slot& slot, uint32_t sequence) const;

  // The key under which an entry waits: entries with different keys never merge.
  static uint32_t MergeKey(const View& entry);
  Merge Compare(const View& fresh, const std::vector<size_t>& advancing, const View& stored) const;

  // The slot of `index`, made for `entry` when there is none; FindSlot answers -1 instead.
  int32_t SlotOf(const WaitingDsState& entry);
  int32_t FindSlot(int64_t index) const;
  // The location vector of slot `number`.
  std::span<const int32_t> Row(int32_t number) const;
  // Whether the location vector of slot `a` comes after that of slot `b`: the heaps' order.
  bool After(int32_t a, int32_t b) const;
  int32_t ClockListOf(const std::vector<int32_t>& clocks);
  // The cell of (slot, key), or of the empty cell where it would go.
  size_t FindCell(int32_t slot, uint32_t key) const;
  void GrowCells();
  void EraseCell(size_t cell);
  void Enqueue(Slot& slot);

  const CSystem& model_;
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
  std::vector<KeyCell> cells_;
  size_t usedCells_ = 0;
  // The slots of the non-empty lists whose location vectors come at or after that of the search's
  // current one, and those before it: heaps with the first location vector on top.
  std::vector<int32_t> ahead_;
  std::vector<int32_t> behind_;
  std::optional<int64_t> current_;
  std::span<const int32_t> currentRow_;  // empty when the current location has no list
  std::vector<size_t> advancing_;        // Insert's scratch, kept for its storage
};

}  // namespace tickcheck
