#include "driver/trace_text.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "driver/units.h"

namespace tickcheck {
namespace {

std::string Named(const std::vector<std::string>& names, int32_t number) {
  if (number >= 1 && static_cast<size_t>(number) <= names.size())
    return names[static_cast<size_t>(number) - 1];
  return std::to_string(number);
}

// Appends `item` to `text`, after `separator` unless `text` is empty.
void Join(std::string& text, std::string_view separator, const std::string& item) {
  if (!text.empty())
    text += separator;
  text += item;
}

std::string StateText(const TraceState& state, const TraceNames& names) {
  std::string text;
  for (size_t p = 0; p < state.locations.size(); ++p) {
    const int32_t process = static_cast<int32_t>(p) + 1;
    Join(text, " ", names.Process(process) + "." + names.Location(process, state.locations[p]));
  }
  std::string integers;
  for (size_t k = 0; k < state.intValues.size(); ++k) {
    const std::string name = k < names.integers.size() ? names.integers[k] : std::to_string(k);
    Join(integers, " ", name + "=" + std::to_string(state.intValues[k]));
  }
  std::string clocks;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    Join(clocks, " ",
         names.Variable(state.activeClocks[k]) + "=" + std::to_string(state.clockValues[k]));
  }
  for (const std::string& group : {integers, clocks}) {
    if (!group.empty())
      text += "  " + group;
  }
  return text;
}

std::string JumpsText(const TraceStep& step, const TraceNames& names) {
  if (step.jumps.empty())
    return "(waiting)";
  std::string text;
  for (const TraceJump& jump : step.jumps) {
    Join(text, ", ",
         names.Process(jump.process) + ": " + names.Location(jump.process, jump.from) + " -> " +
             names.Location(jump.process, jump.to));
  }
  return text;
}

std::string Padded(std::string text, size_t width) {
  text.resize(std::max(width, text.size()), ' ');
  return text;
}

}  // namespace

TraceNames TraceNames::Of(const CSystem& system) {
  TraceNames names;
  for (size_t p = 0; p < system.processes.size(); ++p) {
    const CProcess& process = system.processes[p];
    names.processes.push_back(process.ProcessName.empty() ? "process" + std::to_string(p + 1)
                                                          : process.ProcessName);
    std::vector<std::string> locations;
    for (size_t l = 0; l < process.locations.size(); ++l) {
      const std::string& name = process.locations[l].Name;
      locations.push_back(name.empty() ? std::to_string(l + 1) : name);
    }
    names.locations.push_back(std::move(locations));
  }
  for (size_t v = 0; v < system.variables.size(); ++v) {
    const CVariable& variable = system.variables[v];
    const std::string name =
        variable.Name.empty() ? "variable" + std::to_string(v + 1) : variable.Name;
    names.variables.push_back(name);
    if (variable.Type != VarType::kInteger || variable.intValueIndex < 0)
      continue;
    const size_t entry = static_cast<size_t>(variable.intValueIndex);
    if (names.integers.size() <= entry)
      names.integers.resize(entry + 1);
    names.integers[entry] = name;
  }
  return names;
}

std::string TraceNames::Variable(int32_t id) const {
  return Named(variables, id);
}

std::string TraceNames::Process(int32_t process) const {
  return Named(processes, process);
}

std::string TraceNames::Location(int32_t process, int32_t location) const {
  if (process < 1 || static_cast<size_t>(process) > locations.size())
    return std::to_string(location);
  return Named(locations[static_cast<size_t>(process) - 1], location);
}

std::vector<std::string> TraceLines(const std::string& title, const Trace& trace,
                                    const TraceNames& names) {
  const int64_t count = static_cast<int64_t>(trace.steps.size());
  std::string heading = "Trace for " + title + ", " + Counted(count, "step");
  if (trace.cycle && trace.cycle->empty()) {
    heading += " to a state with no step";
  } else if (trace.cycle) {
    heading += ", then a cycle of " + Counted(static_cast<int64_t>(trace.cycle->size()), "step") +
               " back to " +
               (count == 0 ? "state 0" : "the state after step " + std::to_string(count));
  }
  std::vector<std::string> lines = {heading + ":", "  state 0: " + StateText(trace.initial, names)};
  // The steps of the cycle are labelled "cycle <k>:", the others "step <k>:".
  std::vector<std::pair<std::string, const TraceStep*>> labelled;
  for (size_t i = 0; i < trace.steps.size(); ++i)
    labelled.emplace_back("step " + std::to_string(i + 1) + ":", &trace.steps[i]);
  if (trace.cycle) {
    for (size_t i = 0; i < trace.cycle->size(); ++i)
      labelled.emplace_back("cycle " + std::to_string(i + 1) + ":", &(*trace.cycle)[i]);
  }
  size_t labelWidth = 0;
  size_t delayWidth = 0;
  size_t jumpsWidth = 0;
  for (const auto& [label, step] : labelled) {
    labelWidth = std::max(labelWidth, label.size());
    delayWidth = std::max(delayWidth, ("delay " + std::to_string(step->delay)).size());
    jumpsWidth = std::max(jumpsWidth, JumpsText(*step, names).size());
  }
  for (const auto& [label, step] : labelled) {
    lines.push_back("  " + Padded(label, labelWidth) + " " +
                    Padded("delay " + std::to_string(step->delay), delayWidth) + "  " +
                    Padded(JumpsText(*step, names), jumpsWidth) + "  ->  " +
                    StateText(step->state, names));
  }
  return lines;
}

}  // namespace tickcheck
