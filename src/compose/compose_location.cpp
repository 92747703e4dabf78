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

// A composed transition before it is stored: its target vector and the parts of its record.
struct Composed {
  std::vector<int32_t> target;
  bool isUrgent = false;
  bool noGuard = true;
  std::vector<int32_t> procId;
  std::vector<int32_t> updates;  // variable, expression, variable, expression, ...
  std::vector<int32_t> guardExpId;
  std::vector<int32_t> resetClockId;
};

// Joins the participants, the initiator first, into one transition leaving `source`; the
// target moves exactly the participating processes.
Composed Compose(std::span<const int32_t> source, std::span<const Participant> participants) {
  Composed composed;
  composed.target.assign(source.begin(), source.end());
  for (const auto& [process, jump] : participants) {
    composed.target[static_cast<size_t>(process)] = jump->To;
    composed.procId.push_back(process);
    composed.noGuard = composed.noGuard && jump->noGuard;
    for (const Assignment& assignment : jump->assignments) {
      composed.updates.push_back(assignment.varId);
      composed.updates.push_back(assignment.expId);
    }
    composed.guardExpId.insert(composed.guardExpId.end(), jump->guardExpIds.begin(),
                               jump->guardExpIds.end());
    composed.resetClockId.insert(composed.resetClockId.end(), jump->resetClockIds.begin(),
                                 jump->resetClockIds.end());
  }
  std::ranges::sort(composed.resetClockId);
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
  const int64_t pre = VecToInt(vector);
  const int32_t place = Store(pre, vector);
  if (places_[static_cast<size_t>(place)].composed)
    return;
  // Urgent internal transitions are tried first, the one composed last leading.
  std::vector<Composed> urgent;
  std::vector<Composed> others;
  const auto add = [&](std::span<const Participant> participants, bool isUrgent) {
    Composed composed = Compose(vector, participants);
    composed.isUrgent = isUrgent;
    (isUrgent ? urgent : others).push_back(std::move(composed));
  };

  const auto count = static_cast<int32_t>(system.processes.size());
  bool unheard = false;
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
        std::vector<Participant> participants{{i, &jump}};
        const Receivers receivers = GatherReceivers(system, vector, i, jump.Syn, participants);
        if (receivers == Receivers::kFound) {
          add(participants, false);
        } else if (receivers == Receivers::kNoListener) {
          // The model is broken at this location; what was composed before stays usable.
          ConsoleLine("Error: there must be at least a jump syn with a broadcast edge");
          ++unheardBroadcasts;
          unheard = true;
          break;
        }
      }
    }
  }
  std::reverse(urgent.begin(), urgent.end());

  // Record: post place and payload number. Payload: flags, the four counts, then procId,
  // updates, guards and resets.
  std::vector<int32_t> words;
  std::vector<int32_t> payload;
  int32_t transitions = 0;
  for (const std::vector<Composed>* part : {&urgent, &others}) {
    for (const Composed& composed : *part) {
      const int32_t post = Store(VecToInt(composed.target), composed.target);
      const int32_t flags =
          (composed.isUrgent ? kUrgentFlag : 0) | (composed.noGuard ? kNoGuardFlag : 0);
      payload = {flags, static_cast<int32_t>(composed.procId.size()),
                 static_cast<int32_t>(composed.updates.size() / 2),
                 static_cast<int32_t>(composed.guardExpId.size()),
                 static_cast<int32_t>(composed.resetClockId.size())};
      for (const std::vector<int32_t>* list :
           {&composed.procId, &composed.updates, &composed.guardExpId, &composed.resetClockId})
        payload.insert(payload.end(), list->begin(), list->end());
      words.insert(words.end(), {post, Payload(payload)});
      ++transitions;
    }
  }
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
