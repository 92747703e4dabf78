#include "check/new_states.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tickcheck {
namespace {

// The number of delays from which a run's stretch in a stored box is skipped after a test of
// the whole box against the reached set.
constexpr int32_t kLongStretch = 64;
// The most states whose storage is kept beyond the batch that needed them: a rare long batch
// gives the rest back.
constexpr size_t kSpareStates = 256;

}  // namespace

NewStates::NewStates(const CSystem& model, const ClockIntervals& intervals, ReachedSet& reached,
                     ValueRanges& values, Verdicts& verdicts, SearchBudget& budget, bool widen,
                     std::function<bool()> goOn)
    : model_(model),
      intervals_(intervals),
      reached_(reached),
      values_(values),
      verdicts_(verdicts),
      budget_(budget),
      widen_(widen),
      goOn_(std::move(goOn)) {}

bool NewStates::Keep(const DelayRun& run, std::vector<DsState>& fresh,
                     std::vector<int32_t>& positions) {
  positions.clear();
  const DsState& first = run.Entry().state;
  bool allUAtMostL = true;
  for (size_t p = 0; p < model_.processes.size(); ++p) {
    const CProcess& process = model_.processes[p];
    allUAtMostL =
        allUAtMostL && process.locations[static_cast<size_t>(first.locations[p]) - 1].allUAtMostL;
  }
  // With every U at most L the run is walked from its end, else from its start.
  const bool forward = !allUAtMostL;
  const int32_t size = run.Size();
  // The last state of the run may stand for several equal copies (see DelayRun): visited from the
  // back it is met at the last of them, from the front at the first.
  auto position = [&](int32_t k) { return (!forward && k == size - 1) ? run.LastPosition() : k; };
  // A run of millions of delays that one box holds is passed over at once: the states of the run
  // in the box of a state of the sweep, or of a stored state whose own box the reached set holds
  // whole, are not new. The number of further states that the box at `k` holds:
  auto covered = [&](int32_t k, ClockBoxView box) {
    const int32_t reach = run.Reach(k, box, forward);
    return forward ? reach - k : k - reach;
  };
  // Each state is made in the next free entry of `fresh`, which keeps it when it is new; the
  // entries' vectors, and those of entries no longer needed, keep their storage for later runs.
  size_t kept = 0;
  for (int32_t step = 0; step < size; ++step) {
    const int32_t k = forward ? step : size - 1 - step;
    if (kept == fresh.size()) {
      fresh.emplace_back();
      if (!spare_.empty()) {
        fresh.back() = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    DsState& state = fresh[kept];
    run.StateAt(k, state);
    if (++made_ % kStatesPerPoll == 0 && !goOn_())
      return false;
    if (!budget_.SpendStates(1))
      return false;
    if (!values_.Encodable(state, true))
      continue;
    const ReachedSet::Found found = reached_.Find(state);
    if (found.tier == ReachedSet::Tier::kSweep) {
      if (widen_)
        step += covered(k, found.box);
      continue;
    }
    if (found.tier == ReachedSet::Tier::kEarlier) {
      if (widen_) {
        // Testing the whole box costs diagram operations: only worth it for a long stretch.
        intervals_.Box(state, box_);
        const int32_t reach = run.Reach(k, box_, forward);
        if (std::abs(reach - k) >= kLongStretch && reached_.EarlierHold(state, box_))
          step += covered(k, box_);
      }
      continue;
    }
    if (!verdicts_.Decide(state))
      return false;
    ++count_;
    const ClockBoxView stored = reached_.Add(state, widen_, &verdicts_.Observed());
    if (widen_)
      step += covered(k, stored);
    positions.push_back(position(k));
    ++kept;
  }
  for (; fresh.size() > kept; fresh.pop_back()) {
    if (spare_.size() < kSpareStates)
      spare_.push_back(std::move(fresh.back()));
  }
  if (!forward) {
    std::reverse(fresh.begin(), fresh.end());
    std::reverse(positions.begin(), positions.end());
  }
  return true;
}

}  // namespace tickcheck
