#include "support/language_explorer.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "support/liveness_reference.h"

namespace tickcheck::testing {
namespace {

using lang::Space;
using lang::Term;

struct State {
  std::vector<int32_t> locations, integers, clocks;
  auto operator<=>(const State&) const = default;
};

struct StateHash {
  size_t operator()(const State& state) const {
    size_t hash = 0;
    for (const std::vector<int32_t>* part : {&state.locations, &state.integers, &state.clocks}) {
      for (int32_t value : *part)
        hash = hash * 1000003u + static_cast<uint32_t>(value);
      hash = hash * 31u + 7u;
    }
    return hash;
  }
};

// An evaluation that fails: the step is not taken.
struct Fault {};
// A loop that ran too long: the exploration stops.
struct LoopBound {};

constexpr int64_t kLoopBound = 1000000;

// The language's arithmetic, written again here so that the explorer shares none of it.
int32_t Apply(int32_t op, int32_t a, int32_t b) {
  const auto wrap = [](int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  };
  switch (op) {
    case 1:
      return a == b;
    case 2:
      return a < b;
    case 3:
      return a <= b;
    case 4:
      return a > b;
    case 5:
      return a >= b;
    case 6:
      return a != b;
    case 37:
      if (b == 0)
        throw Fault{};
      return b == -1 ? 0 : a % b;
    case 42:
      return wrap(int64_t{a} * b);
    case 43:
      return wrap(int64_t{a} + b);
    case 45:
      return wrap(int64_t{a} - b);
    case 47:
      if (b == 0)
        throw Fault{};
      return wrap(int64_t{a} / b);
    case 203:
      return a & b;
    case 204:
      return a | b;
    case 205:
      return a ^ b;
    case 206:
      if (b < 0 || b > 31)
        throw Fault{};
      return wrap(static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(a)) << b));
    case 207:
      if (b < 0 || b > 31)
        throw Fault{};
      return a >> b;
    default:
      std::abort();
  }
}

class Explorer {
 public:
  Explorer(const lang::Network& network, const std::vector<lang::Query>& queries)
      : network_(network), queries_(queries) {
    int64_t values = 0;  // of variables, constant arrays, binders, function results
    auto value = [&values](int64_t v) { values = std::max(values, std::abs(v)); };
    for (const lang::IntVariable& variable : network.variables) {
      value(variable.lower);
      value(variable.upper);
    }
    for (int32_t constant : network.constants)
      value(constant);
    for (const lang::Binder& binder : network.binders) {
      value(binder.lower);
      value(binder.upper);
    }
    int64_t constants = 0;  // written in the model and the queries
    auto constant = [&constants](int64_t c) { constants = std::max(constants, c); };
    for (const lang::Process& process : network.processes) {
      for (const lang::Location& location : process.locations)
        constant(Largest(location.invariant));
      for (const lang::Edge& edge : process.edges) {
        constant(Largest(edge.guard));
        for (const Term& update : edge.updates)
          constant(Largest(update));
      }
    }
    for (const lang::Query& query : queries) {
      constant(Largest(query.formula));
      constant(Largest(query.then));
    }
    for (const lang::Function& function : network.functions) {
      constant(Largest(function.body));
      if (function.result) {
        value(function.result->lower);
        value(function.result->upper);
      }
    }
    // A clock bound is a constant plus a value at most: above that, every clock value compares
    // alike.
    ceiling_ = static_cast<int32_t>(std::min<int64_t>(constants + values + 1, 1 << 20));
  }

  LanguageVerdicts Run(size_t stateLimit) {
    LanguageVerdicts verdicts;
    verdicts.satisfied.assign(queries_.size(), false);
    for (size_t q = 0; q < queries_.size(); ++q)
      verdicts.satisfied[q] = queries_[q].kind == lang::Query::Kind::kInvariant;
    const State initial = Initial();
    std::unordered_set<State, StateHash> seen{initial};
    std::deque<State> pending{initial};
    try {
      while (!pending.empty()) {
        const State state = std::move(pending.front());
        pending.pop_front();
        for (size_t q = 0; q < queries_.size(); ++q) {
          const bool holds = Holds(queries_[q].formula, state);
          if (queries_[q].kind == lang::Query::Kind::kReachable)
            verdicts.satisfied[q] = verdicts.satisfied[q] || holds;
          else
            verdicts.satisfied[q] = verdicts.satisfied[q] && holds;
        }
        Transitions transitions = TransitionsOf(state);
        std::vector<State>& next = transitions.targets;
        if (std::optional<State> later = Tick(state, transitions.urgentSync))
          next.insert(next.begin(), std::move(*later));
        for (State& successor : next) {
          if (seen.insert(successor).second)
            pending.push_back(std::move(successor));
        }
        if (seen.size() > stateLimit) {
          verdicts.complete = false;
          break;
        }
      }
    } catch (const LoopBound&) {
      verdicts.complete = false;
    }
    verdicts.modelError = error_;
    verdicts.queryError = queryError_;
    verdicts.states = seen.size();
    return verdicts;
  }

