#include "driver/json_document.h"

#include <nlohmann/json.hpp>

#include <iostream>

#include "driver/output_file.h"
#include "driver/units.h"

namespace tickcheck {
namespace {

// Keys keep the order in which they are written, which is the order the README documents.
using Json = nlohmann::ordered_json;

Json StateJson(const TraceState& state, const TraceNames& names) {
  Json locationNames = Json::array();
  for (size_t p = 0; p < state.locations.size(); ++p)
    locationNames.push_back(names.Location(static_cast<int32_t>(p) + 1, state.locations[p]));
  Json integers = Json::object();
  for (size_t k = 0; k < state.intValues.size(); ++k)
    integers[k < names.integers.size() ? names.integers[k] : std::to_string(k)] =
        state.intValues[k];
  Json clocks = Json::object();
  for (size_t k = 0; k < state.activeClocks.size(); ++k)
    clocks[names.Variable(state.activeClocks[k])] = state.clockValues[k];
  return {{"locations", state.locations},
          {"integers", integers},
          {"clocks", clocks},
          {"location_names", locationNames}};
}

// The values of the select names of a compiled model's jump; empty for a model file.
Json SelectJson(const JumpSource* source) {
  Json selects = Json::object();
  if (source != nullptr) {
    for (const auto& [name, value] : source->selects)
      selects[name] = value;
  }
  return selects;
}

Json StepsJson(const std::vector<TraceStep>& trace, const TraceNames& names) {
  Json steps = Json::array();
  for (const TraceStep& step : trace) {
    Json jumps = Json::array();
    for (const TraceJump& jump : step.jumps)
      jumps.push_back({{"process", jump.process},
                       {"from", jump.from},
                       {"to", jump.to},
                       {"jump", jump.jump},
                       {"process_name", names.Process(jump.process)},
                       {"from_name", names.Location(jump.process, jump.from)},
                       {"to_name", names.Location(jump.process, jump.to)},
                       {"select", SelectJson(names.Jump(jump.process, jump.jump))},
                       {"added", names.Jump(jump.process, jump.jump) != nullptr &&
                                     names.Jump(jump.process, jump.jump)->added}});
    steps.push_back(
        {{"delay", step.delay}, {"jumps", jumps}, {"state", StateJson(step.state, names)}});
  }
  return steps;
}

Json TraceJson(const Trace& trace, const TraceNames& names) {
  Json json = {{"initial", StateJson(trace.initial, names)},
               {"steps", StepsJson(trace.steps, names)}};
  if (trace.cycle)
    json["cycle"] = StepsJson(*trace.cycle, names);
  return json;
}

// The liveness property as the query language writes it.
const char* LivenessForm(Liveness liveness) {
  switch (liveness) {
    case Liveness::kAlways:
      return "E[]";
    case Liveness::kEventually:
      return "A<>";
    default:
      return "-->";
  }
}

Json PropertyJson(const PropertyOutcome& outcome, const TraceNames& names) {
  Json verdict = nullptr;
  if (outcome.verdict != Verdict::kUnknown)
    verdict = outcome.verdict == Verdict::kTrue ? 1 : 0;
  Json json = {{"number", outcome.number}, {"type", outcome.type}};
  if (outcome.liveness != Liveness::kNone)
    json["liveness"] = LivenessForm(outcome.liveness);
  json["verdict"] = verdict;
  json["trace"] = outcome.trace ? TraceJson(*outcome.trace, names) : Json(nullptr);
  return json;
}

Json QueryJson(const QueryOutcome& query, const TraceNames& names) {
  Json satisfied = nullptr;
  if (query.satisfied != Verdict::kUnknown)
    satisfied = query.satisfied == Verdict::kTrue;
  return {{"text", query.text},
          {"satisfied", satisfied},
          {"properties", query.properties},
          {"trace", query.trace ? TraceJson(*query.trace, names) : Json(nullptr)}};
}

Json NamesJson(const TraceNames& names) {
  return {{"processes", names.processes},
          {"locations", names.locations},
          {"variables", names.variables}};
}

// The resource limit that ended the search, or null.
Json LimitJson(const std::optional<ResourceLimit>& limit) {
  if (!limit)
    return nullptr;
  return *limit == ResourceLimit::kMemory ? "memory" : "time";
}

// The counts of ModelErrors; a format-2 model's also its run-time errors.
Json ModelErrorsJson(const ModelErrors& errors) {
  Json json = {{"refused_expression_records", errors.refusedExpressions},
               {"invalid_atom_relations", errors.invalidAtomRelations},
               {"misfit_variables", errors.misfitVariables},
               {"unheard_broadcasts", errors.unheardBroadcasts},
               {"short_clock_bounds", errors.shortClockBounds}};
  if (errors.runTimeErrors)
    json["run_time_errors"] = *errors.runTimeErrors;
  return json;
}

}  // namespace

std::string JsonDocument(const Options& options, const RunSummary& summary,
                         const std::string& input, const std::vector<QueryOutcome>& queries) {
  Json properties = Json::array();
  for (const PropertyOutcome& outcome : summary.properties)
    properties.push_back(PropertyJson(outcome, summary.names));
  Json queryList = Json::array();
  for (const QueryOutcome& query : queries)
    queryList.push_back(QueryJson(query, summary.names));
  const ModelErrors& errors = summary.errors;
  const SearchProgress& search = summary.search;
  const Json document = {{"tickcheck", TICKCHECK_VERSION},
                         {"model", options.modelPath},
                         {"options",
                          {{"no_clock_intervals", options.noClockIntervals},
                           {"check_time_successors", options.checkTimeSuccessors},
                           {"trace", options.trace},
                           {"no_zeno", options.noZeno}}},
                         {"interrupted", summary.interrupted},
                         {"limit", LimitJson(summary.limit)},
                         {"properties", properties},
                         {"model_errors", ModelErrorsJson(errors)},
                         {"statistics",
                          {{"stored_states", search.storedStates},
                           {"transitions_fired", search.transitionsFired},
                           {"sweeps", search.sweeps},
                           {"waiting_entries", search.waitingEntries},
                           {"seconds", summary.seconds},
                           {"states_per_second", PerSecond(search.storedStates, summary.seconds)},
                           {"peak_rss_bytes", summary.peakResidentBytes},
                           {"transrule_size", summary.transruleSize}}},
                         {"input", input},
                         {"queries", queryList},
                         {"names", NamesJson(summary.names)}};
  // Invalid UTF-8 in a model path or a name is replaced rather than refused.
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<std::string> JsonTargetProblem(const Options& options) {
  if (!options.json || *options.json == "-")
    return std::nullopt;
  if (const std::optional<std::string> problem = ReplaceProblem(*options.json))
    return "tickcheck: cannot write " + *options.json + ": " + *problem;
  return std::nullopt;
}

bool WriteJsonDocument(const Options& options, const std::string& document) {
  if (*options.json == "-") {
    std::cout << document << std::flush;
    return true;
  }
  if (const std::optional<std::string> problem = ReplaceFile(*options.json, document)) {
    std::cerr << "tickcheck: cannot write " << *options.json << ": " << *problem << '\n'
              << std::flush;
    return false;
  }
  return true;
}

}  // namespace tickcheck
