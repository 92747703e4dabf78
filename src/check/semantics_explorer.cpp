#include "check/semantics_explorer.h"

#include <algorithm>
#include <functional>
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

bool Receives(const CJump& jump, int32_t channel) {
  return jump.Syn == channel && jump.Broadcast && jump.SynType != 1;
}

}  // namespace

SemanticsExplorer::SemanticsExplorer(const CSystem& system, MessageSink& messages)
    : system_(system),
      messages_(messages),
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

void SemanticsExplorer::PlaceAt(DsState& state, const std::vector<int32_t>& vector) const {
  const auto [at, added] = rowNumbers_.try_emplace(vector, static_cast<int64_t>(rows_.size()));
  if (added)
    rows_.push_back(vector);
  state.locationIndex = at->second;
  state.locations = rows_[static_cast<size_t>(at->second)];
}

DsState SemanticsExplorer::Initial() {
  DsState state;
  std::vector<int32_t> vector;
  for (const CProcess& process : system_.processes)
    vector.push_back(process.InitLocation);
  PlaceAt(state, vector);
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
  return EvaluateInRun(system_.expressions[expression], Valuation(system_, state), messages_) != 0;
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

bool SemanticsExplorer::GuardHolds(const CJump& jump, const DsState& state) const {
  return AllHold(jump.guardExpIds, state);
}

bool SemanticsExplorer::GuardsHold(std::span<const StepJump> jumps, const DsState& state) const {
  // Each guard is evaluated whatever the others answer, as the search evaluates the whole guard
  // of a composed transition.
  bool all = true;
  for (const StepJump& part : jumps)
    all = GuardHolds(*part.jump, state) && all;
  return all;
}

bool SemanticsExplorer::InvariantsHold(const DsState& state) const {
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    if (!AllHold(LocationOf(state, p).invariantExpIds, state))
      return false;
  }
  return true;
}

bool SemanticsExplorer::Update(const Assignment& assignment, DsState& next) const {
  const CExpression& expression = system_.expressions[assignment.expId];
  int32_t value = 0;
  if (system_.format == 2) {
    const Evaluated result = Execute(expression, system_, next);
    if (!result.Ok()) {
      NoteError(*result.error);
      return false;
    }
    value = result.value;
  } else {
    value = EvaluateInRun(expression, Valuation(system_, next), messages_);
  }
  // An effect (variable 0) has done what it does.
  if (assignment.varId == 0)
    return true;
  const CVariable& variable = system_.variables[static_cast<size_t>(assignment.varId) - 1];
  if (variable.Type == VarType::kInteger) {
    if (system_.format == 2 && (value < variable.Min || value > variable.Max)) {
      rangeError_ = true;
      return false;
    }
    next.intValues[static_cast<size_t>(variable.intValueIndex)] = value;
    return true;
  }
  const auto clock =
      std::find(next.activeClocks.begin(), next.activeClocks.end(), assignment.varId);
  if (clock != next.activeClocks.end())
    next.clockValues[static_cast<size_t>(clock - next.activeClocks.begin())] = value;
  return true;
}