  // Decides the liveness queries by the fixpoints of support/liveness_reference.h over the whole
  // state graph, whose steps are those that Run follows (with --no-zeno only ticks count).
  void DecideLiveness(size_t stateLimit, bool noZeno, LanguageVerdicts& verdicts) {
    const std::map<lang::Query::Kind, Liveness> kinds = {
        {lang::Query::Kind::kAlways, Liveness::kAlways},
        {lang::Query::Kind::kEventually, Liveness::kEventually},
        {lang::Query::Kind::kLeadsTo, Liveness::kLeadsTo}};
    std::vector<State> states{Initial()};
    std::unordered_map<State, size_t, StateHash> numbers{{states[0], 0}};
    LivenessGraph graph;
    try {
      for (size_t s = 0; s < states.size(); ++s) {
        const State state = states[s];
        std::vector<std::pair<State, bool>> steps;  // with whether the step is a tick
        Transitions transitions = TransitionsOf(state);
        if (std::optional<State> later = Tick(state, transitions.urgentSync))
          steps.emplace_back(std::move(*later), true);
        for (State& next : transitions.targets)
          steps.emplace_back(std::move(next), false);
        std::vector<LivenessGraph::Arc> arcs;
        for (auto& [next, tick] : steps) {
          const auto [known, added] = numbers.emplace(next, states.size());
          if (added)
            states.push_back(std::move(next));
          arcs.push_back({known->second, !noZeno || tick});
        }
        graph.successors.push_back(std::move(arcs));
        if (states.size() > stateLimit) {
          verdicts.complete = false;
          return;
        }
      }
    } catch (const LoopBound&) {
      verdicts.complete = false;
      return;
    }
    for (size_t q = 0; q < queries_.size(); ++q) {
      const auto kind = kinds.find(queries_[q].kind);
      if (kind == kinds.end())
        continue;
      std::vector<bool> p(states.size());
      std::vector<bool> then(states.size());
      for (size_t s = 0; s < states.size(); ++s) {
        p[s] = Holds(queries_[q].formula, states[s]);
        then[s] = kind->second == Liveness::kLeadsTo && Holds(queries_[q].then, states[s]);
      }
      verdicts.satisfied[q] = DecideOnGraph(graph, kind->second, std::move(p), std::move(then));
    }
    verdicts.queryError = queryError_;
  }

 private:
  // A cell of the state, of a frame, or of the constants.
  struct Frame;
  struct Cell {
    Space space = Space::kGlobal;
    Frame* frame = nullptr;
    int32_t index = 0;
  };
  struct Frame {
    const lang::Function* function = nullptr;
    std::vector<int32_t> slots;
    std::vector<Cell> references;
    int32_t result = 0;
  };
  struct Context {
    explicit Context(State& evaluated) : state(evaluated) {}
    State& state;
    Frame* frame = nullptr;
    std::map<int32_t, int32_t> binders;
    std::map<const lang::Statement*, int64_t> iterations;
  };
  enum class Flow { kNormal, kBreak, kContinue, kReturn };

  static int64_t Largest(const Term& term) {
    int64_t largest = term.kind == Term::Kind::kConst ? std::abs(int64_t{term.value}) : 0;
    for (const Term& operand : term.operands)
      largest = std::max(largest, Largest(operand));
    return largest;
  }
  static int64_t Largest(const lang::Statement& statement) {
    int64_t largest = 0;
    for (const Term& term : statement.terms)
      largest = std::max(largest, Largest(term));
    for (const lang::Statement& inner : statement.body)
      largest = std::max(largest, Largest(inner));
    return largest;
  }

  int32_t& Ref(const Cell& cell, State& state) {
    switch (cell.space) {
      case Space::kGlobal:
        return state.integers.at(static_cast<size_t>(cell.index));
      case Space::kLocal:
        return cell.frame->slots.at(static_cast<size_t>(cell.index));
      default:
        constant_ = network_.constants.at(static_cast<size_t>(cell.index));
        return constant_;
    }
  }

