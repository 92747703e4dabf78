#include "support/language_explorer.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <set>
#include <utility>

#include "model/expression_record.h"

namespace tickcheck::testing {
namespace {

using lang::Term;

struct State {
  std::vector<int32_t> locations, integers, clocks;
  auto operator<=>(const State&) const = default;
};

class Explorer {
 public:
  Explorer(const lang::Network& network, const std::vector<lang::Query>& queries)
      : network_(network), queries_(queries) {
    int64_t largest = 0;
    for (const lang::IntVariable& variable : network.variables)
      largest = std::max<int64_t>(largest, variable.upper);
    int64_t constants = 0;
    for (const lang::Process& process : network.processes) {
      for (const lang::Location& location : process.locations) {
        for (const Term& atom : location.invariant)
          constants = std::max(constants, Largest(atom));
      }
      for (const lang::Edge& edge : process.edges) {
        constants = std::max(constants, Largest(edge.guard));
        for (const lang::Assignment& assignment : edge.assignments)
          constants = std::max(constants, Largest(assignment.value));
      }
    }
    for (const lang::Query& query : queries)
      constants = std::max(constants, Largest(query.formula));
    // A clock bound is a constant or reads variables: above both, every clock value compares
    // alike.
    ceiling_ = static_cast<int32_t>(constants + largest + 1);
  }

  LanguageVerdicts Run(size_t stateLimit) {
    LanguageVerdicts verdicts;
    verdicts.satisfied.assign(queries_.size(), false);
    for (size_t q = 0; q < queries_.size(); ++q)
      verdicts.satisfied[q] = queries_[q].kind == lang::Query::Kind::kInvariant;
    State initial;
    for (const lang::Process& process : network_.processes)
      initial.locations.push_back(process.init);
    for (const lang::IntVariable& variable : network_.variables)
      initial.integers.push_back(variable.initial);
    initial.clocks.assign(network_.clocks.size(), 0);
    std::set<State> seen{initial};
    std::deque<State> pending{initial};
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
      for (State& next : Successors(state, verdicts.rangeError)) {
        if (seen.insert(next).second)
          pending.push_back(std::move(next));
      }
      if (seen.size() > stateLimit) {
        verdicts.complete = false;
        break;
      }
    }
    verdicts.states = seen.size();
    return verdicts;
  }

 private:
  using Step = std::vector<std::pair<size_t, const lang::Edge*>>;

  static int64_t Largest(const Term& term) {
    int64_t largest = term.kind == Term::Kind::kConst ? std::abs(int64_t{term.value}) : 0;
    for (const Term& operand : term.operands)
      largest = std::max(largest, Largest(operand));
    return largest;
  }
  static int64_t Largest(const lang::Formula& formula) {
    int64_t largest =
        formula.kind == lang::Formula::Kind::kAtom ? std::abs(int64_t{formula.atom.bound}) : 0;
    for (const lang::Formula& operand : formula.operands)
      largest = std::max(largest, Largest(operand));
    return largest;
  }

  int32_t Eval(const Term& term, const State& state) const {
    switch (term.kind) {
      case Term::Kind::kConst:
        return term.value;
      case Term::Kind::kInt:
        return state.integers[static_cast<size_t>(term.value)];
      case Term::Kind::kClock:
        return state.clocks[static_cast<size_t>(term.value)];
      case Term::Kind::kElement: {
        const int32_t index = Eval(term.operands[0], state);
        return state.integers[static_cast<size_t>(term.elements.at(static_cast<size_t>(index)))];
      }
      case Term::Kind::kNot:
        return Eval(term.operands[0], state) == 0 ? 1 : 0;
      case Term::Kind::kNegate:
        return ApplyOperator(ExpType::kSubtract, 0, Eval(term.operands[0], state));
      case Term::Kind::kCond:
        return Eval(term.operands[Eval(term.operands[0], state) != 0 ? 1 : 2], state);
      case Term::Kind::kBinary:
        if (term.value == ExpType::kAnd)
          return Eval(term.operands[0], state) != 0 && Eval(term.operands[1], state) != 0;
        if (term.value == ExpType::kOr)
          return Eval(term.operands[0], state) != 0 || Eval(term.operands[1], state) != 0;
        return ApplyOperator(term.value, Eval(term.operands[0], state),
                             Eval(term.operands[1], state));
    }
    return 0;
  }

