#include "driver/json_document.h"

#include <nlohmann/json.hpp>

#include "driver/units.h"

namespace tickcheck {
namespace {

// Keys keep the order in which they are written, which is the order the README documents.
using Json = nlohmann::ordered_json;

Json PropertyJson(const PropertyOutcome& outcome) {
  Json verdict = nullptr;
  if (outcome.verdict != Verdict::kUnknown)
    verdict = outcome.verdict == Verdict::kTrue ? 1 : 0;
  return {
      {"number", outcome.number}, {"type", outcome.type}, {"verdict", verdict}, {"trace", nullptr}};
}

}  // namespace

std::string JsonDocument(const Options& options, const RunSummary& summary) {
  Json properties = Json::array();
  for (const PropertyOutcome& outcome : summary.properties)
    properties.push_back(PropertyJson(outcome));
  const ModelErrors& errors = summary.errors;
  const SearchProgress& search = summary.search;
  const Json document = {{"tickcheck", TICKCHECK_VERSION},
                         {"model", options.modelPath},
                         {"options",
                          {{"no_clock_intervals", options.noClockIntervals},
                           {"check_time_successors", options.checkTimeSuccessors}}},
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
