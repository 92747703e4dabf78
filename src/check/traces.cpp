#include "check/traces.h"

#include <algorithm>

#include "check/semantics_explorer.h"

namespace tickcheck {
namespace {

TraceState Owned(const DsState& state) {
  return {{state.locations.begin(), state.locations.end()},
          state.intValues,
          state.activeClocks,
          state.clockValues};
}

// Finds the jumps of a composed transition: the composition lists its participants' guards and
// assignments one after the other, so each participant's jump is one that leaves its location
// for its target and whose guard and assignments come next, and together they must account for
// all of them (a jump without guard or assignments fits anywhere, so a choice may have to be
// taken back).
class JumpMatch {
 public:
  JumpMatch(const CSystem& system, const CComposedTransition& transition,
            std::span<const int32_t> from, std::span<const int32_t> to)
      : system_(system), transition_(transition), from_(from), to_(to) {}

  // One entry per participant, in its order; jump 0 where no choice accounts for everything.
  std::vector<TraceJump> Jumps() {
    for (int32_t process : transition_.procId) {
      const size_t p = static_cast<size_t>(process);
      jumps_.push_back({process + 1, from_[p], to_[p]});
    }
    if (!Choose(0, 0, 0)) {
      for (TraceJump& jump : jumps_)
        jump.jump = 0;
    }
    return jumps_;
  }

 private:
  // Whether `jump` can take participant k's part: its role in the synchronisation (an internal
  // or broadcast jump alone; else the initiator sends and the others take its channel, a binary
  // partner receiving), its target, and the guards and assignments that come next.
  bool Fits(const CJump& jump, size_t k, size_t guard, size_t update) const {
    const size_t p = static_cast<size_t>(transition_.procId[k]);
    bool role = false;
    if (jumps_.size() == 1)
      role = jump.Syn <= 0 || jump.Broadcast;
    else if (k == 0)
      role = jump.Syn > 0 && jump.SynType != 0;
    else
      role = jump.Syn == initiator_->Syn && (initiator_->Broadcast || jump.SynType != 1);
    if (!role || jump.To != to_[p] ||
        guard + jump.guardExpIds.size() > transition_.guardExpId.size() ||
        update + jump.assignments.size() > transition_.updates.size() ||
        !std::equal(jump.guardExpIds.begin(), jump.guardExpIds.end(),
                    transition_.guardExpId.begin() + static_cast<std::ptrdiff_t>(guard))) {
      return false;
    }
    for (size_t n = 0; n < jump.assignments.size(); ++n) {
      const CUpdate taken = transition_.updates[update + n];
      if (taken.updateVar != jump.assignments[n].varId ||
          taken.updateExpId != jump.assignments[n].expId)
        return false;
    }
    return true;
  }

  bool Choose(size_t k, size_t guard, size_t update) {
    if (k == jumps_.size())
      return guard == transition_.guardExpId.size() && update == transition_.updates.size();
    const size_t p = static_cast<size_t>(transition_.procId[k]);
    const CLocation& location = system_.processes[p].locations[static_cast<size_t>(from_[p]) - 1];
    for (const CJump& jump : location.jumps) {
      if (!Fits(jump, k, guard, update))
        continue;
      jumps_[k].jump = jump.number;
      if (k == 0)
        initiator_ = &jump;
      if (Choose(k + 1, guard + jump.guardExpIds.size(), update + jump.assignments.size()))
        return true;
    }
    return false;
  }

  const CSystem& system_;
  const CComposedTransition& transition_;
  std::span<const int32_t> from_, to_;
  std::vector<TraceJump> jumps_;
  const CJump* initiator_ = nullptr;  // participant 0's jump, once chosen
};

}  // namespace

// The path folded into steps: the ticks before a transition become its delay.
Trace TraceOf(const CSystem& system, const DsState& initial, const std::vector<Step>& path,
              const CComposition& composition) {
  Trace trace{Owned(initial), {}};
  int32_t delay = 0;
  for (const Step& step : path) {
    if (!step.transition) {
      ++delay;
      continue;
    }
    TraceStep folded{delay, {}, Owned(step.next)};
    const std::span<const int32_t> from = composition.LocationVector(step.transition->pre);
    const std::span<const int32_t> to = composition.LocationVector(step.transition->post);
    folded.jumps = JumpMatch(system, *step.transition, from, to).Jumps();
    trace.steps.push_back(std::move(folded));
    delay = 0;
  }
  if (delay > 0)
    trace.steps.push_back({delay, {}, Owned(path.back().next)});
  return trace;
}

TraceSearch FindTraces(const CSystem& system, CComposition& composition,
                       const std::vector<bool>& wanted, int64_t stateLimit,
                       const std::function<bool(int64_t)>& goOn) {
  const std::vector<CProperty>& properties = system.properties;
  TraceSearch search;
  search.traces.resize(properties.size());
  SemanticsExplorer explorer(system, composition);
  // The visit that shows each wanted property, by its number in the exploration.
  std::vector<int64_t> shownAt(properties.size(), -1);
  size_t open = 0;
  for (size_t i = 0; i < properties.size(); ++i)
    open += wanted[i] && (properties[i].Type == 0 || properties[i].Type == 1) ? 1 : 0;
  const ExploreEnd end =
      open == 0 ? ExploreEnd::kStopped
                : explorer.Explore(
                      [&](int64_t index, const DsState& state) {
                        for (size_t i = 0; i < properties.size(); ++i) {
                          const int32_t type = properties[i].Type;
                          if (!wanted[i] || shownAt[i] >= 0 || (type != 0 && type != 1))
                            continue;
                          if (explorer.Holds(properties[i], state) == (type == 0)) {
                            shownAt[i] = index;
                            --open;
                          }
                        }
                        return open > 0;
                      },
                      stateLimit, goOn);
  search.states = explorer.Visited();
  if (end == ExploreEnd::kInterrupted) {
    search.end = TraceSearch::End::kInterrupted;
    return search;
  }
  const DsState initial = explorer.Initial();
  for (size_t i = 0; i < properties.size(); ++i) {
    if (shownAt[i] >= 0)
      search.traces[i] = TraceOf(system, initial, explorer.PathTo(shownAt[i]), composition);
  }
  search.end = open == 0 ? TraceSearch::End::kComplete : TraceSearch::End::kMissing;
  return search;
}

}  // namespace tickcheck
