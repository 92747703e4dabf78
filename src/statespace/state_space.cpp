#include "statespace/state_space.h"

#include <algorithm>
#include <string>

namespace tickcheck {
namespace {

// The code of an integer variable's value in its run: the value less the variable's offset, in
// 32 bits (a format-2 range may span them all).
int32_t EncodedValue(const CVariable& variable, const DsState& state) {
  const int32_t value = state.intValues[static_cast<size_t>(variable.intValueIndex)];
  return static_cast<int32_t>(static_cast<uint32_t>(value) -
                              static_cast<uint32_t>(variable.encodingOffset));
}

}  // namespace

CStateSpace::CStateSpace(const CSystem& model, MessageSink& messages)
    : model_(model), encoding_(model) {
  messages.Stage("InitStateSpace");
  messages.Stage("locBit: " + std::to_string(encoding_.locBit()) +
                 "\tclkVarBitNum: " + std::to_string(encoding_.clkVarBitNum()) +
                 "\tnonClkVarBitNum: " + std::to_string(encoding_.nonClkVarBitNum()));
  messages.Stage("totalBit: " + std::to_string(encoding_.totalBit()));
  manager_ = std::make_unique<BddManager>(encoding_.totalBit());
  scratch_.assign(static_cast<size_t>(encoding_.totalBit()), BddManager::kCubeFree);
  std::vector<std::pair<BoxField, FieldSource>> fields;
  const std::vector<int32_t>& locationBits = encoding_.procLocBitNum();
  for (size_t p = 0; p < locationBits.size(); ++p) {
    fields.push_back(
        {{encoding_.procBitBeginIndex()[p], locationBits[p]}, {true, static_cast<int32_t>(p)}});
  }
  for (size_t v = 0; v < model_.variables.size(); ++v) {
    const int32_t id = static_cast<int32_t>(v) + 1;
    if (encoding_.BitBegin(id) >= 0)
      fields.push_back({{encoding_.BitBegin(id), model_.variables[v].bitWidth}, {false, id}});
  }
  std::sort(fields.begin(), fields.end(), [](const auto& a, const auto& b) {
    // A run without bits goes before the run that begins at the same bit.
    return std::pair(a.first.first, a.first.bits) < std::pair(b.first.first, b.first.bits);
  });
  for (const auto& [field, source] : fields) {
    fields_.push_back(field);
    sources_.push_back(source);
  }
  clockSlot_.assign(model_.variables.size() + 1, -1);
  messages.Stage("initStatespace done");
}

void CStateSpace::WriteDiscrete(const DsState& state) const {
  std::fill(scratch_.begin(), scratch_.end(), BddManager::kCubeFree);
  // Each integer value goes into its variable's run; the runs of Type 3 variables hold 0.
  for (size_t v = 0; v < model_.variables.size(); ++v) {
    const CVariable& variable = model_.variables[v];
    if (variable.Type == VarType::kClock)
      continue;
    const bool holdsValue = variable.Type == VarType::kInteger && variable.intValueIndex >= 0 &&
                            static_cast<size_t>(variable.intValueIndex) < state.intValues.size();
    const int32_t value = holdsValue ? EncodedValue(variable, state) : 0;
    const int32_t begin = encoding_.BitBegin(static_cast<int32_t>(v) + 1);
    ValueToBits(value, begin, begin + variable.bitWidth - 1, scratch_.data());
  }
  const std::vector<int32_t>& locationBits = encoding_.procLocBitNum();
  for (size_t p = 0; p < locationBits.size(); ++p) {
    const int32_t begin = encoding_.procBitBeginIndex()[p];
    ValueToBits(state.locations[p] - 1, begin, begin + locationBits[p] - 1, scratch_.data());
  }
}

void CStateSpace::WriteClocks(const DsState& state) const {
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const int32_t clock = state.activeClocks[k];
    const int32_t begin = encoding_.BitBegin(clock);
    ValueToBits(state.clockValues[k], begin,
                begin + model_.variables[static_cast<size_t>(clock) - 1].bitWidth - 1,
                scratch_.data());
  }
}

bdd CStateSpace::DiscreteCube(const DsState& state) const {
  WriteDiscrete(state);
  return manager_->CubeArrayToBdd(scratch_.data(), encoding_.totalBit());
}

bdd CStateSpace::StateCube(const DsState& state) const {
  WriteDiscrete(state);
  WriteClocks(state);
  return manager_->CubeArrayToBdd(scratch_.data(), encoding_.totalBit());
}

bool CStateSpace::ContainsState(const bdd& set, const DsState& state) const {
  WriteDiscrete(state);
  WriteClocks(state);
  return manager_->IntersectsCube(set, scratch_.data(), encoding_.totalBit());
}

void CStateSpace::AppendBoxBounds(const DsState& state, ClockBoxView box,
                                  std::vector<FieldInterval>& bounds) const {
  for (size_t k = 0; k < state.activeClocks.size(); ++k)
    clockSlot_[static_cast<size_t>(state.activeClocks[k])] = static_cast<int32_t>(k);
  // Values are written as their low bits, as in a cube; they fit wherever a box is made.
  const auto point = [](int32_t value, int32_t bits) {
    const uint64_t mask = bits >= 32 ? UINT32_MAX : (uint64_t{1} << bits) - 1;
    const auto code = static_cast<int64_t>(static_cast<uint32_t>(value) & mask);
    return FieldInterval{code, code};
  };
  for (size_t f = 0; f < fields_.size(); ++f) {
    const FieldSource source = sources_[f];
    const int32_t bits = fields_[f].bits;
    if (source.location) {
      bounds.push_back(point(state.locations[static_cast<size_t>(source.index)] - 1, bits));
      continue;
    }
    const CVariable& variable = model_.variables[static_cast<size_t>(source.index) - 1];
    if (variable.Type == VarType::kClock) {
      const int32_t slot = clockSlot_[static_cast<size_t>(source.index)];
      bounds.push_back(slot < 0 ? FieldInterval{0, INT64_MAX}
                                : FieldInterval{box.start[static_cast<size_t>(slot)],
                                                box.end[static_cast<size_t>(slot)]});
      continue;
    }
    const bool holdsValue = variable.Type == VarType::kInteger && variable.intValueIndex >= 0 &&
                            static_cast<size_t>(variable.intValueIndex) < state.intValues.size();
    bounds.push_back(point(holdsValue ? EncodedValue(variable, state) : 0, bits));
  }
  for (int32_t clock : state.activeClocks)
    clockSlot_[static_cast<size_t>(clock)] = -1;
}

bdd CStateSpace::BoxDiagram(const DsState& state, ClockBoxView box) const {
  WriteDiscrete(state);
  std::vector<BddManager::RangeRun> runs;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    const int32_t clock = state.activeClocks[k];
    const int32_t begin = encoding_.BitBegin(clock);
    runs.push_back({begin, begin + model_.variables[static_cast<size_t>(clock) - 1].bitWidth - 1,
                    box.start[k], box.end[k]});
  }
  return manager_->BoxToBdd(scratch_.data(), encoding_.totalBit(), runs);
}

}  // namespace tickcheck