  void Store(const Cell& cell, int32_t value, State& state) {
    lang::CellType type;
    if (cell.space == Space::kGlobal)
      type = network_.variables.at(static_cast<size_t>(cell.index)).Cell();
    else
      type = cell.frame->function->slots.at(static_cast<size_t>(cell.index));
    if (type.boolean)
      value = value != 0 ? 1 : 0;
    if (value < type.lower || value > type.upper)
      throw Fault{};
    Ref(cell, state) = value;
  }

  // The first cell of a place, which must lie with all its cells inside the place's extent.
  Cell Locate(const Term& place, Context& context) {
    const int32_t offset = place.operands.empty() ? 0 : Eval(place.operands[0], context);
    const auto width = static_cast<int32_t>(place.cells.size());
    if (offset < 0 || offset > place.size - width)
      throw Fault{};
    if (place.space == Space::kReference) {
      Cell cell = context.frame->references.at(static_cast<size_t>(place.value));
      cell.index += offset;
      return cell;
    }
    return Cell{place.space, place.space == Space::kLocal ? context.frame : nullptr,
                place.value + offset};
  }

  int32_t ClockOf(const Term& clock, Context& context) {
    if (clock.size == 0)
      return clock.value;
    const int32_t offset = Eval(clock.operands[0], context);
    if (offset < 0 || offset >= clock.size)
      throw Fault{};
    return clock.value + offset;
  }

  int32_t Eval(const Term& term, Context& context) {
    switch (term.kind) {
      case Term::Kind::kConst:
        return term.value;
      case Term::Kind::kBound:
        return context.binders.at(term.value);
      case Term::Kind::kRead:
        return Ref(Locate(term.operands[0], context), context.state);
      case Term::Kind::kClock:
        return context.state.clocks.at(static_cast<size_t>(ClockOf(term, context)));
      case Term::Kind::kNot:
        return Eval(term.operands[0], context) == 0 ? 1 : 0;
      case Term::Kind::kNegate:
        return Apply(45, 0, Eval(term.operands[0], context));
      case Term::Kind::kBitNot:
        return ~Eval(term.operands[0], context);
      case Term::Kind::kBinary: {
        if (term.value == 38)
          return Eval(term.operands[0], context) != 0 && Eval(term.operands[1], context) != 0;
        if (term.value == 124)
          return Eval(term.operands[0], context) != 0 || Eval(term.operands[1], context) != 0;
        const int32_t left = Eval(term.operands[0], context);
        return Apply(term.value, left, Eval(term.operands[1], context));
      }
      case Term::Kind::kCond:
        return Eval(term.operands[Eval(term.operands[0], context) != 0 ? 1 : 2], context);
      case Term::Kind::kCheck: {
        const int32_t value = Eval(term.operands[0], context);
        if (value < 0 || value >= term.size)
          throw Fault{};
        return value;
      }
      case Term::Kind::kAssign:
        return Assign(term, context);
      case Term::Kind::kIncrement: {
        const Cell cell = Locate(term.operands[0], context);
        const int32_t old = Ref(cell, context.state);
        Store(cell, Apply(43, old, term.value), context.state);
        return term.size == 1 ? Ref(cell, context.state) : old;
      }
      case Term::Kind::kCall:
        return Call(term, context);
      case Term::Kind::kQuantifier: {
        const lang::Binder& binder = network_.binders.at(static_cast<size_t>(term.size));
        int32_t sum = 0;
        for (int32_t v = binder.lower; v <= binder.upper; ++v) {
          context.binders[term.size] = v;
          const int32_t value = Eval(term.operands[0], context);
          if (term.value == static_cast<int32_t>(lang::Quantifier::kForall) && value == 0)
            return 0;
          if (term.value == static_cast<int32_t>(lang::Quantifier::kExists) && value != 0)
            return 1;
          sum = Apply(43, sum, value);
        }
        return term.value == static_cast<int32_t>(lang::Quantifier::kSum)
                   ? sum
                   : term.value == static_cast<int32_t>(lang::Quantifier::kForall);
      }
      case Term::Kind::kLocation:
        return context.state.locations.at(static_cast<size_t>(term.value)) == term.size;
      case Term::Kind::kDeadlock:
        return Deadlocked(context.state);
      case Term::Kind::kPlace:
        break;
    }
    std::abort();
  }

