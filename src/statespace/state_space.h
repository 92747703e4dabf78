#pragma once
// The symbolic state space: the bit encoding of the model's discrete states (statespace/
// encoding.h) on the variables of one decision-diagram manager, and the diagrams of single
// states and of states whose clocks range over intervals.

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "model/ds_state.h"
#include "model/messages.h"
#include "model/system.h"
#include "statespace/bdd_manager.h"
#include "statespace/box_union.h"
#include "statespace/clock_intervals.h"
#include "statespace/encoding.h"

namespace tickcheck {

class CStateSpace {
 public:
  // Lays out the encoding of `model` (loaded and composable), writes the stage lines
  // "InitStateSpace", "locBit: <n>\tclkVarBitNum: <n>\tnonClkVarBitNum: <n>", "totalBit: <n>" to
  // `messages`, creates a manager with totalBit variables, and writes "initStatespace done". At
  // most one state space lives at a time (the manager's rule); `model` must outlive it.
  CStateSpace(const CSystem& model, MessageSink& messages);
  CStateSpace(const CStateSpace&) = delete;
  CStateSpace& operator=(const CStateSpace&) = delete;

  const Encoding& encoding() const { return encoding_; }
  BddManager& manager() const { return *manager_; }

  // The diagram of one complete state (locations, integer values, active clocks; clocks that are
  // not active are free), and of its discrete part alone (no clock fixed).
  bdd StateCube(const DsState& state) const;
  bdd DiscreteCube(const DsState& state) const;
  // True when some state of `set` agrees with `state` on everything StateCube fixes.
  bool ContainsState(const bdd& set, const DsState& state) const;
  // The discrete part of `state` with active clock k in [box.start[k], box.end[k]].
  bdd BoxDiagram(const DsState& state, ClockBoxView box) const;

  // The runs of the encoding, each location, variable and listed clock one field, in the order
  // of their bits: what BoxUnionToBdd takes.
  const std::vector<BoxField>& BoxFields() const { return fields_; }
  // Appends the intervals of the box BoxDiagram(state, box) describes, one per field of
  // BoxFields(): a point for locations and variables, the box's interval for active clocks, every
  // value for the other clocks.
  void AppendBoxBounds(const DsState& state, ClockBoxView box,
                       std::vector<FieldInterval>& bounds) const;

  // Writes the encoding listing (bit counts and begin indexes).
  void PrintEncoding(std::ostream& out) const { encoding_.Print(out); }

 private:
  // Fills the scratch cube (all free) with the discrete part of `state`, then its clocks.
  void WriteDiscrete(const DsState& state) const;
  void WriteClocks(const DsState& state) const;

  // What a field of BoxFields() holds: process p's location, or a variable by its id.
  struct FieldSource {
    bool location;
    int32_t index;
  };

  const CSystem& model_;
  const Encoding encoding_;
  std::vector<BoxField> fields_;
  std::vector<FieldSource> sources_;
  mutable std::vector<int32_t> clockSlot_;  // per variable id: its slot among the active clocks
  std::unique_ptr<BddManager> manager_;
  mutable std::vector<int32_t> scratch_;  // a cube array, reused
};

}  // namespace tickcheck