bool SemanticsExplorer::AddBroadcasts(const DsState& state, int32_t sender, const CJump& jump,
                                      std::vector<Move>& moves) const {
  const auto count = static_cast<int32_t>(system_.processes.size());
  const bool urgent = system_.IsUrgentChannel(jump.Syn);
  if (!system_.usualBroadcast) {
    Move move{{{sender, &jump}}, urgent};
    bool listened = false;
    bool complete = true;
    for (int32_t k = 0; k < count; ++k) {
      const CProcess& process = system_.processes[static_cast<size_t>(k)];
      if (k == sender || std::ranges::find(process.broadcastChannels, jump.Syn) ==
                             process.broadcastChannels.end()) {
        continue;
      }
      listened = true;
      const std::vector<CJump>& jumps = LocationOf(state, static_cast<size_t>(k)).jumps;
      const auto first =
          std::ranges::find_if(jumps, [&](const CJump& other) { return other.Syn == jump.Syn; });
      if (first == jumps.end())
        complete = false;
      else
        move.jumps.push_back({k, &*first});
    }
    if (!listened)
      return false;
    if (complete && GuardsHold(move.jumps, state))
      moves.push_back(std::move(move));
    return true;
  }
  // Every receiving guard is evaluated, as the search meets each of them.
  const bool sends = GuardHolds(jump, state);
  // Every other process chooses one of its receiving jumps whose guard holds, if it has one.
  std::vector<std::vector<const CJump*>> choices;
  std::vector<int32_t> chooser;
  for (int32_t k = 0; k < count; ++k) {
    if (k == sender)
      continue;
    std::vector<const CJump*> enabled;
    for (const CJump& receiver : LocationOf(state, static_cast<size_t>(k)).jumps) {
      if (Receives(receiver, jump.Syn) && GuardHolds(receiver, state))
        enabled.push_back(&receiver);
    }
    if (!enabled.empty()) {
      choices.push_back(std::move(enabled));
      chooser.push_back(k);
    }
  }
  if (!sends)
    return true;
  std::vector<size_t> digits(choices.size(), 0);
  for (;;) {
    Move move{{{sender, &jump}}, urgent};
    for (size_t k = 0; k < choices.size(); ++k)
      move.jumps.push_back({chooser[k], choices[k][digits[k]]});
    moves.push_back(std::move(move));
    size_t k = 0;
    while (k < digits.size() && ++digits[k] == choices[k].size())
      digits[k++] = 0;
    if (k == digits.size())
      return true;
  }
}

std::vector<SemanticsExplorer::Move> SemanticsExplorer::Moves(const DsState& state) const {
  std::vector<Move> moves;
  const auto count = static_cast<int32_t>(system_.processes.size());
  for (int32_t i = 0; i < count; ++i) {
    const std::vector<CJump>& jumps = LocationOf(state, static_cast<size_t>(i)).jumps;
    for (size_t j = 0; j < jumps.size(); ++j) {
      const CJump& jump = jumps[j];
      if (jump.Syn <= 0) {
        if (GuardHolds(jump, state))
          moves.push_back({{{i, &jump}}, false, jump.iUrgent ? static_cast<int32_t>(j) : -1});
      } else if (jump.SynType == 0) {
        continue;
      } else if (!jump.Broadcast) {
        for (int32_t k = 0; k < count; ++k) {
          if (k == i)
            continue;
          for (const CJump& partner : LocationOf(state, static_cast<size_t>(k)).jumps) {
            if (partner.Syn != jump.Syn || partner.SynType == 1)
              continue;
            Move pair{{{i, &jump}, {k, &partner}}, system_.IsUrgentChannel(jump.Syn)};
            if (GuardsHold(pair.jumps, state))
              moves.push_back(std::move(pair));
          }
        }
      } else if (!AddBroadcasts(state, i, jump, moves)) {
        // Under the old rule a broadcast without listeners breaks the model at this state: the
        // transitions found so far stay, the rest are not looked at.
        i = count;
        break;
      }
    }
  }
  bool committed = false;
  for (size_t p = 0; p < system_.processes.size(); ++p)
    committed = committed || LocationOf(state, p).committed;
  if (committed) {
    std::erase_if(moves, [&](const Move& move) {
      return std::ranges::none_of(move.jumps, [&](const StepJump& part) {
        return LocationOf(state, static_cast<size_t>(part.process)).committed;
      });
    });
  }
  return moves;
}

std::optional<DsState> SemanticsExplorer::Apply(const DsState& state, const Move& move) const {
  std::vector<int32_t> vector(state.locations.begin(), state.locations.end());
  for (const StepJump& part : move.jumps)
    vector[static_cast<size_t>(part.process)] = part.jump->To;
  DsState next;
  PlaceAt(next, vector);
  next.intValues = state.intValues;
  next.activeClocks = ClocksOf(next);
  for (int32_t clock : next.activeClocks) {
    const auto kept = std::find(state.activeClocks.begin(), state.activeClocks.end(), clock);
    next.clockValues.push_back(
        kept == state.activeClocks.end()
            ? 0
            : state.clockValues[static_cast<size_t>(kept - state.activeClocks.begin())]);
  }
  for (const StepJump& part : move.jumps) {
    for (const Assignment& assignment : part.jump->assignments) {
      if (!Update(assignment, next))
        return std::nullopt;
    }
  }
  return next;
}