  bool Holds(const lang::Formula& formula, const State& state) const {
    switch (formula.kind) {
      case lang::Formula::Kind::kConst:
        return formula.value;
      case lang::Formula::Kind::kNot:
        return !Holds(formula.operands[0], state);
      case lang::Formula::Kind::kAnd:
        return Holds(formula.operands[0], state) && Holds(formula.operands[1], state);
      case lang::Formula::Kind::kOr:
        return Holds(formula.operands[0], state) || Holds(formula.operands[1], state);
      case lang::Formula::Kind::kAtom:
        break;
    }
    const lang::QueryAtom& atom = formula.atom;
    switch (atom.kind) {
      case lang::QueryAtom::Kind::kLocation:
        return (state.locations[static_cast<size_t>(atom.process)] == atom.location) !=
               atom.negated;
      case lang::QueryAtom::Kind::kInt:
        return ApplyRelation(atom.relation, state.integers[static_cast<size_t>(atom.variable)],
                             atom.bound);
      case lang::QueryAtom::Kind::kClock:
        return ApplyRelation(atom.relation, state.clocks[static_cast<size_t>(atom.variable)],
                             atom.bound);
    }
    return false;
  }

  bool InvariantsHold(const State& state) const {
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      const lang::Location& location =
          network_.processes[p].locations[static_cast<size_t>(state.locations[p])];
      for (const Term& atom : location.invariant) {
        if (Eval(atom, state) == 0)
          return false;
      }
    }
    return true;
  }

  int32_t ChannelOf(const lang::Sync& sync, const State& state) const {
    if (!sync.index)
      return sync.channels[0];
    return sync.channels.at(static_cast<size_t>(Eval(*sync.index, state)));
  }

  // The edges of process p out of its location that receive on `channel`.
  std::vector<const lang::Edge*> Receivers(size_t p, int32_t channel, const State& state) const {
    std::vector<const lang::Edge*> receivers;
    for (const lang::Edge& edge : network_.processes[p].edges) {
      if (edge.from == state.locations[p] && edge.sync && !edge.sync->send &&
          ChannelOf(*edge.sync, state) == channel) {
        receivers.push_back(&edge);
      }
    }
    return receivers;
  }

  void Fire(const Step& step, const State& state, bool& rangeError, std::vector<State>& out) const {
    for (const auto& [p, edge] : step) {
      if (Eval(edge->guard, state) == 0)
        return;
    }
    State next = state;
    for (const auto& [p, edge] : step)
      next.locations[p] = edge->to;
    for (const auto& [p, edge] : step) {
      for (const lang::Assignment& assignment : edge->assignments) {
        const int32_t value = Eval(assignment.value, next);
        const Term& target = assignment.target;
        if (target.kind == Term::Kind::kClock) {
          next.clocks[static_cast<size_t>(target.value)] = std::min(value, ceiling_);
        } else if (target.kind == Term::Kind::kInt) {
          next.integers[static_cast<size_t>(target.value)] = value;
        } else {
          const int32_t index = Eval(target.operands[0], next);
          next.integers[static_cast<size_t>(target.elements.at(static_cast<size_t>(index)))] =
              value;
        }
      }
    }
    if (!InvariantsHold(next))
      return;
    for (size_t v = 0; v < network_.variables.size(); ++v) {
      if (next.integers[v] < network_.variables[v].lower ||
          next.integers[v] > network_.variables[v].upper) {
        rangeError = true;
        return;
      }
    }
    out.push_back(std::move(next));
  }

  std::vector<State> Successors(const State& state, bool& rangeError) const {
    std::vector<State> out;
    State later = state;
    for (int32_t& clock : later.clocks)
      clock = std::min(clock + 1, ceiling_);
    if (InvariantsHold(later))
      out.push_back(std::move(later));
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      for (const lang::Edge& edge : network_.processes[p].edges) {
        if (edge.from != state.locations[p] || (edge.sync && !edge.sync->send))
          continue;
        if (!edge.sync) {
          Fire({{p, &edge}}, state, rangeError, out);
          continue;
        }
        const int32_t channel = ChannelOf(*edge.sync, state);
        if (!network_.channels[static_cast<size_t>(channel)].broadcast) {
          for (size_t q = 0; q < network_.processes.size(); ++q) {
            if (q == p)
              continue;
            for (const lang::Edge* receiver : Receivers(q, channel, state))
              Fire({{p, &edge}, {q, receiver}}, state, rangeError, out);
          }
          continue;
        }
        Step step{{p, &edge}};
        for (size_t q = 0; q < network_.processes.size(); ++q) {
          const std::vector<const lang::Edge*> receivers = Receivers(q, channel, state);
          if (q != p && !receivers.empty())
            step.push_back({q, receivers.front()});
        }
        Fire(step, state, rangeError, out);
      }
    }
    return out;
  }

  const lang::Network& network_;
  const std::vector<lang::Query>& queries_;
  int32_t ceiling_ = 1;
};

}  // namespace

LanguageVerdicts ExploreLanguage(const lang::Network& network,
                                 const std::vector<lang::Query>& queries, size_t stateLimit) {
  return Explorer(network, queries).Run(stateLimit);
}

}  // namespace tickcheck::testing
