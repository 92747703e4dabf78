#pragma once
// The bit encoding of a discrete state onto the variables of the decision-diagram manager: how
// many bits each process location, each integer variable and each clock receives and where each
// run of bits begins. Built once from the loaded model, then read-only.
//
// Variable order: first every non-clock variable in declaration order, then per process the run
// of its location bits followed by the runs of the clocks that its block encodes. A clock gets one
// run, in the block of the first process that lists it (its initial location before its other
// locations, in location order); a clock that no location lists gets none. Within a run the most
// significant bit has the lowest index. A location l is written as l - 1, integer variables and
// clocks as their value (an integer variable of a format-2 model as its value less its Min, the
// variable's encodingOffset). Variables of Type 3 hold no value in a state: their runs are always
// 0.

#include <cstdint>
#include <ostream>
#include <vector>

#include "model/system.h"

namespace tickcheck {

// Writes `value` into the run [first, last] of `bits`: least significant bit at `last`, every
// position not reached by the value set to 0. The value must lie in 0 .. 2^(last-first+1) - 1.
void ValueToBits(int32_t value, int32_t first, int32_t last, int32_t* bits);

// True when `value` can be written into a run of `width` bits.
bool FitsBits(int64_t value, int32_t width);

// The number of bits that encode n distinct values 0 .. n - 1: 0 for n = 1 (and for n < 1,
// which a composed model never has), else the bit length of n - 1.
int32_t bitsForCount(int32_t n);

class Encoding {
 public:
  // `model` is loaded, and every process has an InitLocation among its locations.
  explicit Encoding(const CSystem& model);

  int32_t totalBit() const { return totalBit_; }
  int32_t locBit() const { return locBit_; }
  int32_t nonClkVarBitNum() const { return nonClkVarBitNum_; }
  int32_t clkVarBitNum() const { return clkVarBitNum_; }
  // processes + 1 entries, the last one totalBit.
  const std::vector<int32_t>& procBitBeginIndex() const { return procBitBeginIndex_; }
  // non-clock variables + 1 entries (none when there is no non-clock variable).
  const std::vector<int32_t>& nonClkVarBitBeginIndex() const { return nonClkVarBitBeginIndex_; }
  // Per process: entry 0 is the number of clocks its block encodes, entries 1.. their first bits.
  const std::vector<std::vector<int32_t>>& clkVarBeginIndex() const { return clkVarBeginIndex_; }
  const std::vector<int32_t>& procLocBitNum() const { return procLocBitNum_; }
  // The first bit of variable `variableId`'s run; -1 for a clock that no location lists.
  int32_t BitBegin(int32_t variableId) const {
    return bitBegin_[static_cast<size_t>(variableId) - 1];
  }

  // Writes the encoding listing (bit counts and begin indexes).
  void Print(std::ostream& out) const;

 private:
  int32_t totalBit_ = 0;
  int32_t locBit_ = 0;
  int32_t nonClkVarBitNum_ = 0;
  int32_t clkVarBitNum_ = 0;
  int32_t intVarCount_ = 0;
  std::vector<int32_t> procBitBeginIndex_;
  std::vector<int32_t> nonClkVarBitBeginIndex_;
  std::vector<std::vector<int32_t>> clkVarBeginIndex_;
  std::vector<int32_t> procLocBitNum_;
  std::vector<int32_t> bitBegin_;  // per variable, in declaration order
};

}  // namespace tickcheck
