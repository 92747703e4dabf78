#include "check/semantics_explorer.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "expr/evaluation.h"
#include "expr/program.h"

namespace tickcheck {
namespace {

// Properties are evaluated here with code of the explorer's own, not with the checker's, so that
// the explorer stays a reference for the checker's verdicts.
bool Relation(int32_t code, int32_t value, int32_t bound) {
  switch (code) {
    case 1:
      return value == bound;
    case 2:
      return value < bound;
    case 3:
      return value <= bound;
    case 4:
      return value > bound;
    case 5:
      return value >= bound;
    case 6:
      return value != bound;
    default:
      return false;
  }
}

// How often an exploration asks whether to go on, in states expanded.
constexpr int64_t kPollInterval = 4096;

}  // namespace

SemanticsExplorer::SemanticsExplorer(const CSystem& system, CComposition& composition)
    : system_(system),
      composition_(composition),
      integerCount_(static_cast<size_t>(
          std::count_if(system.variables.begin(), system.variables.end(),
                        [](const CVariable& v) { return v.Type == VarType::kInteger; }))),
      visited_(0, VisitHash{this}, VisitEqual{this}) {}

const CLocation& SemanticsExplorer::LocationOf(const DsState& state, size_t process) const {
  return system_.processes[process].locations[static_cast<size_t>(state.locations[process]) - 1];
}

std::vector<int32_t> SemanticsExplorer::ClocksOf(const DsState& state) const {
  std::vector<int32_t> clocks;
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    for (int32_t clock : LocationOf(state, p).activeClocks) {
      if (std::find(clocks.begin(), clocks.end(), clock) == clocks.end())
        clocks.push_back(clock);
    }
  }
  return clocks;
}

DsState SemanticsExplorer::Initial() const {
  DsState state;
  state.locationIndex = composition_.initLocationIndex;
  state.locations = composition_.LocationVector(state.locationIndex);
  for (const CVariable& variable : system_.variables) {
    if (variable.Type == VarType::kInteger)
      state.intValues.push_back(variable.InitValue);
  }
  state.activeClocks = ClocksOf(state);
  for (int32_t clock : state.activeClocks)
    state.clockValues.push_back(system_.variables[static_cast<size_t>(clock) - 1].InitValue);
  return state;
}

bool SemanticsExplorer::Satisfied(int32_t expression, const DsState& state) const {
  return EvaluateInRun(system_.expressions[expression], Valuation(system_, state),
                       composition_.Messages()) != 0;
}

bool SemanticsExplorer::AllHold(std::span<const int32_t> comparisons, const DsState& state) const {
  if (system_.format != 2) {
    return std::all_of(comparisons.begin(), comparisons.end(),
                       [&](int32_t id) { return Satisfied(id, state); });
  }
  // Every comparison is evaluated, in order, whatever the answers before it: the first run-time
  // error decides.
  bool all = true;
  for (int32_t id : comparisons) {
    const Evaluated result = EvaluateChecked(system_.expressions[id], system_, state);
    if (!result.Ok()) {
      NoteError(*result.error);
      return false;
    }
    all = all && result.value != 0;
  }
  return all;
}

void SemanticsExplorer::NoteError(const RunTimeError& error) const {
  runTimeError_ = true;
  loopBound_ = loopBound_ || error.kind == RunTimeError::Kind::kLoopBound;
}

bool SemanticsExplorer::InvariantsHold(const DsState& state) const {
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    if (!AllHold(LocationOf(state, p).invariantExpIds, state))
      return false;
  }
  return true;
}

bool SemanticsExplorer::Update(const CUpdate& update, DsState& next) const {
  const CExpression& expression = system_.expressions[update.updateExpId];
  int32_t value = 0;
  if (system_.format == 2) {
    const Evaluated result = Execute(expression, system_, next);
    if (!result.Ok()) {
      NoteError(*result.error);
      return false;
    }
    value = result.value;
  } else {
    value = EvaluateInRun(expression, Valuation(system_, next), composition_.Messages());
  }
  // An effect (variable 0) has done what it does.
  if (update.updateVar == 0)
    return true;
  const CVariable& variable = system_.variables[static_cast<size_t>(update.updateVar) - 1];
  if (variable.Type == VarType::kInteger) {
    if (system_.format == 2 && (value < variable.Min || value > variable.Max)) {
      rangeError_ = true;
      return false;
    }
    next.intValues[static_cast<size_t>(variable.intValueIndex)] = value;
    return true;
  }
  const auto clock =
      std::find(next.activeClocks.begin(), next.activeClocks.end(), update.updateVar);
  if (clock != next.activeClocks.end())
    next.clockValues[static_cast<size_t>(clock - next.activeClocks.begin())] = value;
  return true;
}

