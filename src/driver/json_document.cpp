#include "driver/json_document.h"

#include <nlohmann/json.hpp>

#include "driver/units.h"

namespace tickcheck {
namespace {

// Keys keep the order in which they are written, which is the order the README documents.
using Json = nlohmann::ordered_json;

Json StateJson(const TraceState& state, const TraceNames& names) {
  Json integers = Json::object();
  for (size_t k = 0; k < state.intValues.size(); ++k)
    integers[k < names.integers.size() ? names.integers[k] : std::to_string(k)] =
        state.intValues[k];
  Json clocks = Json::object();
  for (size_t k = 0; k < state.activeClocks.size(); ++k)
    clocks[names.Variable(state.activeClocks[k])] = state.clockValues[k];
  return {{"locations", state.locations}, {"integers", integers}, {"clocks", clocks}};
}

Json TraceJson(const Trace& trace, const TraceNames& names) {
  Json steps = Json::array();
  for (const TraceStep& step : trace.steps) {
    Json jumps = Json::array();
    for (const TraceJump& jump : step.jumps)
      jumps.push_back({{"process", jump.process}, {"from", jump.from}, {"to", jump.to}});
    steps.push_back(
        {{"delay", step.delay}, {"jumps", jumps}, {"state", StateJson(step.state, names)}});
  }
  return {{"initial", StateJson(trace.initial, names)}, {"steps", steps}};
}

Json PropertyJson(const PropertyOutcome& outcome, const TraceNames& names) {
  Json verdict = nullptr;
  if (outcome.verdict != Verdict::kUnknown)
    verdict = outcome.verdict == Verdict::kTrue ? 1 : 0;
  return {{"number", outcome.number},
          {"type", outcome.type},
          {"verdict", verdict},
          {"trace", outcome.trace ? TraceJson(*outcome.trace, names) : Json(nullptr)}};
}

}  // namespace

std::string JsonDocument(const Options& options, const RunSummary& summary) {
  Json properties = Json::array();
  for (const PropertyOutcome& outcome : summary.properties)
    properties.push_back(PropertyJson(outcome, summary.names));
  const ModelErrors& errors = summary.errors;
  const SearchProgress& search = summary.search;
  const Json document = {{"tickcheck", TICKCHECK_VERSION},
                         {"model", options.modelPath},
                         {"options",
                          {{"no_clock_intervals", options.noClockIntervals},
                           {"check_time_successors", options.checkTimeSuccessors},
                           {"trace", options.trace}}},
                         {"interrupted", summary.interrupted},
                         {"properties", properties},
                         {"model_errors",
                          {{"refused_expression_records", errors.refusedExpressions},
                           {"invalid_atom_relations", errors.invalidAtomRelations},
                           {"misfit_variables", errors.misfitVariables},
                           {"unheard_broadcasts", errors.unheardBroadcasts},
                           {"short_clock_bounds", errors.shortClockBounds}}},
                         {"statistics",
                          {{"stored_states", search.storedStates},
                           {"transitions_fired", search.transitionsFired},
                           {"sweeps", search.sweeps},
                           {"waiting_entries", search.waitingEntries},
                           {"seconds", summary.seconds},
                           {"states_per_second", PerSecond(search.storedStates, summary.seconds)},
                           {"peak_rss_bytes", summary.peakResidentBytes},
                           {"transrule_size", summary.transruleSize}}}};
  // Invalid UTF-8 in a model path is replaced rather than refused.
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tickcheck
