#pragma once
// The symbolic state space: the bit encoding of a discrete state onto the variables of one
// decision-diagram manager, the initial state with the per-location clock limits, the diagrams of
// single states and of clock intervals, and the containers of the search (reached set, waiting
// lists, property results).
//
// Variable order of the manager: first every non-clock variable in declaration order, then per
// process the run of its location bits followed by the runs of the clocks that its block encodes.
// Within a run the most significant bit has the lowest index. A location l is written as l - 1,
// integer variables and clocks as their value. Variables of Type 3 hold no value in a state:
// their runs are always 0.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "compose/composition.h"
#include "model/ds_state.h"
#include "statespace/bdd_manager.h"
#include "statespace/waiting_lists.h"

namespace tickcheck {

// Writes `value` into the run [first, last] of `bits`: least significant bit at `last`, every
// position not reached by the value set to 0. The value must lie in 0 .. 2^(last-first+1) - 1.
void ValueToBits(int32_t value, int32_t first, int32_t last, int32_t* bits);

// True when `value` can be written into a run of `width` bits.
bool FitsBits(int64_t value, int32_t width);

// The number of bits that encode n distinct values 0 .. n - 1: 0 for n = 1 (and for n < 1,
// which a composed model never has), else the bit length of n - 1.
int32_t bitsForCount(int32_t n);

class CStateSpace {
 public:
  // Creates a manager with 0 variables and the empty waiting lists of the composed locations.
  CStateSpace(CSystem& system, CComposition& composition);
  ~CStateSpace();
  CStateSpace(const CStateSpace&) = delete;
  CStateSpace& operator=(const CStateSpace&) = delete;

  // Computes the bit counts, fills propertyResult, replaces the manager by one with totalBit
  // variables and writes the lines "InitStateSpace", the counts and "initStatespace done".
  int32_t InitStateSpace();

  // Builds the initial state, assigns the begin indexes of every process's location and clock
  // runs (each clock once, at its first appearance) and derives the per-location clock limits.
  // Answers 1, or 0 after one console line when an initial value does not fit its bits.
  int32_t BuildInitialState(DsState& state);

  // Per clock and per location of the clock's process: the smallest and largest value that the
  // location's invariant admits (-1: no limit), from the invariant bounds evaluated once.
  void setVariableRangeInLoc();

  // The diagram of one complete state (locations, integer values, active clocks; clocks that are
  // not active are free), and of its discrete part alone (no clock fixed).
  bdd StateCube(const DsState& state) const;
  bdd DiscreteCube(const DsState& state) const;
  // True when some state of `set` agrees with `state` on everything StateCube fixes.
  bool ContainsState(const bdd& set, const DsState& state) const;
  // set := set OR (the state with each active clock widened to its interval).
  void AddClockIntervals(const DsState& state, bdd& set) const;
  // The discrete part of `state` with active clock k in [starts[k], ends[k]].
  bdd BoxDiagram(const DsState& state, const std::vector<int32_t>& starts,
                 const std::vector<int32_t>& ends) const;

  // The L and U bounds of clock `clock` in `state`: the largest over the current locations of all
  // processes that list the clock (a clock may be listed by several processes); none when no
  // current location lists it.
  std::optional<LUBound> ClockBounds(const DsState& state, int32_t clock) const;
  // The interval [start, end] that a stored state at `value` covers for its active clock `clock`:
  // from the clock's ClockBounds (the single value without bounds), narrowed by the limits of its
  // process's current location and cut where a property atom on the clock changes its answer,
  // but always holding the value itself.
  void ClockInterval(const DsState& state, int32_t clock, int32_t value, int32_t& start,
                     int32_t& end) const;

  // True when every value of `state` fits its bit run. Otherwise, when `report` is set, writes one
  // console line per variable the first time that variable does not fit.
  bool Encodable(const DsState& state, bool report) const;
  // The number of variables reported so far by Encodable or after FirstMisfit: states with their
  // values were skipped.
  int32_t MisfitVariableCount() const;
  // True the first time it is asked for variable `variableId`, which a caller then reports as a
  // variable whose value did not fit; false for a variable already reported.
  bool FirstMisfit(int32_t variableId) const;

  // Writes the encoding listing (bit counts and begin indexes).
  void PrintEncoding(std::ostream& out) const;

  CSystem& system;
  CComposition& composition;
  // Declared before every diagram of the state space, so that it is destroyed after them.
  std::unique_ptr<BddManager> manager;
  bdd pastList;
  WaitingLists waitingLists;
  std::vector<uint8_t> propertyResult;
  int32_t totalBit = 0;
  int32_t locBit = 0;
  int32_t nonClkVarBitNum = 0;
  int32_t clkVarBitNum = 0;
  std::vector<int32_t> procBitBeginIndex;       // processes + 1 entries
  std::vector<int32_t> nonClkVarBitBeginIndex;  // non-clock variables + 1 entries (none if none)
  // Per process: entry 0 is the number of clocks its block encodes, entries 1.. their first bits.
  std::vector<std::vector<int32_t>> clkVarBeginIndex;
  std::vector<int32_t> procLocBitNum;
  int32_t currentWaitingIndex = -1;
  bool useClockIntervals = true;
  bool checkTimeSuccessors = false;

 private:
  // Fills `bits` (totalBit entries, all free) with the discrete part of `state`.
  void WriteDiscrete(const DsState& state, std::vector<int32_t>& bits) const;
  void WriteClocks(const DsState& state, std::vector<int32_t>& bits) const;

  mutable std::vector<int32_t> scratch_;         // a cube array, reused
  mutable std::vector<uint8_t> reportedMisfit_;  // per variable: misfit already reported
  // Per clock: the sorted values at which a property atom comparing the clock may change its
  // truth (each atom's bound and the value after it).
  std::vector<std::vector<int64_t>> propertyCuts_;
};

}  // namespace tickcheck