bool SemanticsExplorer::TimeMayPass(const DsState& state) const {
  for (size_t p = 0; p < system_.processes.size(); ++p) {
    if (LocationOf(state, p).committed || LocationOf(state, p).urgent)
      return false;
  }
  return true;
}

DsState SemanticsExplorer::Ticked(const DsState& state) const {
  DsState ticked = state;
  for (size_t k = 0; k < ticked.activeClocks.size(); ++k) {
    const int32_t max = system_.variables[static_cast<size_t>(ticked.activeClocks[k]) - 1].Max;
    ticked.clockValues[k] = std::min(ticked.clockValues[k] + 1, max);
  }
  return ticked;
}

bool SemanticsExplorer::IsDeadlock(const DsState& state) const {
  // Ticks alone lead through a chain of states that ends where time stops or where every clock
  // stands at its Max (the tick gives the same state again).
  for (DsState at = state;;) {
    // Nothing here can be taken, so no synchronisation on an urgent channel stops time either.
    for (const Move& move : Moves(at)) {
      const std::optional<DsState> next = Apply(at, move);
      if (next && InvariantsHold(*next))
        return false;
    }
    if (!TimeMayPass(at))
      return true;
    DsState ticked = Ticked(at);
    if (!InvariantsHold(ticked) || ticked.clockValues == at.clockValues)
      return true;
    at = std::move(ticked);
  }
}

std::vector<SemanticsExplorer::NodeStep> SemanticsExplorer::Successors(const Node& node) {
  const DsState& state = node.state;
  std::vector<NodeStep> steps(1);
  bool timeStops = !TimeMayPass(state);
  // The urgent jumps that can be taken here: none of them can be taken after a tick.
  std::vector<int32_t> takeable;
  const std::vector<Move> moves = Moves(state);
  for (size_t ordinal = 0; ordinal < moves.size(); ++ordinal) {
    const Move& move = moves[ordinal];
    std::optional<DsState> next = Apply(state, move);
    if (!next || !InvariantsHold(*next))
      continue;
    timeStops = timeStops || move.urgentChannel;
    if (move.urgentJump >= 0) {
      const int32_t process = move.jumps.front().process;
      takeable.insert(takeable.end(), {process, move.urgentJump});
      bool passed = false;
      for (size_t k = 0; k < node.passed.size(); k += 2)
        passed = passed || (node.passed[k] == process && node.passed[k + 1] == move.urgentJump);
      if (passed)
        continue;
    }
    if (!InRange(*next)) {
      rangeError_ = true;
      continue;
    }
    steps.push_back({{move.jumps, std::move(*next)}, static_cast<int32_t>(ordinal), {}});
  }
  DsState ticked = Ticked(state);
  if (timeStops || !InvariantsHold(ticked)) {
    steps.erase(steps.begin());
    return steps;
  }
  std::vector<std::pair<int32_t, int32_t>> passed;
  for (const std::vector<int32_t>& list : {std::cref(node.passed), std::cref(takeable)}) {
    for (size_t k = 0; k < list.size(); k += 2)
      passed.emplace_back(list[k], list[k + 1]);
  }
  std::sort(passed.begin(), passed.end());
  passed.erase(std::unique(passed.begin(), passed.end()), passed.end());
  steps.front().step.next = std::move(ticked);
  for (const auto& [process, jump] : passed)
    steps.front().passed.insert(steps.front().passed.end(), {process, jump});
  return steps;
}

std::vector<Step> SemanticsExplorer::Successors(const DsState& state) {
  std::vector<Step> steps;
  for (NodeStep& step : Successors(Node{state, {}}))
    steps.push_back(std::move(step.step));
  return steps;
}

