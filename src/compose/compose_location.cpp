#include <algorithm>
#include <vector>

#include "compose/composition.h"
#include "model/console.h"

namespace tickcheck {
namespace {

// A jump that takes part in a composed transition, with the 0-based process that makes it.
struct Participant {
  int32_t process;
  const CJump* jump;
};

bool IsLocationVector(const CSystem& system, std::span<const int32_t> vector) {
  if (vector.size() != system.processes.size())
    return false;
  for (size_t i = 0; i < vector.size(); ++i) {
    if (vector[i] < 1 || vector[i] > system.processes[i].locationCount)
      return false;
  }
  return true;
}

const std::vector<CJump>& JumpsOf(const CSystem& system, std::span<const int32_t> vector,
                                  int32_t process) {
  const CProcess& owner = system.processes[static_cast<size_t>(process)];
  return owner.locations[static_cast<size_t>(vector[static_cast<size_t>(process)]) - 1].jumps;
}

struct Composed {
  std::vector<int32_t> target;
  CComposedTransition transition;
};

// Joins the participants, the initiator first, into one transition leaving `source`; the
// target moves exactly the participating processes.
Composed Compose(int32_t pre, std::span<const int32_t> source,
                 std::span<const Participant> participants) {
  Composed composed{{source.begin(), source.end()}, {}};
  CComposedTransition& transition = composed.transition;
  transition.pre = pre;
  for (const auto& [process, jump] : participants) {
    composed.target[static_cast<size_t>(process)] = jump->To;
    transition.procId.push_back(process);
    transition.noGuard = transition.noGuard && jump->noGuard;
    for (const Assignment& assignment : jump->assignments)
      transition.updates.push_back({assignment.varId, assignment.expId});
    transition.guardExpId.insert(transition.guardExpId.end(), jump->guardExpIds.begin(),
                                 jump->guardExpIds.end());
    transition.resetClockId.insert(transition.resetClockId.end(), jump->resetClockIds.begin(),
                                   jump->resetClockIds.end());
  }
  std::ranges::sort(transition.resetClockId);
  return composed;
}

bool ListensOn(const CProcess& process, int32_t channel) {
  return std::ranges::find(process.broadcastChannels, channel) != process.broadcastChannels.end();
}

enum class Receivers { kFound, kListenerWithoutJump, kNoListener };

// Appends to `participants` the receivers of a broadcast on `channel` sent by `sender`: for
// every other process whose broadcast channels hold the channel, the first jump on it in the
// process's current location, whatever its SynType and guard.
Receivers GatherReceivers(const CSystem& system, std::span<const int32_t> vector, int32_t sender,
                          int32_t channel, std::vector<Participant>& participants) {
  bool anyListener = false;
  const auto count = static_cast<int32_t>(system.processes.size());
  for (int32_t k = 0; k < count; ++k) {
    if (k == sender || !ListensOn(system.processes[static_cast<size_t>(k)], channel))
      continue;
    anyListener = true;
    const std::vector<CJump>& jumps = JumpsOf(system, vector, k);
    const auto receiver =
        std::ranges::find_if(jumps, [&](const CJump& jump) { return jump.Syn == channel; });
    if (receiver == jumps.end())
      return Receivers::kListenerWithoutJump;
    participants.push_back({k, &*receiver});
  }
  return anyListener ? Receivers::kFound : Receivers::kNoListener;
}

}  // namespace

void CComposition::composeLocation(std::span<const int32_t> vector) {
  if (!IsLocationVector(system, vector))
    return;
  const int32_t pre = VecToInt(vector);
  const auto add = [&](std::span<const Participant> participants, bool urgent) {
    Composed composed = Compose(pre, vector, participants);
    composed.transition.isUrgent = urgent;
    AddTransition(composed.target, std::move(composed.transition));
  };

  const auto count = static_cast<int32_t>(system.processes.size());
  for (int32_t i = 0; i < count; ++i) {
    for (const CJump& jump : JumpsOf(system, vector, i)) {
      if (jump.Syn <= 0) {
        const Participant internal[] = {{i, &jump}};
        add(internal, jump.iUrgent);
      } else if (jump.SynType == 0) {
        // A receiving jump takes part only when a jump of another process initiates.
        continue;
      } else if (!jump.Broadcast) {
        for (int32_t k = 0; k < count; ++k) {
          if (k == i)
            continue;
          for (const CJump& partner : JumpsOf(system, vector, k)) {
            if (partner.Syn != jump.Syn || partner.SynType == 1)
              continue;
            const Participant pair[] = {{i, &jump}, {k, &partner}};
            add(pair, false);
          }
        }
      } else {
        std::vector<Participant> participants{{i, &jump}};
        switch (GatherReceivers(system, vector, i, jump.Syn, participants)) {
          case Receivers::kFound:
            add(participants, false);
            break;
          case Receivers::kListenerWithoutJump:
            break;
          case Receivers::kNoListener:
            // The model is broken at this location; what was composed before stays usable.
            ConsoleLine("Error: there must be at least a jump syn with a broadcast edge");
            ++unheardBroadcasts;
            return;
        }
      }
    }
  }
}

void CComposition::AddTransition(std::span<const int32_t> target, CComposedTransition transition) {
  const int32_t post = VecToInt(target);
  // A composed location's row is final once the checker has started on it.
  if (composedFlags[static_cast<size_t>(post)] == 0)
    WriteRow(post, target);
  transition.post = post;
  std::vector<CComposedTransition>& list = transitionLists[static_cast<size_t>(transition.pre)];
  // Urgent internal transitions are tried first, the one composed last leading.
  if (transition.isUrgent)
    list.insert(list.begin(), std::move(transition));
  else
    list.push_back(std::move(transition));
  ++transruleSize;
}

}  // namespace tickcheck
