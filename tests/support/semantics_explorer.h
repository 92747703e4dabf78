#pragma once
// The verdicts of a model file by the explorer of the plain discrete-time semantics
// (check/semantics_explorer.h), loaded and composed as a run does: the reference of the
// modelling language's differential test.

#include <cstddef>
#include <string>
#include <vector>

namespace tickcheck::testing {

// The verdicts of a model file by the explorer, every reachable state visited.
struct ModelVerdicts {
  std::vector<bool> properties;  // one per loaded property
  bool rangeError = false;
  bool runTimeError = false;  // format 2: some evaluation failed (a range error aside)
  size_t states = 0;
  bool complete = true;  // false when the state limit stopped the exploration
};
// Loads and composes the model file as a run does (nothing when it is refused) and explores it.
ModelVerdicts ExploreModelFile(const std::string& path, size_t stateLimit);

}  // namespace tickcheck::testing