  int32_t Assign(const Term& term, Context& context) {
    const Term& target = term.operands[0];
    if (target.kind == Term::Kind::kClock) {
      const int32_t clock = ClockOf(target, context);
      const int32_t value = Eval(term.operands[1], context);
      context.state.clocks.at(static_cast<size_t>(clock)) = std::min(value, ceiling_);
      return value;
    }
    const Cell cell = Locate(target, context);
    if (target.cells.size() > 1) {
      const Cell from = Locate(term.operands[1].operands[0], context);
      for (int32_t k = 0; k < static_cast<int32_t>(target.cells.size()); ++k) {
        Store(Cell{cell.space, cell.frame, cell.index + k},
              Ref(Cell{from.space, from.frame, from.index + k}, context.state), context.state);
      }
      return 0;
    }
    int32_t value = 0;
    if (term.value == 0) {
      value = Eval(term.operands[1], context);
    } else {
      const int32_t old = Ref(cell, context.state);
      value = Apply(term.value, old, Eval(term.operands[1], context));
    }
    Store(cell, value, context.state);
    return Ref(cell, context.state);
  }

  int32_t Call(const Term& term, Context& context) {
    const lang::Function& function = network_.functions.at(static_cast<size_t>(term.value));
    Frame frame;
    frame.function = &function;
    frame.slots.assign(function.slots.size(), 0);
    frame.references.resize(static_cast<size_t>(function.references));
    for (size_t k = 0; k < function.parameters.size(); ++k) {
      const lang::Parameter& parameter = function.parameters[k];
      const Term& argument = term.operands[k];
      if (parameter.reference) {
        frame.references[static_cast<size_t>(parameter.first)] = Locate(argument, context);
      } else if (parameter.width == 1) {
        Store(Cell{Space::kLocal, &frame, parameter.first}, Eval(argument, context), context.state);
      } else {
        const Cell from = Locate(argument.operands[0], context);
        for (int32_t c = 0; c < parameter.width; ++c) {
          Store(Cell{Space::kLocal, &frame, parameter.first + c},
                Ref(Cell{from.space, from.frame, from.index + c}, context.state), context.state);
        }
      }
    }
    Frame* caller = context.frame;
    context.frame = &frame;
    Exec(function.body, context);
    context.frame = caller;
    return frame.result;
  }

  Flow Exec(const lang::Statement& statement, Context& context) {
    using Kind = lang::Statement::Kind;
    switch (statement.kind) {
      case Kind::kBlock:
        for (const lang::Statement& inner : statement.body) {
          const Flow flow = Exec(inner, context);
          if (flow != Flow::kNormal)
            return flow;
        }
        return Flow::kNormal;
      case Kind::kExpression:
        Eval(statement.terms[0], context);
        return Flow::kNormal;
      case Kind::kIf:
        if (Eval(statement.terms[0], context) != 0)
          return Exec(statement.body[0], context);
        return statement.body.size() > 1 ? Exec(statement.body[1], context) : Flow::kNormal;
      case Kind::kWhile:
      case Kind::kDoWhile:
      case Kind::kFor: {
        const bool test = statement.kind != Kind::kDoWhile;
        while (!test || Eval(statement.terms[0], context) != 0) {
          if (++context.iterations[&statement] > kLoopBound)
            throw LoopBound{};
          const Flow flow = Exec(statement.body[0], context);
          if (flow == Flow::kBreak)
            break;
          if (flow == Flow::kReturn)
            return flow;
          if (statement.kind == Kind::kFor && statement.terms.size() > 1)
            Eval(statement.terms[1], context);
          if (statement.kind == Kind::kDoWhile && Eval(statement.terms[0], context) == 0)
            break;
        }
        return Flow::kNormal;
      }
      case Kind::kBreak:
        return Flow::kBreak;
      case Kind::kContinue:
        return Flow::kContinue;
      case Kind::kReturn: {
        Frame& frame = *context.frame;
        if (!statement.terms.empty()) {
          int32_t value = Eval(statement.terms[0], context);
          const lang::CellType& result = *frame.function->result;
          if (result.boolean)
            value = value != 0 ? 1 : 0;
          if (value < result.lower || value > result.upper)
            throw Fault{};
          frame.result = value;
        }
        return Flow::kReturn;
      }
    }
    return Flow::kNormal;
  }

