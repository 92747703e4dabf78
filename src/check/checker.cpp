#include "check/checker.h"

#include <optional>
#include <string>

#include "check/delay_run.h"

namespace tickcheck {
namespace {

std::unique_ptr<const SymmetryIndex> SymmetryOf(const CSystem& model,
                                                const SearchOptions& options) {
  if (!options.symmetry || model.symmetry.empty())
    return nullptr;
  return std::make_unique<const SymmetryIndex>(model);
}

}  // namespace

Checker::Checker(const CSystem& model, CComposition& composition, const CStateSpace& space,
                 const SearchOptions& options, MessageSink& messages)
    : model_(model),
      space_(space),
      messages_(messages),
      symmetryIndex_(SymmetryOf(model, options)),
      propertySymmetry_(symmetryIndex_
                            ? std::make_unique<const PropertySymmetry>(model, *symmetryIndex_)
                            : nullptr),
      limits_(model, messages),
      intervals_(model, limits_, propertySymmetry_.get()),
      tests_(model, messages),
      budget_(options.limits),
      values_(model, messages),
      errors_(model, values_, messages),
      verdicts_(
          tests_, options.checkTimeSuccessors, budget_, errors_,
          [this](const DsState& state) { return successors_.DelayCap(state); }, &deadlock_),
      reached_(space, intervals_),
      waiting_(model),
      newStates_(model, intervals_, reached_, values_, verdicts_, budget_,
                 !options.noClockIntervals,
                 [this] {
                   controlStopped_ = control_ != nullptr && !control_->Continue(Progress());
                   return !controlStopped_;
                 }),
      successors_(tests_, intervals_, composition, waiting_, values_, errors_, budget_),
      deadlock_(tests_, successors_, composition) {
  if (propertySymmetry_) {
    canonical_ = std::make_unique<CanonicalStates>(*propertySymmetry_, composition);
    successors_.SetSymmetry(canonical_.get());
    verdicts_.SetSymmetry(propertySymmetry_.get());
  }
}

SearchProgress Checker::Progress() const {
  return {newStates_.Count(), static_cast<int64_t>(waiting_.Size()), successors_.FiredTransitions(),
          sweeps_};
}

void Checker::Check(const DsState& initial, std::FILE* info) {
  WaitingDsState start{initial, 1, {}};
  if (canonical_)
    canonical_->Canonicalise(start);
  waiting_.Insert(start, false);
  std::optional<int64_t> current = start.state.locationIndex;
  messages_.Stage("begin checking");

  std::vector<DsState> fresh;
  std::vector<int32_t> positions;
  WaitingDsState entry;
  bool stopped = false;
  while (!stopped) {
    current = waiting_.NextNonEmpty(*current);
    if (!current)
      break;
    ++sweeps_;
    // Entries appended while the list is walked are visited in the same walk; the entry being
    // expanded stays at the front until it is done.
    while (!waiting_.Empty(*current)) {
      waiting_.Front(*current, entry);
      if (!newStates_.Keep(DelayRun(model_, entry), fresh, positions)) {
        stopped = true;
        break;
      }
      if (!fresh.empty())
        successors_.GenerateSuccessors(fresh, positions, entry.frozenClocks);
      // A loop that ran past its bound ends the search as an early end does.
      if (errors_.LoopBoundReached()) {
        stopped = true;
        break;
      }
      waiting_.PopFront(*current);
    }
    if (!stopped)
      reached_.EndSweep();
  }
  // A search that its control stopped is not looked at again: joining its last states would only
  // cost memory past a limit.
  if (!controlStopped_)
    reached_.Finish();
  if (!stopped)
    messages_.Stage("pastlist:");
  if (info != nullptr)
    space_.manager().PrintInfo(info);
  messages_.Stage("DsState Number in pastList:\t" + std::to_string(newStates_.Count()));
}

}  // namespace tickcheck