std::vector<Step> SemanticsExplorer::Successors(const DsState& state) {
  std::vector<Step> steps;
  DsState ticked = state;
  for (size_t k = 0; k < ticked.activeClocks.size(); ++k) {
    const int32_t max = system_.variables[static_cast<size_t>(ticked.activeClocks[k]) - 1].Max;
    ticked.clockValues[k] = std::min(ticked.clockValues[k] + 1, max);
  }
  if (InvariantsHold(ticked))
    steps.push_back({std::nullopt, -1, std::move(ticked)});

  if (!composition_.IsComposed(state.locationIndex))
    composition_.composeLocation(state.locations);
  int32_t ordinal = -1;
  for (const CComposedTransition& transition : composition_.Transitions(state.locationIndex)) {
    ++ordinal;
    if (!AllHold(transition.guardExpId, state))
      continue;
    DsState next;
    next.locationIndex = transition.post;
    next.locations = transition.postLocations;
    next.intValues = state.intValues;
    next.activeClocks = ClocksOf(next);
    for (int32_t clock : next.activeClocks) {
      const auto kept = std::find(state.activeClocks.begin(), state.activeClocks.end(), clock);
      next.clockValues.push_back(
          kept == state.activeClocks.end()
              ? 0
              : state.clockValues[static_cast<size_t>(kept - state.activeClocks.begin())]);
    }
    const bool updated = std::all_of(transition.updates.begin(), transition.updates.end(),
                                     [&](const CUpdate& update) { return Update(update, next); });
    if (!updated || !InvariantsHold(next))
      continue;
    if (!InRange(next)) {
      rangeError_ = true;
      continue;
    }
    steps.push_back({transition, ordinal, std::move(next)});
  }
  return steps;
}

bool SemanticsExplorer::Holds(const CProperty& property, const DsState& state,
                              std::optional<RunTimeError>* error) const {
  if (property.expression >= 0) {
    const Evaluated result =
        EvaluateChecked(system_.expressions[property.expression], system_, state, deadlock_);
    if (!result.Ok()) {
      NoteError(*result.error);
      if (error != nullptr)
        *error = result.error;
    }
    return result.Ok() && result.value != 0;
  }
  return std::all_of(property.atoms.begin(), property.atoms.end(), [&](const CAtomProperty& atom) {
    bool result = false;
    switch (atom.kind) {
      case CAtomProperty::kIntegerVariable: {
        const bool known =
            atom.variable >= 1 && static_cast<size_t>(atom.variable) <= system_.variables.size();
        const int32_t index =
            known ? system_.variables[static_cast<size_t>(atom.variable) - 1].intValueIndex : -1;
        result = index >= 0 &&
                 Relation(atom.relation, state.intValues[static_cast<size_t>(index)], atom.bound);
        break;
      }
      case CAtomProperty::kClock: {
        const auto clock =
            std::find(state.activeClocks.begin(), state.activeClocks.end(), atom.variable);
        if (clock == state.activeClocks.end())
          return atom.negated != 1;
        result = Relation(
            atom.relation,
            state.clockValues[static_cast<size_t>(clock - state.activeClocks.begin())], atom.bound);
        break;
      }
      default:
        if (atom.process < 1 || static_cast<size_t>(atom.process) > state.locations.size())
          return false;
        result = state.locations[static_cast<size_t>(atom.process) - 1] == atom.location;
        break;
    }
    return atom.negated == 1 ? !result : result;
  });
}

bool SemanticsExplorer::InRange(const DsState& state) const {
  for (const CVariable& variable : system_.variables) {
    const bool ranged = system_.format == 2 || (variable.Min >= 0 && variable.Min <= variable.Max);
    if (variable.Type != VarType::kInteger || !ranged)
      continue;
    const int32_t value = state.intValues[static_cast<size_t>(variable.intValueIndex)];
    if (value < variable.Min || value > variable.Max)
      return false;
  }
  return true;
}

size_t SemanticsExplorer::VisitHash::operator()(int64_t index) const {
  const std::span<const int32_t> words = explorer->Words(index);
  return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(words.data()),
                                                        words.size() * sizeof(int32_t)));
}

bool SemanticsExplorer::VisitEqual::operator()(int64_t a, int64_t b) const {
  const std::span<const int32_t> left = explorer->Words(a);
  const std::span<const int32_t> right = explorer->Words(b);
  return std::equal(left.begin(), left.end(), right.begin(), right.end());
}

std::span<const int32_t> SemanticsExplorer::Words(int64_t index) const {
  const size_t i = static_cast<size_t>(index);
  const size_t end = i + 1 < visits_.size() ? visits_[i + 1].offset : words_.size();
  return {words_.data() + visits_[i].offset, end - visits_[i].offset};
}

