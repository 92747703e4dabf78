#include "check/value_ranges.h"

#include <algorithm>
#include <string>

namespace tickcheck {

ValueRanges::ValueRanges(const CSystem& model, MessageSink& messages)
    : model_(model),
      messages_(messages),
      reported_(model.variables.size() + 1, 0),
      bitLimits_(model.variables.size() + 1, 0),
      offsets_(model.variables.size() + 1, 0) {
  for (size_t v = 1; v <= model.variables.size(); ++v) {
    const CVariable& variable = model.variables[v - 1];
    if (variable.intValueIndex >= 0)
      integers_.push_back({static_cast<int32_t>(v), static_cast<size_t>(variable.intValueIndex)});
    const int32_t width = variable.bitWidth;
    bitLimits_[v] = width < 0 ? 0 : width >= 32 ? INT64_MAX : int64_t{1} << width;
    offsets_[v] = variable.encodingOffset;
  }
}

bool ValueRanges::FirstMisfit(int32_t variableId) {
  uint8_t& reported = reported_[static_cast<size_t>(variableId)];
  if (reported != 0)
    return false;
  reported = 1;
  return true;
}

int32_t ValueRanges::MisfitVariableCount() const {
  return static_cast<int32_t>(std::count(reported_.begin(), reported_.end(), 1));
}

bool ValueRanges::Admit(const DsState& source, const DsState& target,
                        const CComposedTransition& transition) {
  for (size_t v = 0; v < model_.variables.size(); ++v) {
    const CVariable& variable = model_.variables[v];
    const int32_t index = variable.intValueIndex;
    // A format-1 file without a proper range (a missing Min or Max) keeps the check of the
    // value's bits; in format 2 every range is proper and may be negative.
    const bool ranged = model_.format == 2 || (variable.Min >= 0 && variable.Min <= variable.Max);
    if (variable.Type != VarType::kInteger || index < 0 ||
        static_cast<size_t>(index) >= target.intValues.size() || !ranged) {
      continue;
    }
    const int32_t value = target.intValues[static_cast<size_t>(index)];
    if (value >= variable.Min && value <= variable.Max)
      continue;
    ReportRange(static_cast<int32_t>(v) + 1, value, source, target, transition);
    return false;
  }
  return true;
}

void ValueRanges::ReportRange(int32_t variableId, int32_t value, const DsState& source,
                              const DsState& target, const CComposedTransition& transition) {
  if (!FirstMisfit(variableId))
    return;
  const CVariable& variable = model_.variables[static_cast<size_t>(variableId) - 1];
  std::string jumps;
  for (int32_t p : transition.procId) {
    const CProcess& process = model_.processes[static_cast<size_t>(p)];
    const auto name = [&](const DsState& state) {
      return process.locations[static_cast<size_t>(state.locations[static_cast<size_t>(p)]) - 1]
          .Name;
    };
    jumps += (jumps.empty() ? "" : ", ") + process.ProcessName + ": " + name(source) + " -> " +
             name(target);
  }
  messages_.Problem("ERROR! Variable " + variable.Name + ": value " + std::to_string(value) +
                    " outside its range " + std::to_string(variable.Min) + " .. " +
                    std::to_string(variable.Max) + " after " + jumps +
                    "; states with such values are skipped");
}

void ValueRanges::ReportBits(int32_t variableId, int32_t value) {
  if (!FirstMisfit(variableId))
    return;
  const CVariable& variable = model_.variables[static_cast<size_t>(variableId) - 1];
  messages_.Problem("ERROR! Variable " + variable.Name + ": value " + std::to_string(value) +
                    " does not fit its " + std::to_string(variable.bitWidth) +
                    " bits; states with such values are skipped");
}

bool ValueRanges::Encodable(const DsState& state, bool report) {
  bool fits = true;
  auto check = [&](int32_t variableId, int32_t value) {
    const int64_t code = int64_t{value} - offsets_[static_cast<size_t>(variableId)];
    if (code >= 0 && code < bitLimits_[static_cast<size_t>(variableId)])
      return;
    fits = false;
    if (report)
      ReportBits(variableId, value);
  };
  for (const IntegerEntry& entry : integers_) {
    if (entry.index < state.intValues.size())
      check(entry.variable, state.intValues[entry.index]);
  }
  for (size_t k = 0; k < state.activeClocks.size(); ++k)
    check(state.activeClocks[k], state.clockValues[k]);
  return fits;
}

}  // namespace tickcheck
