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
// participants, the initiator first, as a stretch of one list, and its excluded guards as a
// stretch of another.
struct Found {
  size_t begin = 0;
  size_t end = 0;
  size_t excludedBegin = 0;
  size_t excludedEnd = 0;
  bool isUrgent = false;
  bool urgentChannel = false;
};

bool NoGuard(std::span<const Participant> participants) {
  return std::ranges::all_of(
      participants, [](const Participant& participant) { return participant.jump->noGuard; });
}

// Writes the payload of a transition with `participants`, `flags` and `excluded` guards into
// `payload` (its storage is reused): the flags, the five counts, then procId, updates, guards,
// sorted resets and the excluded guards.
void WritePayload(std::span<const Participant> participants, int32_t flags,
                  std::span<const int32_t> excluded, std::vector<int32_t>& payload) {
  int32_t updates = 0;
  int32_t guards = 0;
  int32_t resets = 0;
  for (const auto& [process, jump] : participants) {
    updates += static_cast<int32_t>(jump->assignments.size());
    guards += static_cast<int32_t>(jump->guardExpIds.size());
    resets += static_cast<int32_t>(jump->resetClockIds.size());
  }
  payload = {flags,  static_cast<int32_t>(participants.size()), updates, guards,
             resets, static_cast<int32_t>(excluded.size())};
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
  payload.insert(payload.end(), excluded.begin(), excluded.end());
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

// The usual broadcast rule: every combination of one receiving jump, or none, per other process.
class UsualBroadcast {
 public:
  UsualBroadcast(const CSystem& system, std::span<const int32_t> vector, int32_t sender,
                 const CJump& jump)
      : sender_(sender), jump_(jump) {
    const auto count = static_cast<int32_t>(system.processes.size());
    for (int32_t k = 0; k < count; ++k) {
      if (k == sender)
        continue;
      Options options{k, {}, true};
      for (const CJump& receiver : JumpsOf(system, vector, k)) {
        if (receiver.Syn == jump.Syn && receiver.Broadcast && receiver.SynType != 1) {
          options.jumps.push_back(&receiver);
          options.mayStayOut = options.mayStayOut && !receiver.noGuard;
        }
      }
      if (!options.jumps.empty())
        options_.push_back(std::move(options));
    }
  }

  // Calls `found(participants, excluded)` for every combination, the first receiving jumps first.
  template <typename Found>
  void ForEach(Found found) const {
    // One digit per process with receiving jumps: the chosen jump, or jumps.size() for none where
    // the process may stay out. Only possible combinations are counted through: a process whose
    // receiving jump has no guard always takes part, and with many such processes the
    // impossible combinations would outnumber the possible ones exponentially.
    std::vector<size_t> digits(options_.size(), 0);
    const auto limit = [this](size_t k) {
      return options_[k].jumps.size() + (options_[k].mayStayOut ? 1 : 0);
    };
    for (;;) {
      participants_.assign({{sender_, &jump_}});
      excluded_.clear();
      for (size_t k = 0; k < options_.size(); ++k) {
        const Options& options = options_[k];
        if (digits[k] < options.jumps.size()) {
          participants_.push_back({options.process, options.jumps[digits[k]]});
          continue;
        }
        for (const CJump* receiver : options.jumps) {
          excluded_.push_back(static_cast<int32_t>(receiver->guardExpIds.size()));
          excluded_.insert(excluded_.end(), receiver->guardExpIds.begin(),
                           receiver->guardExpIds.end());
        }
      }
      found(std::span<const Participant>(participants_), std::span<const int32_t>(excluded_));
      size_t k = 0;
      while (k < digits.size() && ++digits[k] >= limit(k))
        digits[k++] = 0;
      if (k == digits.size())
        return;
    }
  }

 private:
  struct Options {
    int32_t process;
    std::vector<const CJump*> jumps;
    bool mayStayOut;  // every receiving jump has a guard, which may fail
  };
  int32_t sender_;
  const CJump& jump_;
  std::vector<Options> options_;
  mutable std::vector<Participant> participants_;
  mutable std::vector<int32_t> excluded_;
};

bool InCommitted(const CSystem& system, std::span<const int32_t> vector, int32_t process) {
  const CProcess& owner = system.processes[static_cast<size_t>(process)];
  return owner.locations[static_cast<size_t>(vector[static_cast<size_t>(process)]) - 1].committed;
}

}  // namespace