bool SemanticsExplorer::Holds(const CProperty& property, const DsState& state,
                              std::optional<RunTimeError>* error) const {
  if (property.expression >= 0) {
    const Evaluated result =
        EvaluateChecked(system_.expressions[property.expression], system_, state, this);
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

// The clock list follows from the location vector, so the words of a node are its row number,
// its values and its passed jumps: equal nodes have equal words.
std::pair<int64_t, bool> SemanticsExplorer::Remember(const Node& node, int64_t parent,
                                                     int32_t via) {
  const DsState& state = node.state;
  visits_.push_back({words_.size(), parent, via});
  words_.push_back(static_cast<int32_t>(state.locationIndex));
  words_.insert(words_.end(), state.intValues.begin(), state.intValues.end());
  words_.insert(words_.end(), state.clockValues.begin(), state.clockValues.end());
  words_.insert(words_.end(), node.passed.begin(), node.passed.end());
  const auto [at, added] = visited_.insert(static_cast<int64_t>(visits_.size()) - 1);
  if (added)
    return {*at, true};
  words_.resize(visits_.back().offset);
  visits_.pop_back();
  return {*at, false};
}

SemanticsExplorer::Node SemanticsExplorer::Recall(int64_t index) const {
  const std::span<const int32_t> words = Words(index);
  Node node;
  DsState& state = node.state;
  state.locationIndex = words[0];
  state.locations = rows_[static_cast<size_t>(words[0])];
  const auto integers = static_cast<std::ptrdiff_t>(integerCount_);
  state.intValues.assign(words.begin() + 1, words.begin() + 1 + integers);
  state.activeClocks = ClocksOf(state);
  const auto clocks = static_cast<std::ptrdiff_t>(state.activeClocks.size());
  state.clockValues.assign(words.begin() + 1 + integers, words.begin() + 1 + integers + clocks);
  node.passed.assign(words.begin() + 1 + integers + clocks, words.end());
  return node;
}

void SemanticsExplorer::StartGraph() {
  visited_.clear();
  visits_.clear();
  words_.clear();
  Remember(Node{Initial(), {}}, -1, -1);
}

std::vector<SemanticsExplorer::Edge> SemanticsExplorer::Edges(int64_t state) {
  std::vector<Edge> edges;
  for (NodeStep& step : Successors(Recall(state))) {
    const Node node{std::move(step.step.next), std::move(step.passed)};
    edges.push_back({Remember(node, state, step.via).first, step.via});
  }
  return edges;
}

Step SemanticsExplorer::StepAlong(int64_t from, int32_t via, int64_t to) {
  // An edge keeps only the transition's place among its source's moves: its jumps are made again.
  std::vector<StepJump> jumps;
  if (via >= 0) {
    std::vector<NodeStep> steps = Successors(Recall(from));
    const auto step = std::ranges::find_if(
        steps, [&](const NodeStep& candidate) { return candidate.via == via; });
    jumps = std::move(step->step.jumps);
  }
  return {std::move(jumps), Recall(to).state};
}

ExploreEnd SemanticsExplorer::Explore(const std::function<bool(int64_t, const DsState&)>& visit,
                                      int64_t stateLimit,
                                      const std::function<bool(int64_t)>& goOn) {
  StartGraph();
  if (!visit(0, Recall(0).state))
    return loopBound_ ? ExploreEnd::kLoopBound : ExploreEnd::kStopped;
  // The states are expanded in the order of their visits, which is breadth-first.
  for (int64_t next = 0; next < Visited(); ++next) {
    if (goOn && next % kPollInterval == kPollInterval - 1 && !goOn(Visited()))
      return ExploreEnd::kInterrupted;
    std::vector<NodeStep> successors = Successors(Recall(next));
    if (loopBound_)
      return ExploreEnd::kLoopBound;
    for (NodeStep& successor : successors) {
      const Node node{std::move(successor.step.next), std::move(successor.passed)};
      if (!Remember(node, next, successor.via).second)
        continue;
      if (stateLimit > 0 && Visited() > stateLimit)
        return ExploreEnd::kStateLimit;
      if (!visit(Visited() - 1, node.state))
        return loopBound_ ? ExploreEnd::kLoopBound : ExploreEnd::kStopped;
    }
  }
  return ExploreEnd::kExhausted;
}

std::vector<Step> SemanticsExplorer::PathTo(int64_t index) {
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
