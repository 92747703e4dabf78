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

#include <cstdint>
#include <optional>
#include <unordered_map>
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

  void Clear() {
    boxes_.clear();
    boxCount_ = 0;
  }
  // The number of boxes added since the last Clear.
  size_t BoxCount() const { return boxCount_; }
  bool Contains(const DsState& state) const { return Find(state).has_value(); }
  // A box that holds the state (valid until the next Add or Clear), or none.
  std::optional<ClockBoxView> Find(const DsState& state) const;
  // Adds the state, each active clock widened to its interval when `widen` is set, else exactly,
  // and returns the box stored for it (valid until the next Add or Clear).
  ClockBoxView Add(const DsState& state, bool widen);
  // The diagram of every state added since the last Clear, built in one pass over all boxes
  // (statespace/box_union.h), which makes far fewer nodes than joining the boxes' diagrams.
  bdd ToBdd() const;

 private:
  struct Key {
    int64_t locationIndex;
    std::vector<int32_t> intValues;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const;
  };
  struct ValuesHash {
    size_t operator()(const std::vector<int32_t>& values) const;
  };
  // The boxes of a group that hold one value at exactly the clocks of `single`, by those values.
  struct Shelf {
    std::vector<uint8_t> single;
    std::unordered_map<std::vector<int32_t>, std::vector<size_t>, ValuesHash> boxesAt;
  };
  struct Group {
    DsState sample;  // a state of the group: its discrete part and active clocks
    // The boxes, one after another, each its starts then its ends (two words per active clock):
    // one allocation grows with the group instead of two per box.
    std::vector<int32_t> bounds;
    size_t count = 0;
    std::vector<Shelf> shelves;

    ClockBoxView BoxAt(size_t index) const {
      const size_t clocks = sample.activeClocks.size();
      const int32_t* at = bounds.data() + 2 * clocks * index;
      return {{at, clocks}, {at + clocks, clocks}};
    }
  };

  const CStateSpace& space_;
  const ClockIntervals& intervals_;
  std::unordered_map<Key, Group, KeyHash> boxes_;
  size_t boxCount_ = 0;
  // The one-pass union's storage, kept from one join to the next.
  mutable std::vector<FieldInterval> bounds_;
  mutable BoxUnionScratch scratch_;
  // Lookup keys, reused so that a lookup allocates nothing.
  mutable Key probe_;
  mutable std::vector<int32_t> values_;
  std::vector<uint8_t> single_;  // Add's clocks at which the box holds one value
  ClockBox box_;                 // Add's widened box
};

}  // namespace tickcheck