// The clock list follows from the composed location, so the words of a state are its
// composed-location index and its values: equal states have equal words.
std::pair<int64_t, bool> SemanticsExplorer::Remember(const DsState& state, int64_t parent,
                                                     int32_t via) {
  visits_.push_back({words_.size(), parent, via});
  words_.push_back(static_cast<int32_t>(state.locationIndex & 0xffffffff));
  words_.push_back(static_cast<int32_t>(state.locationIndex >> 32));
  words_.insert(words_.end(), state.intValues.begin(), state.intValues.end());
  words_.insert(words_.end(), state.clockValues.begin(), state.clockValues.end());
  const auto [at, added] = visited_.insert(static_cast<int64_t>(visits_.size()) - 1);
  if (added)
    return {*at, true};
  words_.resize(visits_.back().offset);
  visits_.pop_back();
  return {*at, false};
}

DsState SemanticsExplorer::Recall(int64_t index) const {
  const std::span<const int32_t> words = Words(index);
  DsState state;
  state.locationIndex =
      static_cast<int64_t>(static_cast<uint32_t>(words[0])) | static_cast<int64_t>(words[1]) << 32;
  state.locations = composition_.LocationVector(state.locationIndex);
  const size_t integers = integerCount_;
  state.intValues.assign(words.begin() + 2, words.begin() + 2 + integers);
  state.clockValues.assign(words.begin() + 2 + integers, words.end());
  state.activeClocks = ClocksOf(state);
  return state;
}

void SemanticsExplorer::StartGraph() {
  visited_.clear();
  visits_.clear();
  words_.clear();
  Remember(Initial(), -1, -1);
}

std::vector<SemanticsExplorer::Edge> SemanticsExplorer::Edges(int64_t state) {
  std::vector<Edge> edges;
  for (const Step& step : Successors(Recall(state)))
    edges.push_back({Remember(step.next, state, step.ordinal).first, step.ordinal});
  return edges;
}

Step SemanticsExplorer::StepAlong(int64_t from, int32_t via, int64_t to) const {
  Step step{std::nullopt, via, Recall(to)};
  // An edge keeps only the transition's place in its source's list.
  if (via >= 0) {
    auto transition = composition_.Transitions(Recall(from).locationIndex).begin();
    std::advance(transition, via);
    step.transition = *transition;
  }
  return step;
}

ExploreEnd SemanticsExplorer::Explore(const std::function<bool(int64_t, const DsState&)>& visit,
                                      int64_t stateLimit,
                                      const std::function<bool(int64_t)>& goOn) {
  StartGraph();
  const DsState initial = Recall(0);
  if (!visit(0, initial))
    return loopBound_ ? ExploreEnd::kLoopBound : ExploreEnd::kStopped;
  // The states are expanded in the order of their visits, which is breadth-first.
  for (int64_t next = 0; next < Visited(); ++next) {
    if (goOn && next % kPollInterval == kPollInterval - 1 && !goOn(Visited()))
      return ExploreEnd::kInterrupted;
    const std::vector<Step> steps = Successors(Recall(next));
    if (loopBound_)
      return ExploreEnd::kLoopBound;
    for (const Step& step : steps) {
      if (!Remember(step.next, next, step.ordinal).second)
        continue;
      if (stateLimit > 0 && Visited() > stateLimit)
        return ExploreEnd::kStateLimit;
      if (!visit(Visited() - 1, step.next))
        return loopBound_ ? ExploreEnd::kLoopBound : ExploreEnd::kStopped;
    }
  }
  return ExploreEnd::kExhausted;
}

std::vector<Step> SemanticsExplorer::PathTo(int64_t index) const {
  std::vector<Step> path;
  for (int64_t at = index; visits_[static_cast<size_t>(at)].parent >= 0;
       at = visits_[static_cast<size_t>(at)].parent) {
    const Visit& visit = visits_[static_cast<size_t>(at)];
    path.push_back(StepAlong(visit.parent, visit.via, at));
  }
  std::reverse(path.begin(), path.end());
  return path;
}

SemanticsExplorer::Verdicts SemanticsExplorer::Decide(int64_t stateLimit, Extent extent) {
  const std::vector<CProperty>& properties = system_.properties;
  Verdicts verdicts;
  for (const CProperty& property : properties)
    verdicts.results.push_back(property.Type == 0 ? 0 : 1);
  size_t open = 0;
  for (const CProperty& property : properties)
    open += property.Type == 0 || property.Type == 1 ? 1 : 0;
  const ExploreEnd end = Explore(
      [&](int64_t, const DsState& state) {
        for (size_t i = 0; i < properties.size(); ++i) {
          const int32_t type = properties[i].Type;
          const bool settles =
              (type == 0 && verdicts.results[i] == 0 && Holds(properties[i], state)) ||
              (type == 1 && verdicts.results[i] == 1 && !Holds(properties[i], state));
          if (settles) {
            verdicts.results[i] = type == 0 ? 1 : 0;
            --open;
          }
        }
        return extent == Extent::kWhole || open > 0;
      },
      stateLimit);
  verdicts.states = Visited();
  verdicts.complete = end != ExploreEnd::kStateLimit;
  verdicts.rangeError = rangeError_;
  verdicts.runTimeError = runTimeError_;
  verdicts.loopBound = loopBound_;
  return verdicts;
}

}  // namespace tickcheck