  State Initial() const {
    State initial;
    for (const lang::Process& process : network_.processes)
      initial.locations.push_back(process.init);
    for (const lang::IntVariable& variable : network_.variables)
      initial.integers.push_back(variable.initial);
    initial.clocks.assign(network_.clocks.size(), 0);
    return initial;
  }

  // The value of a side-effect-free term in a state; nullopt when its evaluation fails.
  std::optional<int32_t> Value(const Term& term, const State& state) {
    State copy = state;
    Context context{copy};
    try {
      return Eval(term, context);
    } catch (const Fault&) {
      return std::nullopt;
    }
  }

  bool Holds(const Term& formula, const State& state) {
    const std::optional<int32_t> value = Value(formula, state);
    queryError_ = queryError_ || !value;
    return value && *value != 0;
  }

  // Whether the invariants hold; nullopt after an error.
  std::optional<bool> InvariantsHold(const State& state) {
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      const lang::Location& location =
          network_.processes[p].locations[static_cast<size_t>(state.locations[p])];
      const std::optional<int32_t> value = Value(location.invariant, state);
      if (!value)
        return std::nullopt;
      if (*value == 0)
        return false;
    }
    return true;
  }

  const lang::Location& LocationOf(size_t p, const State& state) const {
    return network_.processes[p].locations[static_cast<size_t>(state.locations[p])];
  }

  // The state one time unit later, or nothing when time cannot pass: a process is in a committed
  // or urgent location, a transition on an urgent channel can be taken, or an invariant would
  // fail (or cannot be evaluated) afterwards.
  std::optional<State> Tick(const State& state, bool urgentSync) {
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      if (LocationOf(p, state).committed || LocationOf(p, state).urgent)
        return std::nullopt;
    }
    if (urgentSync)
      return std::nullopt;
    State later = state;
    for (int32_t& clock : later.clocks)
      clock = std::min(clock + 1, ceiling_);
    const std::optional<bool> holds = InvariantsHold(later);
    error_ = error_ || !holds;
    if (holds.value_or(false))
      return later;
    return std::nullopt;
  }

  using Step = std::vector<std::pair<size_t, const lang::Edge*>>;

  // The channel of a sync in a state; nullopt after an error.
  std::optional<int32_t> ChannelOf(const lang::Sync& sync, const State& state) {
    if (!sync.index)
      return sync.channels[0];
    const std::optional<int32_t> index = Value(*sync.index, state);
    if (!index || *index < 0 || *index >= static_cast<int32_t>(sync.channels.size())) {
      error_ = true;
      return std::nullopt;
    }
    return sync.channels[static_cast<size_t>(*index)];
  }

  // The edges of process p out of its location that receive on `channel`.
  std::vector<const lang::Edge*> Receivers(size_t p, int32_t channel, const State& state) {
    std::vector<const lang::Edge*> receivers;
    for (const lang::Edge& edge : network_.processes[p].edges) {
      if (edge.from == state.locations[p] && edge.sync && !edge.sync->send &&
          ChannelOf(*edge.sync, state) == channel) {
        receivers.push_back(&edge);
      }
    }
    return receivers;
  }

  // Whether the edge's guard holds; an error counts and answers false.
  bool GuardHolds(const lang::Edge& edge, const State& state) {
    const std::optional<int32_t> guard = Value(edge.guard, state);
    error_ = error_ || !guard;
    return guard.value_or(0) != 0;
  }

  // What the transitions of a state are: the states they lead to, and whether one of them
  // synchronises on an urgent channel.
  struct Transitions {
    std::vector<State> targets;
    bool urgentSync = false;
  };

  // Takes the step when every guard holds, a process of the step leaves a committed location
  // while some process is in one, its updates succeed and the target invariants hold.
  void Fire(const Step& step, const State& state, bool urgent, Transitions& out) {
    bool holds = true;
    for (const auto& [p, edge] : step)
      holds = GuardHolds(*edge, state) && holds;
    if (!holds || !LeavesCommitted(step, state))
      return;
    State next = state;
    for (const auto& [p, edge] : step)
      next.locations[p] = edge->to;
    try {
      for (const auto& [p, edge] : step) {
        for (const Term& update : edge->updates) {
          Context context{next};
          Eval(update, context);
        }
      }
    } catch (const Fault&) {
      error_ = true;
      return;
    }
    const std::optional<bool> invariants = InvariantsHold(next);
    error_ = error_ || !invariants;
    if (!invariants.value_or(false))
      return;
    out.urgentSync = out.urgentSync || urgent;
    out.targets.push_back(std::move(next));
  }

  // True unless some process is in a committed location and no process of the step is.
  bool LeavesCommitted(const Step& step, const State& state) const {
    bool committed = false;
    for (size_t p = 0; p < network_.processes.size(); ++p)
      committed = committed || LocationOf(p, state).committed;
    return !committed || std::any_of(step.begin(), step.end(), [&](const auto& part) {
      return LocationOf(part.first, state).committed;
    });
  }

  // A broadcast: with the sender, every other process takes one of its receiving edges whose
  // guard holds, when it has one; one step per choice.
  void Broadcast(size_t sender, const lang::Edge& edge, int32_t channel, const State& state,
                 Transitions& out) {
    std::vector<std::pair<size_t, std::vector<const lang::Edge*>>> choices;
    for (size_t q = 0; q < network_.processes.size(); ++q) {
      if (q == sender)
        continue;
      std::vector<const lang::Edge*> enabled;
      for (const lang::Edge* receiver : Receivers(q, channel, state)) {
        if (GuardHolds(*receiver, state))
          enabled.push_back(receiver);
      }
      if (!enabled.empty())
        choices.emplace_back(q, std::move(enabled));
    }
    const bool urgent = network_.channels[static_cast<size_t>(channel)].urgent;
    std::vector<size_t> picked(choices.size(), 0);
    while (true) {
      Step step{{sender, &edge}};
      for (size_t k = 0; k < choices.size(); ++k)
        step.push_back({choices[k].first, choices[k].second[picked[k]]});
      Fire(step, state, urgent, out);
      size_t k = 0;
      while (k < picked.size() && ++picked[k] == choices[k].second.size())
        picked[k++] = 0;
      if (k == picked.size())
        return;
    }
  }

  Transitions TransitionsOf(const State& state) {
    Transitions out;
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      for (const lang::Edge& edge : network_.processes[p].edges) {
        if (edge.from != state.locations[p] || (edge.sync && !edge.sync->send))
          continue;
        if (!edge.sync) {
          Fire({{p, &edge}}, state, false, out);
          continue;
        }
        const std::optional<int32_t> channel = ChannelOf(*edge.sync, state);
        if (!channel)
          continue;
        const lang::Channel& declared = network_.channels[static_cast<size_t>(*channel)];
        if (declared.broadcast) {
          Broadcast(p, edge, *channel, state, out);
          continue;
        }
        for (size_t q = 0; q < network_.processes.size(); ++q) {
          if (q == p)
            continue;
          for (const lang::Edge* receiver : Receivers(q, *channel, state))
            Fire({{p, &edge}, {q, receiver}}, state, declared.urgent, out);
        }
      }
    }
    return out;
  }

  // No transition can be taken from the state nor from any state that waiting reaches.
  bool Deadlocked(const State& state) {
    const auto known = deadlocks_.find(state);
    if (known != deadlocks_.end())
      return known->second;
    const bool errorBefore = error_;
    bool deadlocked = true;
    State current = state;
    while (true) {
      const Transitions transitions = TransitionsOf(current);
      if (!transitions.targets.empty()) {
        deadlocked = false;
        break;
      }
      std::optional<State> later = Tick(current, transitions.urgentSync);
      if (!later || *later == current)
        break;
      current = std::move(*later);
    }
    error_ = errorBefore;  // the states it visits are reported where the exploration reaches them
    deadlocks_.emplace(state, deadlocked);
    return deadlocked;
  }

  const lang::Network& network_;
  const std::vector<lang::Query>& queries_;
  int32_t ceiling_ = 1;
  bool error_ = false;
  bool queryError_ = false;
  int32_t constant_ = 0;
  std::unordered_map<State, bool, StateHash> deadlocks_;
};

}  // namespace

LanguageVerdicts ExploreLanguage(const lang::Network& network,
                                 const std::vector<lang::Query>& queries, size_t stateLimit,
                                 bool noZeno) {
  Explorer explorer(network, queries);
  LanguageVerdicts verdicts = explorer.Run(stateLimit);
  const bool liveness = std::any_of(queries.begin(), queries.end(), [](const lang::Query& query) {
    return query.kind != lang::Query::Kind::kReachable &&
           query.kind != lang::Query::Kind::kInvariant;
  });
  if (liveness && verdicts.complete)
    explorer.DecideLiveness(stateLimit, noZeno, verdicts);
  return verdicts;
}

}  // namespace tickcheck::testing
