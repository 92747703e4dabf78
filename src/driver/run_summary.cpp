#include "driver/run_summary.h"

#include "driver/units.h"
#include "model/property.h"

namespace tickcheck {

bool ModelErrors::Any() const {
  return refusedExpressions + invalidAtomRelations + misfitVariables + unheardBroadcasts +
             shortClockBounds + runTimeErrors.value_or(0) >
         0;
}

std::vector<PropertyOutcome> PropertyOutcomes(const CSystem& system,
                                              const std::vector<uint8_t>& results,
                                              bool interrupted) {
  std::vector<PropertyOutcome> outcomes;
  for (size_t i = 0; i < system.properties.size(); ++i) {
    const int32_t type = system.properties[i].Type;
    const bool result = results[i] != 0;
    const bool open = (type == 0 && !result) || (type == 1 && result);
    // The search does not decide liveness properties (check/liveness.h does, after it).
    const bool liveness = system.properties[i].liveness != Liveness::kNone;
    const Verdict verdict = (interrupted && open) || liveness
                                ? Verdict::kUnknown
                                : (result ? Verdict::kTrue : Verdict::kFalse);
    outcomes.push_back(
        {static_cast<int32_t>(i) + 1, type, verdict, std::nullopt, system.properties[i].liveness});
  }
  return outcomes;
}

ModelErrors GatherModelErrors(const CSystem& system, const CComposition& composition,
                              int32_t misfitVariables, int32_t shortClockBounds,
                              int32_t runTimeErrors) {
  ModelErrors errors;
  errors.refusedExpressions = system.expressions.RefusedCount();
  for (const CProperty& property : system.properties) {
    for (const CAtomProperty& atom : property.atoms) {
      if (atom.kind != CAtomProperty::kLocation && atom.relation == CAtomProperty::kNeverHolds)
        ++errors.invalidAtomRelations;
    }
  }
  errors.misfitVariables = misfitVariables;
  errors.unheardBroadcasts = composition.unheardBroadcasts;
  errors.shortClockBounds = shortClockBounds;
  if (system.format == 2)
    errors.runTimeErrors = runTimeErrors;
  return errors;
}

std::string VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kFalse:
      return "0";
    case Verdict::kTrue:
      return "1";
    case Verdict::kUnknown:
      break;
  }
  return "unknown";
}

std::string ModelErrorsLine(const ModelErrors& errors) {
  std::string kinds;
  auto add = [&kinds](int32_t count, const char* kind) {
    if (count > 0)
      kinds += (kinds.empty() ? "" : ", ") + std::string(kind) + ": " + std::to_string(count);
  };
  add(errors.refusedExpressions, "refused expression records");
  add(errors.invalidAtomRelations, "property atoms with an invalid relation");
  add(errors.misfitVariables, "variables with values outside their ranges or bits");
  add(errors.unheardBroadcasts, "composed locations with a broadcast that no process receives");
  add(errors.shortClockBounds, "locations with clock bounds below what they compare");
  add(errors.runTimeErrors.value_or(0), "edges, invariants and properties with run-time errors");
  return "tickcheck: the model had errors (" + kinds + "); the verdicts may not hold";
}

std::string SummaryLine(const RunSummary& summary) {
  const SearchProgress& search = summary.search;
  return "summary: " + Counted(search.storedStates, "stored state") + ", " +
         Counted(search.transitionsFired, "transition") + " fired, " +
         Counted(search.sweeps, "sweep") + ", " + Seconds(summary.seconds) + ", " +
         std::to_string(PerSecond(search.storedStates, summary.seconds)) +
         " states/s, peak memory " + Mebibytes(summary.peakResidentBytes);
}

}  // namespace tickcheck
