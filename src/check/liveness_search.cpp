#include "check/liveness_search.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

namespace tickcheck {
namespace {

// How often a search asks whether to go on, in states expanded.
constexpr int64_t kPollInterval = 4096;
// The order of a state whose component is complete.
constexpr int64_t kDone = -1;

constexpr uint8_t kKnown = 1;
constexpr uint8_t kFirst = 2;
constexpr uint8_t kSecond = 4;

}  // namespace

LivenessSearch::LivenessSearch(SemanticsExplorer& explorer, bool noZeno)
    : explorer_(explorer), noZeno_(noZeno) {
  explorer_.StartGraph();
}

void LivenessSearch::Grow() {
  const auto states = static_cast<size_t>(explorer_.Visited());
  if (order_.size() < states) {
    order_.resize(states, 0);
    answers_.resize(states, 0);
  }
}

bool LivenessSearch::Poll() {
  ++expanded_;
  if (stateLimit_ > 0 && explorer_.Visited() > stateLimit_)
    stopped_ = true;
  if (goOn_ && expanded_ % kPollInterval == 0 && !goOn_(explorer_.Visited()))
    stopped_ = true;
  return !stopped_;
}

bool LivenessSearch::Kept(int64_t state) {
  uint8_t& answers = answers_[static_cast<size_t>(state)];
  if ((answers & kKnown) == 0) {
    const DsState values = explorer_.StateOf(state);
    answers = kKnown;
    std::optional<RunTimeError> error;
    if (explorer_.Holds(*property_, values, &error))
      answers |= kFirst;
    if (then_ && explorer_.Holds(*then_, values, &error))
      answers |= kSecond;
    if (error && !error_)
      error_ = error;
    if (error && error->kind == RunTimeError::Kind::kLoopBound)
      stopped_ = true;
  }
  switch (property_->liveness) {
    case Liveness::kAlways:
      return (answers & kFirst) != 0;
    case Liveness::kEventually:
      return (answers & kFirst) == 0;
    default:
      return (answers & kSecond) == 0;
  }
}

bool LivenessSearch::Enter(int64_t state, const std::optional<Closing>& entering) {
  order_[static_cast<size_t>(state)] = ++counter_;
  active_.push_back(state);
  std::optional<Closing> accepting;
  if (entering && Accepting(entering->via))
    accepting = entering;
  roots_.push_back({counter_, std::nullopt, accepting});
  frames_.push_back({state, entering ? entering->via : -1, explorer_.Edges(state), 0});
  Grow();
  return frames_.back().edges.empty();
}

LivenessSearch::Found LivenessSearch::SearchFrom(int64_t start) {
  if (Enter(start, std::nullopt)) {
    lasso_ = LassoToTop();
    return Found::kRun;
  }
  while (!frames_.empty()) {
    Frame& frame = frames_.back();
    if (frame.next == frame.edges.size()) {
      // Every edge is tried: a root closes its component, which holds no accepting cycle.
      const int64_t state = frame.state;
      frames_.pop_back();
      if (roots_.back().order == order_[static_cast<size_t>(state)]) {
        roots_.pop_back();
        int64_t member = -1;
        do {
          member = active_.back();
          active_.pop_back();
          order_[static_cast<size_t>(member)] = kDone;
        } while (member != state);
      }
      continue;
    }
    const SemanticsExplorer::Edge edge = frame.edges[frame.next++];
    const int64_t order = order_[static_cast<size_t>(edge.target)];
    if (order == kDone)
      continue;
    const bool kept = Kept(edge.target);
    if (stopped_)
      return Found::kStopped;
    if (!kept)
      continue;
    if (order == 0) {
      if (!Poll())
        return Found::kStopped;
      if (Enter(edge.target, Closing{frame.state, edge.via, edge.target})) {
        lasso_ = LassoToTop();
        return Found::kRun;
      }
      continue;
    }
    // The target's component is not complete: the edge closes a cycle, and every component
    // root above the target's joins it, with the edge that entered it.
    std::optional<Closing> accepting;
    if (Accepting(edge.via))
      accepting = Closing{frame.state, edge.via, edge.target};
    while (roots_.back().order > order) {
      for (const std::optional<Closing>& inside : {roots_.back().accepting, roots_.back().entering})
        accepting = accepting ? accepting : inside;
      roots_.pop_back();
    }
    Root& root = roots_.back();
    if (!root.accepting)
      root.accepting = accepting;
    if (root.accepting) {
      lasso_ = LassoAround(root.order, *root.accepting);
      return Found::kRun;
    }
  }
  return Found::kNothing;
}

LivenessOutcome LivenessSearch::Decide(const CProperty& property, int64_t stateLimit,
                                       const std::function<bool(int64_t)>& goOn) {
  property_ = &property;
  then_.reset();
  if (property.liveness == Liveness::kLeadsTo)
    then_ = property.Then();
  stateLimit_ = stateLimit;
  goOn_ = goOn;
  stopped_ = false;
  error_.reset();
  lasso_.reset();
  order_.assign(order_.size(), 0);
  answers_.assign(answers_.size(), 0);
  counter_ = 0;
  Grow();

  LivenessOutcome outcome;
  Found found = Found::kNothing;
  if (property.liveness != Liveness::kLeadsTo) {
    if (Kept(0))
      found = SearchFrom(0);
    else if (stopped_)
      found = Found::kStopped;
  } else {
    // Every reachable state is expanded in the order of its number, which the searches from
    // the states where the first formula holds and the second does not extend. A state that a
    // search has met is expanded already (its successors are numbered), so only the others are
    // expanded here.
    for (int64_t state = 0; state < explorer_.Visited() && found == Found::kNothing; ++state) {
      if (!Poll()) {
        found = Found::kStopped;
        break;
      }
      const bool met = order_[static_cast<size_t>(state)] != 0;
      const bool start =
          !met && Kept(state) && (answers_[static_cast<size_t>(state)] & kFirst) != 0;
      if (stopped_) {
        found = Found::kStopped;
      } else if (start) {
        found = SearchFrom(state);
      } else if (!met) {
        explorer_.Edges(state);
        Grow();
      }
    }
  }
  frames_.clear();
  roots_.clear();
  active_.clear();
  outcome.error = error_;
  if (found == Found::kStopped) {
    if (error_ && error_->kind == RunTimeError::Kind::kLoopBound)
      outcome.end = LivenessOutcome::End::kLoopBound;
    else if (stateLimit_ > 0 && explorer_.Visited() > stateLimit_)
      outcome.end = LivenessOutcome::End::kStateLimit;
    else
      outcome.end = LivenessOutcome::End::kInterrupted;
    return outcome;
  }
  // A run in the kept states shows E[] and refutes A<> and a leads-to.
  outcome.holds = (found == Found::kRun) == (property.liveness == Liveness::kAlways);
  outcome.lasso = std::move(lasso_);
  return outcome;
}

std::vector<Step> LivenessSearch::PathAlongFrames(size_t last) const {
  std::vector<Step> steps = explorer_.PathTo(frames_.front().state);
  for (size_t k = 1; k <= last; ++k)
    steps.push_back(explorer_.StepAlong(frames_[k - 1].state, frames_[k].viaIn, frames_[k].state));
  return steps;
}

Lasso LivenessSearch::LassoToTop() {
  return {PathAlongFrames(frames_.size() - 1), {}};
}

Lasso LivenessSearch::LassoAround(int64_t rootOrder, const Closing& accepting) {
  // A component root is a state that is being expanded, so it has a frame.
  size_t rootFrame = 0;
  while (order_[static_cast<size_t>(frames_[rootFrame].state)] != rootOrder)
    ++rootFrame;
  const int64_t root = frames_[rootFrame].state;
  Lasso lasso{PathAlongFrames(rootFrame), PathInside(root, accepting.source, rootOrder)};
  lasso.cycle.push_back(explorer_.StepAlong(accepting.source, accepting.via, accepting.target));
  std::vector<Step> back = PathInside(accepting.target, root, rootOrder);
  lasso.cycle.insert(lasso.cycle.end(), std::make_move_iterator(back.begin()),
                     std::make_move_iterator(back.end()));
  return lasso;
}

std::vector<Step> LivenessSearch::PathInside(int64_t from, int64_t to, int64_t rootOrder) {
  // The component's states are those met from its root on whose component is not complete.
  auto inside = [&](int64_t state) { return order_[static_cast<size_t>(state)] >= rootOrder; };
  // Each state reached, with the state and the edge it was first reached by.
  struct ReachedBy {
    int64_t source = 0;
    int32_t via = -1;
  };
  std::unordered_map<int64_t, ReachedBy> reached{{from, {}}};
  std::deque<int64_t> pending{from};
  while (!pending.empty() && !reached.contains(to)) {
    const int64_t state = pending.front();
    pending.pop_front();
    for (const SemanticsExplorer::Edge& edge : explorer_.Edges(state)) {
      if (inside(edge.target) &&
          reached.try_emplace(edge.target, ReachedBy{state, edge.via}).second)
        pending.push_back(edge.target);
    }
  }
  std::vector<Step> steps;
  for (int64_t at = to; at != from;) {
    const ReachedBy by = reached.at(at);
    steps.push_back(explorer_.StepAlong(by.source, by.via, at));
    at = by.source;
  }
  std::reverse(steps.begin(), steps.end());
  return steps;
}

}  // namespace tickcheck
