#pragma once
// The composition: the synchronised product of the processes' jumps, built on the fly. A composed
// location is the combination of the current locations of all processes (a location vector, one
// 1-based location id per process); it is numbered by its composed-location index, the
// mixed-radix number of the vector with the first process as the most significant digit. All
// per-location tables are dense arrays indexed by that number. The transitions that leave a
// composed location are built the first time the checker reaches it (composeLocation).

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <vector>

#include "model/refusal.h"
#include "model/system.h"

namespace tickcheck {

// Variable `updateVar` takes the value of expression `updateExpId`.
struct CUpdate {
  int32_t updateVar = 0;
  int32_t updateExpId = -1;
  bool operator==(const CUpdate&) const = default;
};

struct CComposedTransition {
  int32_t pre = 0;   // composed-location index that the transition leaves
  int32_t post = 0;  // composed-location index that it reaches
  bool isUrgent = false;
  bool noGuard = true;                // none of the participating jumps has a guard
  std::vector<int32_t> procId;        // 0-based processes: the initiator, then partners/receivers
  std::vector<CUpdate> updates;       // the jumps' assignments, in procId order
  std::vector<int32_t> guardExpId;    // the jumps' guard expression ids, in procId order
  std::vector<int32_t> resetClockId;  // the jumps' clock resets, sorted ascending

  // Writes the transition with its running number `number` in the listing format.
  void print(std::ostream& out, int32_t number) const;
  bool operator==(const CComposedTransition&) const = default;
};

class CComposition {
 public:
  // Checks, before any table is sized, that the loaded model can be composed: every process has
  // at least one location, the product of the location counts fits in a signed 32-bit integer and
  // its tables in this machine's memory (or in `memoryLimit` bytes when that is smaller; 0: no
  // limit), and every InitLocation and every jump's To lies in 1 .. the location count of its
  // process. Otherwise answers the refusal that says why.
  static std::optional<Refusal> CanCompose(const CSystem& system, uint64_t memoryLimit = 0);

  // Builds the empty tables and the initial location. Requires CanCompose(system),
  // locationIndexCount = system.locationProduct and processCount = system.processes.size().
  CComposition(const CSystem& system, int32_t locationIndexCount, int32_t processCount);
  // Frees everything and writes "composition destruct end".
  ~CComposition();
  CComposition(const CComposition&) = delete;
  CComposition& operator=(const CComposition&) = delete;

  // The composed-location index of `vector`; -1 after writing "ERROR! Overflow in VecToInt()!"
  // when the sum is negative.
  int32_t VecToInt(std::span<const int32_t> vector) const;

  // Creates every composed transition that leaves the composed location `vector` (internal jumps,
  // binary synchronisations, broadcasts) and appends them to its list, in the order in which the
  // checker tries them; writes the rows of the targets that are not yet composed. The checker
  // calls it once per index, while that index's composedFlags entry is 0, and then sets it to 1.
  // A vector that is not a location vector of the system (not one entry per process, or an id
  // outside its process) composes nothing.
  void composeLocation(std::span<const int32_t> vector);

  // Writes the heading line and every composed transition, numbered across indices.
  void printComposedTransitions(std::ostream& out) const;

  // The row of locationVectors for `index`: the location vector of that composed location once
  // it has been reached. Rows never move while the composition lives.
  std::span<const int32_t> LocationVector(int32_t index) const;

  const CSystem& system;
  // One weight per process (the process count is its length): the weight of a digit of the index.
  std::vector<int32_t> locationWeights;
  // One list per composed-location index: the transitions whose pre is that index.
  std::vector<std::vector<CComposedTransition>> transitionLists;
  std::vector<int32_t> composedFlags;
  // locationIndexCount rows of processCount entries, row after row.
  std::vector<int32_t> locationVectors;
  int32_t initLocationIndex = 0;
  int32_t locationIndexCount = 0;
  int32_t transruleSize = 0;
  // The composed locations whose composition stopped at a broadcast that no process listens to.
  int32_t unheardBroadcasts = 0;

 private:
  void WriteRow(int32_t index, std::span<const int32_t> vector);
  // Gives `transition` its post, the index of `target`, writes the target's row while that index
  // is not composed, and puts the transition into the list of its pre.
  void AddTransition(std::span<const int32_t> target, CComposedTransition transition);
};

}  // namespace tickcheck
