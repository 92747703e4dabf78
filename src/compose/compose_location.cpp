#include <algorithm>
#include <vector>

#include "compose/composition.h"

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

// The composed transitions found at one location, before they are stored: each one's
// participants, the initiator first, as a stretch of one list.
struct Found {
  size_t begin = 0;
  size_t end = 0;
  bool isUrgent = false;
};

bool NoGuard(std::span<const Participant> participants) {
  return std::ranges::all_of(
      participants, [](const Participant& participant) { return participant.jump->noGuard; });
}

// Writes the payload of a transition with `participants` and `flags` into `payload` (its storage
// is reused): the flags, the four counts, then procId, updates, guards and sorted resets.
void WritePayload(std::span<const Participant> participants, int32_t flags,
                  std::vector<int32_t>& payload) {
  int32_t updates = 0;
  int32_t guards = 0;
  int32_t resets = 0;
  for (const auto& [process, jump] : participants) {
    updates += static_cast<int32_t>(jump->assignments.size());
    guards += static_cast<int32_t>(jump->guardExpIds.size());
    resets += static_cast<int32_t>(jump->resetClockIds.size());
  }
  payload = {flags, static_cast<int32_t>(participants.size()), updates, guards, resets};
  for (const Participant& participant : participants)
    payload.push_back(participant.process);
  for (const Participant& participant : participants) {
    for (const Assignment& assignment : participant.jump->assignments)
      payload.insert(payload.end(), {assignment.varId, assignment.expId});
  }
  for (const Participant& participant : participants) {
    payload.insert(payload.end(), participant.jump->guardExpIds.begin(),
                   participant.jump->guardExpIds.end());
  }
  const auto firstReset = static_cast<std::ptrdiff_t>(payload.size());
  for (const Participant& participant : participants) {
    payload.insert(payload.end(), participant.jump->resetClockIds.begin(),
                   participant.jump->resetClockIds.end());
  }
  std::sort(payload.begin() + firstReset, payload.end());
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
  const uint64_t hash = RowHash(vector);
  const int32_t place = Store(vector, hash);
  if (places_[static_cast<size_t>(place)].composed)
    return;
  // Urgent internal transitions are tried first, the one composed last leading.
  std::vector<Participant> participants;
  std::vector<Found> found;
  const auto add = [&](std::span<const Participant> joined, bool isUrgent) {
    found.push_back({participants.size(), participants.size() + joined.size(), isUrgent});
    participants.insert(participants.end(), joined.begin(), joined.end());
  };

  const auto count = static_cast<int32_t>(system.processes.size());
  bool unheard = false;
  std::vector<Participant> broadcast;
  for (int32_t i = 0; i < count && !unheard; ++i) {
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
        broadcast.assign({{i, &jump}});
        const Receivers receivers = GatherReceivers(system, vector, i, jump.Syn, broadcast);
        if (receivers == Receivers::kFound) {
          add(broadcast, false);
        } else if (receivers == Receivers::kNoListener) {
          // The model is broken at this location; what was composed before stays usable.
          Messages().Problem("Error: there must be at least a jump syn with a broadcast edge");
          ++unheardBroadcasts;
          unheard = true;
          break;
        }
      }
    }
  }
  std::vector<const Found*> order;
  for (auto at = found.rbegin(); at != found.rend(); ++at) {
    if (at->isUrgent)
      order.push_back(&*at);
  }
  for (const Found& transition : found) {
    if (!transition.isUrgent)
      order.push_back(&transition);
  }

  // Record: post place and payload number. The target moves exactly the participating processes.
  std::vector<int32_t> words;
  std::vector<int32_t> target;
  std::vector<int32_t> payload;
  for (const Found* transition : order) {
    const std::span<const Participant> joined(participants.data() + transition->begin,
                                              transition->end - transition->begin);
    target.assign(vector.begin(), vector.end());
    uint64_t targetHash = hash;
    for (const auto& [process, jump] : joined) {
      int32_t& location = target[static_cast<size_t>(process)];
      targetHash += EntryHash(static_cast<size_t>(process), jump->To) -
                    EntryHash(static_cast<size_t>(process), location);
      location = jump->To;
    }
    const int32_t post = Store(target, targetHash);
    const int32_t flags =
        (transition->isUrgent ? kUrgentFlag : 0) | (NoGuard(joined) ? kNoGuardFlag : 0);
    WritePayload(joined, flags, payload);
    words.insert(words.end(), {post, Payload(payload)});
  }
  const auto transitions = static_cast<int32_t>(order.size());
  int32_t* records = Allocate(words.size());
  std::copy(words.begin(), words.end(), records);
  Place& stored = places_[static_cast<size_t>(place)];
  stored.records = records;
  stored.transitionCount = transitions;
  stored.composed = true;
  ++composedLocations;
  transruleSize += transitions;
}

}  // namespace tickcheck
