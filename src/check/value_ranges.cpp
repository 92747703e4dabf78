#include "check/value_ranges.h"

#include <string>

#include "model/console.h"

namespace tickcheck {

ValueRanges::ValueRanges(const CStateSpace& space) : space_(space) {}

bool ValueRanges::Admit(const DsState& source, const DsState& target,
                        const CComposedTransition& transition) {
  const CSystem& system = space_.system;
  for (size_t v = 0; v < system.variables.size(); ++v) {
    const CVariable& variable = system.variables[v];
    const int32_t index = variable.intValueIndex;
    // A file without a proper range (a missing Min or Max) keeps the check of the value's bits.
    if (variable.Type != VarType::kInteger || index < 0 ||
        static_cast<size_t>(index) >= target.intValues.size() || variable.Min < 0 ||
        variable.Min > variable.Max) {
      continue;
    }
    const int32_t value = target.intValues[static_cast<size_t>(index)];
    if (value >= variable.Min && value <= variable.Max)
      continue;
    if (space_.FirstMisfit(static_cast<int32_t>(v) + 1)) {
      std::string jumps;
      for (int32_t p : transition.procId) {
        const CProcess& process = system.processes[static_cast<size_t>(p)];
        const auto name = [&](const DsState& state) {
          return process.locations[static_cast<size_t>(state.locations[static_cast<size_t>(p)]) - 1]
              .Name;
        };
        jumps += (jumps.empty() ? "" : ", ") + process.ProcessName + ": " + name(source) + " -> " +
                 name(target);
      }
      ConsoleLine("ERROR! Variable " + variable.Name + ": value " + std::to_string(value) +
                  " outside its range " + std::to_string(variable.Min) + " .. " +
                  std::to_string(variable.Max) + " after " + jumps +
                  "; states with such values are skipped");
    }
    return false;
  }
  return true;
}

}  // namespace tickcheck
