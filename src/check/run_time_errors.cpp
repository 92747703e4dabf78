#include "check/run_time_errors.h"

#include <string>

namespace tickcheck {

RunTimeErrors::RunTimeErrors(const CSystem& model, ValueRanges& values, MessageSink& messages)
    : model_(model), values_(values), messages_(messages) {
  for (size_t p = 0; p < model.processes.size(); ++p) {
    const std::vector<CLocation>& locations = model.processes[p].locations;
    for (size_t l = 0; l < locations.size(); ++l) {
      for (int32_t id : locations[l].invariantExpIds)
        uses_.emplace(id, Use{p, l, -1, false});
      for (size_t j = 0; j < locations[l].jumps.size(); ++j) {
        const CJump& jump = locations[l].jumps[j];
        for (int32_t id : jump.guardExpIds)
          uses_.emplace(id, Use{p, l, static_cast<int32_t>(j), false});
        for (const Assignment& assignment : jump.assignments)
          uses_.emplace(assignment.expId, Use{p, l, static_cast<int32_t>(j), true});
      }
    }
  }
}

std::string RunTimeErrors::Where(const Use& use) const {
  const CProcess& process = model_.processes[use.process];
  const CLocation& location = process.locations[use.location];
  if (use.jump < 0)
    return "the invariant of " + process.ProcessName + "." + location.Name;
  const CJump& jump = location.jumps[static_cast<size_t>(use.jump)];
  const bool known = jump.To >= 1 && jump.To <= process.locationCount;
  const std::string to =
      known ? process.locations[static_cast<size_t>(jump.To) - 1].Name : std::to_string(jump.To);
  return std::string(use.assignment ? "an assignment of " : "the guard of ") + process.ProcessName +
         ": " + location.Name + " -> " + to;
}

void RunTimeErrors::Report(const RunTimeError& error,
                           const std::tuple<int64_t, int64_t, int64_t>& key,
                           const std::string& where) {
  const bool stops = error.kind == RunTimeError::Kind::kLoopBound;
  loopBound_ = loopBound_ || stops;
  if (!reported_.insert(key).second)
    return;
  const char* consequence = stops
                                ? "the search stops, and the verdicts it has not found are unknown"
                            : std::get<0>(key) < 0 ? "it does not hold in such states"
                                                   : "such steps are skipped";
  messages_.Problem("ERROR! " + Describe(error, model_) + " in " + where + "; " + consequence);
}

void RunTimeErrors::InTransition(const ExpressionError& error, const DsState& source,
                                 const DsState& target, const CComposedTransition& transition) {
  const RunTimeError& e = error.error;
  if (e.kind == RunTimeError::Kind::kValueOutOfRange && e.variable > 0) {
    values_.ReportRange(e.variable, e.value, source, target, transition);
    return;
  }
  const auto use = uses_.find(error.expression);
  if (use == uses_.end())
    return;
  const Use& at = use->second;
  // One line per edge: its guard and its assignments alike; an invariant is a place of its own.
  Report(e, {static_cast<int64_t>(at.process), static_cast<int64_t>(at.location), at.jump},
         Where(at));
}

void RunTimeErrors::InProperty(const RunTimeError& error, size_t property) {
  Report(error, {-1, static_cast<int64_t>(property), 0},
         "property " + std::to_string(property + 1));
}

}  // namespace tickcheck
