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

// The state; with `before` (the compact view), only what differs from it after `delay`: a clock
// whose value is not its value before plus the delay was set (or stopped at its Max).
std::string StateText(const TraceState& state, const TraceNames& names,
                      const TraceState* before = nullptr, int32_t delay = 0) {
  std::string text;
  for (size_t p = 0; p < state.locations.size(); ++p) {
    if (before != nullptr && p < before->locations.size() &&
        before->locations[p] == state.locations[p])
      continue;
    const int32_t process = static_cast<int32_t>(p) + 1;
    Join(text, " ", names.Process(process) + "." + names.Location(process, state.locations[p]));
  }
  std::string integers;
  for (size_t k = 0; k < state.intValues.size(); ++k) {
    if (before != nullptr && k < before->intValues.size() &&
        before->intValues[k] == state.intValues[k])
      continue;
    const std::string name = k < names.integers.size() ? names.integers[k] : std::to_string(k);
    Join(integers, " ", name + "=" + std::to_string(state.intValues[k]));
  }
  std::string clocks;
  for (size_t k = 0; k < state.activeClocks.size(); ++k) {
    if (before != nullptr) {
      const auto kept = std::find(before->activeClocks.begin(), before->activeClocks.end(),
                                  state.activeClocks[k]);
      if (kept != before->activeClocks.end() &&
          int64_t{before->clockValues[static_cast<size_t>(kept - before->activeClocks.begin())]} +
                  delay ==
              state.clockValues[k])
        continue;
    }
    Join(clocks, " ",
         names.Variable(state.activeClocks[k]) + "=" + std::to_string(state.clockValues[k]));
  }
  for (const std::string& group : {integers, clocks}) {
    if (group.empty())
      continue;
    if (before == nullptr)
      text += "  " + group;
    else
      Join(text, "  ", group);
  }
  return text;
}

std::string JumpsText(const TraceStep& step, const TraceNames& names) {
  if (step.jumps.empty())
    return "(waiting)";
  std::string text;
  for (const TraceJump& jump : step.jumps) {
    const JumpSource* source = names.Jump(jump.process, jump.jump);
    if (source != nullptr && source->added)
      continue;
    std::string shown = names.Process(jump.process) + ": " +
                        names.Location(jump.process, jump.from) + " -> " +
                        names.Location(jump.process, jump.to);
    if (source != nullptr && !source->selects.empty()) {
      std::string values;
      for (const auto& [name, value] : source->selects)
        Join(values, ", ", name + "=" + std::to_string(value));
      shown += " [" + values + "]";
    }
    Join(text, ", ", shown);
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

const JumpSource* TraceNames::Jump(int32_t process, int32_t jump) const {
  if (process < 1 || static_cast<size_t>(process) > jumps.size())
    return nullptr;
  const std::vector<JumpSource>& sources = jumps[static_cast<size_t>(process) - 1];
  if (jump < 1 || static_cast<size_t>(jump) > sources.size())
    return nullptr;
  return &sources[static_cast<size_t>(jump) - 1];
}

std::vector<std::string> TraceLines(const std::string& title, const Trace& trace,
                                    const TraceNames& names, TraceView view) {
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
  const TraceState* previous = &trace.initial;
  for (const auto& [label, step] : labelled) {
    std::string line = "  " + Padded(label, labelWidth) + " " +
                       Padded("delay " + std::to_string(step->delay), delayWidth) + "  " +
                       Padded(JumpsText(*step, names), jumpsWidth) + "  ->  " +
                       StateText(step->state, names,
                                 view == TraceView::kChanges ? previous : nullptr, step->delay);
    // A step that changed nothing but the time ends with its arrow in the compact view.
    line.erase(line.find_last_not_of(' ') + 1);
    lines.push_back(std::move(line));
    previous = &step->state;
  }
  return lines;
}

}  // namespace tickcheck