void CComposition::composeLocation(std::span<const int32_t> vector) {
  if (!IsLocationVector(system, vector))
    return;
  const uint64_t hash = RowHash(vector);
  const int32_t place = Store(vector, hash);
  if (places_[static_cast<size_t>(place)].composed)
    return;
  const auto count = static_cast<int32_t>(system.processes.size());
  bool committed = false;
  bool timeStopped = false;
  for (int32_t i = 0; i < count; ++i) {
    const CProcess& process = system.processes[static_cast<size_t>(i)];
    const CLocation& location =
        process.locations[static_cast<size_t>(vector[static_cast<size_t>(i)]) - 1];
    committed = committed || location.committed;
    timeStopped = timeStopped || location.committed || location.urgent;
  }
  // Urgent internal transitions are tried first, the one composed last leading.
  std::vector<Participant> participants;
  std::vector<int32_t> excluded;
  std::vector<Found> found;
  const auto add = [&](std::span<const Participant> joined, bool isUrgent, bool urgentChannel,
                       std::span<const int32_t> exclusions) {
    // While a process is committed, the next transition must move a committed process on.
    if (committed && std::ranges::none_of(joined, [&](const Participant& participant) {
          return InCommitted(system, vector, participant.process);
        })) {
      return;
    }
    found.push_back({participants.size(), participants.size() + joined.size(), excluded.size(),
                     excluded.size() + exclusions.size(), isUrgent, urgentChannel});
    participants.insert(participants.end(), joined.begin(), joined.end());
    excluded.insert(excluded.end(), exclusions.begin(), exclusions.end());
  };

  bool unheard = false;
  std::vector<Participant> broadcast;
  for (int32_t i = 0; i < count && !unheard; ++i) {
    for (const CJump& jump : JumpsOf(system, vector, i)) {
      const bool urgentChannel = jump.Syn > 0 && system.IsUrgentChannel(jump.Syn);
      if (jump.Syn <= 0) {
        const Participant internal[] = {{i, &jump}};
        add(internal, jump.iUrgent, false, {});
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
            add(pair, false, urgentChannel, {});
          }
        }
      } else if (system.usualBroadcast) {
        UsualBroadcast(system, vector, i, jump)
            .ForEach([&](std::span<const Participant> joined, std::span<const int32_t> exclusions) {
              add(joined, false, urgentChannel, exclusions);
            });
      } else {
        broadcast.assign({{i, &jump}});
        const Receivers receivers = GatherReceivers(system, vector, i, jump.Syn, broadcast);
        if (receivers == Receivers::kFound) {
          add(broadcast, false, urgentChannel, {});
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
  bool anyUrgentChannel = false;
  for (const Found* transition : order) {
    const std::span<const Participant> joined(participants.data() + transition->begin,
                                              transition->end - transition->begin);
    const std::span<const int32_t> exclusions(excluded.data() + transition->excludedBegin,
                                              transition->excludedEnd - transition->excludedBegin);
    target.assign(vector.begin(), vector.end());
    uint64_t targetHash = hash;
    for (const auto& [process, jump] : joined) {
      int32_t& location = target[static_cast<size_t>(process)];
      targetHash += EntryHash(static_cast<size_t>(process), jump->To) -
                    EntryHash(static_cast<size_t>(process), location);
      location = jump->To;
    }
    const int32_t post = Store(target, targetHash);
    const int32_t flags = (transition->isUrgent ? kUrgentFlag : 0) |
                          (NoGuard(joined) ? kNoGuardFlag : 0) |
                          (transition->urgentChannel ? kUrgentChannelFlag : 0);
    anyUrgentChannel = anyUrgentChannel || transition->urgentChannel;
    WritePayload(joined, flags, exclusions, payload);
    words.insert(words.end(), {post, Payload(payload)});
  }
  const auto transitions = static_cast<int32_t>(order.size());
  int32_t* records = Allocate(words.size());
  std::copy(words.begin(), words.end(), records);
  Place& stored = places_[static_cast<size_t>(place)];
  stored.records = records;
  stored.transitionCount = transitions;
  stored.composed = true;
  stored.timeStopped = timeStopped;
  stored.urgentChannel = anyUrgentChannel;
  ++composedLocations;
  transruleSize += transitions;
}

}  // namespace tickcheck
