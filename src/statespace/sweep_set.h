#pragma once
// The states reached in the current sweep of the search. They are kept as boxes, one per added
// state: its discrete part (composed location and integer values) and an interval per active
// clock, so that membership during the sweep is a hash lookup instead of a diagram operation, and
// the diagram of the boxes is built once, in one pass over them all.
//
// Membership answers exactly what the diagram would: a state is in the set when some box has its
// composed location and integer values and holds each of its clock values (states of one composed
// location carry the same active clocks). Within one discrete part, boxes are also found by hash:
// by the values of the clocks at which a box holds one value, so that a long delay run stored
// value by value costs a lookup per state rather than a walk over the whole run.
//
// The set is emptied after every join of a batch of states, so its storage is kept from one batch
// to the next: after the first batches, adding a state allocates nothing.

#include <cstdint>
#include <optional>
#include <vector>

#include "model/ds_state.h"
#include "statespace/clock_intervals.h"
#include "statespace/state_space.h"

namespace tickcheck {

class SweepSet {
 public:
  // Both must outlive the set.
  SweepSet(const CStateSpace& space, const ClockIntervals& intervals)
      : space_(space), intervals_(intervals) {}

  void Clear();
  // The number of boxes added since the last Clear.
  size_t BoxCount() const { return boxCount_; }
  bool Contains(const DsState& state) const { return Find(state).has_value(); }
  // A box that holds the state (valid until the next Add or Clear), or none.
  std::optional<ClockBoxView> Find(const DsState& state) const;
  // Adds the state, each active clock widened to its interval when `widen` is set, else exactly,
  // and returns the box stored for it (valid until the next Add or Clear). `observed`: see
  // ClockIntervals::Box.
  ClockBoxView Add(const DsState& state, bool widen, const ObservedComparisons* observed = nullptr);
  // The diagram of every state added since the last Clear, built in one pass over all boxes
  // (statespace/box_union.h), which makes far fewer nodes than joining the boxes' diagrams.
  bdd ToBdd() const;

 private:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The boxes of one discrete part. A shelf is a set of clocks (one flag per active clock); the
  // boxes that hold one value at exactly the clocks of a shelf, and the same values there, form
  // a chain in the order they were added.
  struct Group {
    DsState sample;  // a state of the group: its discrete part and active clocks
    // The boxes, one after another, each its starts then its ends (two words per active clock).
    std::vector<int32_t> bounds;
    std::vector<uint32_t> next;    // per box: the next box of its chain, or kNone
    std::vector<uint8_t> shelves;  // one flag per active clock, shelf after shelf
    uint32_t shelfCount = 0;
    size_t count = 0;

    size_t Clocks() const { return sample.activeClocks.size(); }
    const uint8_t* Shelf(size_t s) const { return shelves.data() + s * Clocks(); }
    ClockBoxView BoxAt(size_t index) const {
      const size_t clocks = Clocks();
      const int32_t* at = bounds.data() + 2 * clocks * index;
      return {{at, clocks}, {at + clocks, clocks}};
    }
  };
  // Open-addressed cells: a group by the hash of its discrete part, and a chain by the hash of
  // its group, shelf and values.
  struct GroupCell {
    uint64_t hash = 0;
    uint32_t group = kNone;
  };
  struct ChainCell {
    uint64_t hash = 0;
    uint32_t group = kNone;
    uint32_t shelf = 0;
    uint32_t head = 0;
    uint32_t tail = 0;
  };

  static uint64_t ChainHash(uint32_t group, uint32_t shelf, const Group& of,
                            const std::vector<int32_t>& clockValues);
  uint32_t FindGroup(const DsState& state, uint64_t hash) const;
  uint32_t NewGroup(const DsState& state, uint64_t hash);
  // The cell of the chain of `group`'s shelf `shelf` holding `clockValues` there, or of the empty
  // place where it would go.
  const ChainCell& FindChain(uint32_t group, uint32_t shelf, uint64_t hash,
                             const std::vector<int32_t>& clockValues) const;
  // Doubles an open-addressed table and places its cells again.
  template <typename Cell>
  static void Grow(std::vector<Cell>& cells);

  const CStateSpace& space_;
  const ClockIntervals& intervals_;
  std::vector<Group> groups_;  // the first groupCount_ in use, the others kept for their storage
  size_t groupCount_ = 0;
  size_t chainCount_ = 0;
  size_t boxCount_ = 0;
  std::vector<GroupCell> groupCells_ = std::vector<GroupCell>(64);
  std::vector<ChainCell> chainCells_ = std::vector<ChainCell>(64);
  // The one-pass union's storage, kept from one join to the next.
  mutable std::vector<FieldInterval> bounds_;
  mutable BoxUnionScratch scratch_;
  std::vector<uint8_t> single_;  // Add's clocks at which the box holds one value
  ClockBox box_;                 // Add's widened box
};

}  // namespace tickcheck
