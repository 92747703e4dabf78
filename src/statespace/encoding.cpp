#include "statespace/encoding.h"

#include <string>

namespace tickcheck {

int32_t bitsForCount(int32_t n) {
  return n <= 1 ? 0 : BitLength(n - 1);
}

bool FitsBits(int64_t value, int32_t width) {
  return value >= 0 && width >= 0 && (width >= 32 || value < (int64_t{1} << width));
}

void ValueToBits(int32_t value, int32_t first, int32_t last, int32_t* bits) {
  uint32_t rest = static_cast<uint32_t>(value);
  for (int32_t position = last; position >= first; --position) {
    bits[position] = static_cast<int32_t>(rest & 1u);
    rest >>= 1;
  }
}

Encoding::Encoding(const CSystem& model)
    : intVarCount_(model.intVarCount), bitBegin_(model.variables.size(), -1) {
  int32_t nonClockVariables = 0;
  for (const CVariable& variable : model.variables) {
    if (variable.Type != VarType::kClock)
      ++nonClockVariables;
  }
  nonClkVarBitBeginIndex_.assign(nonClockVariables > 0 ? nonClockVariables + 1 : 0, 0);
  int32_t k = 0;
  for (size_t v = 0; v < model.variables.size(); ++v) {
    const CVariable& variable = model.variables[v];
    if (variable.Type == VarType::kClock) {
      clkVarBitNum_ += variable.bitWidth;
      continue;
    }
    nonClkVarBitBeginIndex_[static_cast<size_t>(k)] = nonClkVarBitNum_;
    bitBegin_[v] = nonClkVarBitNum_;
    nonClkVarBitNum_ += variable.bitWidth;
    ++k;
  }
  if (k > 0)
    nonClkVarBitBeginIndex_[static_cast<size_t>(k)] = nonClkVarBitNum_;

  const size_t processes = model.processes.size();
  procLocBitNum_.assign(processes, 0);
  clkVarBeginIndex_.assign(processes, std::vector<int32_t>{0});
  procBitBeginIndex_.assign(processes + 1, 0);
  for (size_t p = 0; p < processes; ++p) {
    procLocBitNum_[p] = bitsForCount(model.processes[p].locationCount);
    locBit_ += procLocBitNum_[p];
  }
  totalBit_ = locBit_ + nonClkVarBitNum_ + clkVarBitNum_;

  // Every clock gets one run, at its first appearance in process order, the initial location
  // before the others.
  int32_t running = nonClkVarBitNum_;
  for (size_t p = 0; p < processes; ++p) {
    const CProcess& process = model.processes[p];
    procBitBeginIndex_[p] = running;
    running += procLocBitNum_[p];
    std::vector<int32_t>& begins = clkVarBeginIndex_[p];
    auto place = [&](int32_t clock) {
      int32_t& begin = bitBegin_[static_cast<size_t>(clock) - 1];
      if (begin != -1)
        return;
      begins.push_back(running);
      ++begins[0];
      begin = running;
      running += model.variables[static_cast<size_t>(clock) - 1].bitWidth;
    };
    const size_t initial = static_cast<size_t>(process.InitLocation) - 1;
    for (int32_t clock : process.locations[initial].activeClocks)
      place(clock);
    for (size_t l = 0; l < process.locations.size(); ++l) {
      if (l == initial)
        continue;
      for (int32_t clock : process.locations[l].activeClocks)
        place(clock);
    }
  }
  procBitBeginIndex_[processes] = totalBit_;
}

void Encoding::Print(std::ostream& out) const {
  auto line = [&out](const std::string& text) { out << text << '\n' << std::flush; };
  line("-----------StateSpace Output--------------");
  line("totalBit:\t" + std::to_string(totalBit_) +
       "\tnonClkVarBitNum:" + std::to_string(nonClkVarBitNum_) +
       "\tclkVarBitNum:" + std::to_string(clkVarBitNum_) + "\tlocBit:" + std::to_string(locBit_));
  line("--------coding information---------");
  for (int32_t i = 0; i < intVarCount_ && static_cast<size_t>(i) < nonClkVarBitBeginIndex_.size();
       ++i) {
    line("nonClkVarBitBeginIndex[" + std::to_string(i) +
         "] : " + std::to_string(nonClkVarBitBeginIndex_[static_cast<size_t>(i)]));
  }
  const size_t processes = procLocBitNum_.size();
  for (size_t p = 0; p < processes; ++p) {
    line("proc[" + std::to_string(p) + "] needs " + std::to_string(procLocBitNum_[p]) +
         "bits to encode the location");
    line("procBitBeginIndex[" + std::to_string(p) + "] : " + std::to_string(procBitBeginIndex_[p]));
  }
  line("procBitBeginIndex[" + std::to_string(processes) +
       "] : " + std::to_string(procBitBeginIndex_[processes]));
  for (size_t p = 0; p < clkVarBeginIndex_.size(); ++p) {
    const std::vector<int32_t>& entries = clkVarBeginIndex_[p];
    for (size_t j = 0; j < entries.size(); ++j) {
      line("clkVarBeginIndex[" + std::to_string(p) + "][" + std::to_string(j) +
           "] : " + std::to_string(entries[j]));
    }
  }
}

}  // namespace tickcheck
