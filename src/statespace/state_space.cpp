#include "statespace/state_space.h"

#include <algorithm>
#include <string>

#include "model/console.h"

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

CStateSpace::CStateSpace(CSystem& system, CComposition& composition)
    : system(system),
      composition(composition),
      manager(std::make_unique<BddManager>(0)),
      waitingLists(composition.locationIndexCount) {}

CStateSpace::~CStateSpace() = default;

int32_t CStateSpace::InitStateSpace() {
  ConsoleLine("InitStateSpace");
  propertyResult.clear();
  for (const CProperty& property : system.properties) {
    propertyResult.push_back(property.Type != 0 ? 1 : 0);
  }

  int32_t nonClockVariables = 0;
  for (const CVariable& variable : system.variables) {
    if (variable.Type != VarType::kClock)
      ++nonClockVariables;
  }
  nonClkVarBitBeginIndex.assign(nonClockVariables > 0 ? nonClockVariables + 1 : 0, 0);
  int32_t k = 0;
  for (CVariable& variable : system.variables) {
    if (variable.Type == VarType::kClock) {
      clkVarBitNum += variable.bitWidth;
      continue;
    }
    nonClkVarBitBeginIndex[static_cast<size_t>(k)] = nonClkVarBitNum;
    variable.bitBeginIndex = nonClkVarBitNum;
    nonClkVarBitNum += variable.bitWidth;
    ++k;
  }
  if (k > 0)
    nonClkVarBitBeginIndex[static_cast<size_t>(k)] = nonClkVarBitNum;

  const size_t processes = system.processes.size();
  procLocBitNum.assign(processes, 0);
  clkVarBeginIndex.assign(processes, std::vector<int32_t>{0});
  procBitBeginIndex.assign(processes + 1, 0);
  for (size_t p = 0; p < processes; ++p) {
    procLocBitNum[p] = bitsForCount(system.processes[p].locationCount);
    locBit += procLocBitNum[p];
  }
  totalBit = locBit + nonClkVarBitNum + clkVarBitNum;
  ConsoleLine("locBit: " + std::to_string(locBit) +
              "\tclkVarBitNum: " + std::to_string(clkVarBitNum) +
              "\tnonClkVarBitNum: " + std::to_string(nonClkVarBitNum));
  ConsoleLine("totalBit: " + std::to_string(totalBit));

  // BuDDy keeps one manager per process: the old one must be gone before the new one exists.
  pastList = bdd();
  manager.reset();
  manager = std::make_unique<BddManager>(totalBit);
  scratch_.assign(static_cast<size_t>(totalBit), 2);
  reportedMisfit_.assign(system.variables.size() + 1, 0);
  propertyCuts_.assign(system.variables.size() + 1, {});
  for (const CProperty& property : system.properties) {
    for (const CAtomProperty& atom : property.atoms) {
      if (atom.kind == CAtomProperty::kClock && atom.variable >= 1 &&
          static_cast<size_t>(atom.variable) <= system.variables.size()) {
        std::vector<int64_t>& cuts = propertyCuts_[static_cast<size_t>(atom.variable)];
        cuts.push_back(atom.bound);
        cuts.push_back(int64_t{atom.bound} + 1);
      }
    }
  }
  for (std::vector<int64_t>& cuts : propertyCuts_) {
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  }
  ConsoleLine("initStatespace done");
  return 0;
}

void CStateSpace::PrintEncoding(std::ostream& out) const {
  auto line = [&out](const std::string& text) { out << text << '\n' << std::flush; };
  line("-----------StateSpace Output--------------");
  line("totalBit:\t" + std::to_string(totalBit) +
       "\tnonClkVarBitNum:" + std::to_string(nonClkVarBitNum) +
       "\tclkVarBitNum:" + std::to_string(clkVarBitNum) + "\tlocBit:" + std::to_string(locBit));
  line("--------coding information---------");
  for (int32_t i = 0;
       i < system.intVarCount && static_cast<size_t>(i) < nonClkVarBitBeginIndex.size(); ++i) {
    line("nonClkVarBitBeginIndex[" + std::to_string(i) +
         "] : " + std::to_string(nonClkVarBitBeginIndex[static_cast<size_t>(i)]));
  }
  const size_t processes = procLocBitNum.size();
  for (size_t p = 0; p < processes; ++p) {
    line("proc[" + std::to_string(p) + "] needs " + std::to_string(procLocBitNum[p]) +
         "bits to encode the location");
    line("procBitBeginIndex[" + std::to_string(p) + "] : " + std::to_string(procBitBeginIndex[p]));
  }
  if (!procBitBeginIndex.empty()) {
    line("procBitBeginIndex[" + std::to_string(processes) +
         "] : " + std::to_string(procBitBeginIndex[processes]));
  }
  for (size_t p = 0; p < clkVarBeginIndex.size(); ++p) {
    const std::vector<int32_t>& entries = clkVarBeginIndex[p];
    for (size_t j = 0; j < entries.size(); ++j) {
      line("clkVarBeginIndex[" + std::to_string(p) + "][" + std::to_string(j) +
           "] : " + std::to_string(entries[j]));
    }
  }
}

int32_t CStateSpace::MisfitVariableCount() const {
  return static_cast<int32_t>(std::count(reportedMisfit_.begin(), reportedMisfit_.end(), 1));
}

bool CStateSpace::FirstMisfit(int32_t variableId) const {
  uint8_t& reported = reportedMisfit_[static_cast<size_t>(variableId)];
  if (reported != 0)
    return false;
  reported = 1;
  return true;
}

bool CStateSpace::Encodable(const DsState& state, bool report) const {
  bool fits = true;
  auto check = [&](int32_t variableId, int32_t value) {
    const CVariable& variable = system.variables[static_cast<size_t>(variableId) - 1];
    if (FitsBits(value, variable.bitWidth))
      return;
    fits = false;
    if (!report || !FirstMisfit(variableId))
      return;
    ConsoleLine("ERROR! Variable " + variable.Name + ": value " + std::to_string(value) +
                " does not fit its " + std::to_string(variable.bitWidth) +
                " bits; states with such values are skipped");
  };
  for (size_t v = 1; v <= system.variables.size(); ++v) {
    const int32_t index = system.variables[v - 1].intValueIndex;
    if (index >= 0 && static_cast<size_t>(index) < state.intValues.size()) {
      check(static_cast<int32_t>(v), state.intValues[static_cast<size_t>(index)]);
    }
  }
  for (size_t k = 0; k < state.activeClocks.size(); ++k)
    check(state.activeClocks[k], state.clockValues[k]);
  return fits;
}

}  // namespace tickcheck
