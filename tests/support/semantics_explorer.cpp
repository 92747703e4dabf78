#include "support/semantics_explorer.h"

#include "check/semantics_explorer.h"
#include "driver/model_check.h"
#include "support/model_files.h"

namespace tickcheck::testing {

ModelVerdicts ExploreModelFile(const std::string& path, size_t stateLimit) {
  ModelVerdicts verdicts;
  DiscardedMessages messages;
  ModelCheck check(messages);
  if (check.Load(ProfileIndex(path)) || check.Compose())
    return verdicts;
  SemanticsExplorer explorer(check.Model(), messages);
  const SemanticsExplorer::Verdicts decided =
      explorer.Decide(static_cast<int64_t>(stateLimit), SemanticsExplorer::Extent::kWhole);
  verdicts.properties.assign(decided.results.begin(), decided.results.end());
  verdicts.rangeError = decided.rangeError;
  verdicts.runTimeError = decided.runTimeError;
  verdicts.states = static_cast<size_t>(decided.states);
  verdicts.complete = decided.complete;
  return verdicts;
}

}  // namespace tickcheck::testing
