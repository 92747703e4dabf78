#include "lang/codegen.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "expr/comparison.h"
#include "lang/fold.h"
#include "lang/ranges.h"
#include "model/expression_builder.h"

namespace tickcheck::lang {
namespace {

// The relation as the property keys write it: 1 ==, 2 >, 3 >=, 4 <, 5 <=, 6 !=.
int32_t FileRelation(int32_t relation) {
  switch (relation) {
    case ExpType::kEqual:
      return 1;
    case ExpType::kGreater:
      return 2;
    case ExpType::kAtLeast:
      return 3;
    case ExpType::kLess:
      return 4;
    case ExpType::kAtMost:
      return 5;
    default:
      return 6;
  }
}

// The variable id of integer variable `variable`: integers come first.
int32_t IntegerVariableId(int32_t variable) {
  return variable + 1;
}

class Generator {
 public:
  Generator(const Network& network, const NetworkGuards& guards, const ClockPlan& clocks,
            Diagnostics& diagnostics)
      : network_(network), guards_(guards), clocks_(clocks), diagnostics_(diagnostics) {}

  std::optional<ModelSpec> Run(const std::vector<QueryPlan>& queries) {
    Variables();
    Listeners();
    for (size_t p = 0; p < network_.processes.size(); ++p)
      model_.processes.push_back(ProcessOf(static_cast<int32_t>(p)));
    for (const QueryPlan& plan : queries) {
      for (const Conjunction& conjunction : plan.conjunctions)
        model_.properties.push_back(PropertyOf(plan, conjunction));
    }
    if (!diagnostics_.Empty())
      return std::nullopt;
    return std::move(model_);
  }

 private:
  void Variables() {
    for (const IntVariable& variable : network_.variables) {
      model_.variables.push_back(
          {variable.name, 0, variable.initial, variable.lower, variable.upper});
    }
    // A comparison that never holds needs an integer variable; a model without one gets a
    // variable of zero bits for it.
    if (network_.variables.empty())
      model_.variables.push_back({"never", 0, 0, 0, 0});
    for (size_t c = 0; c < network_.clocks.size(); ++c) {
      model_.variables.push_back({network_.clocks[c].name, 1, 0, 0, clocks_.max[c]});
    }
  }

  int32_t ClockId(int32_t clock) const {
    return static_cast<int32_t>(model_.variables.size() - network_.clocks.size()) + clock + 1;
  }

  // The processes receiving on each broadcast channel, and those that the checker's composition
  // takes for listeners: every process with a broadcast jump on the channel, sending ones too.
  void Listeners() {
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      for (const Edge& edge : network_.processes[p].edges) {
        if (edge.sync && !edge.sync->send && Broadcast(*edge.sync))
          listeners_[edge.sync->channels[0]].insert(static_cast<int32_t>(p));
      }
    }
    jumpsOn_ = listeners_;
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      for (const Edge& edge : network_.processes[p].edges) {
        if (!edge.sync || !edge.sync->send || !Broadcast(*edge.sync))
          continue;
        for (int32_t channel : edge.sync->channels) {
          if (Heard(static_cast<int32_t>(p), channel))
            jumpsOn_[channel].insert(static_cast<int32_t>(p));
        }
      }
    }
  }

  // Whether a process other than `p` receives on the broadcast channel.
  bool Heard(int32_t p, int32_t channel) const {
    const auto listeners = listeners_.find(channel);
    return listeners != listeners_.end() &&
           std::any_of(listeners->second.begin(), listeners->second.end(),
                       [p](int32_t q) { return q != p; });
  }

  bool Broadcast(const Sync& sync) const {
    return network_.channels[static_cast<size_t>(sync.channels[0])].broadcast;
  }

  int32_t Expression(const ExpressionRecord& record) {
    const std::string bytes = EncodeExpressionRecord(record);
    const auto [at, added] =
        expressionIds_.emplace(bytes, static_cast<int32_t>(model_.expressions.size()));
    if (added)
      model_.expressions.emplace(at->second, record);
    return at->second;
  }

  int32_t Constraint(std::vector<int32_t> ids) {
    if (ids.empty())
      return 0;
    const auto [at, added] =
        constraintNumbers_.emplace(ids, static_cast<int32_t>(model_.constraints.size()) + 1);
    if (added)
      model_.constraints.push_back(std::move(ids));
    return at->second;
  }

  Expr Lower(const Term& term) const {
    switch (term.kind) {
      case Term::Kind::kConst:
        return Expr::Const(term.value);
      case Term::Kind::kInt:
        return Expr::Var(IntegerVariableId(term.value));
      case Term::Kind::kClock:
        return Expr::Var(ClockId(term.value));
      case Term::Kind::kElement: {
        const Expr index = Lower(term.operands[0]);
        Expr chosen = Expr::Var(IntegerVariableId(term.elements.back()));
        for (size_t k = term.elements.size() - 1; k-- > 0;) {
          chosen =
              Expr::Cond(Expr::Op(ExpType::kEqual, index, Expr::Const(static_cast<int32_t>(k))),
                         Expr::Var(IntegerVariableId(term.elements[k])), chosen);
        }
        return chosen;
      }
      case Term::Kind::kNot:
        return Expr::Not(Lower(term.operands[0]));
      case Term::Kind::kNegate:
        return Expr::Negate(Lower(term.operands[0]));
      case Term::Kind::kBinary:
        return Expr::Op(term.value, Lower(term.operands[0]), Lower(term.operands[1]));
      case Term::Kind::kCond:
        return Expr::Cond(Lower(term.operands[0]), Lower(term.operands[1]),
                          Lower(term.operands[2]));
    }
    return Expr::Const(0);
  }

  // An integer condition as one comparison `variable relation bound`, the only shape the guard
  // test reads: a comparison of a variable keeps its shape, anything else c becomes
  // `v == (c ? v : v + 1)` over a variable v that c reads.
  int32_t Condition(const Term& condition) {
    if (condition.kind == Term::Kind::kBinary && IsRelationCode(condition.value)) {
      for (int side = 0; side < 2; ++side) {
        const Term& variable = condition.operands[static_cast<size_t>(side)];
        if (variable.kind != Term::Kind::kInt)
          continue;
        const Term& bound = condition.operands[static_cast<size_t>(1 - side)];
        const int32_t relation = side == 0 ? condition.value : MirroredRelation(condition.value);
        return Expression(Expr::Op(relation, Lower(variable), Lower(bound)).Compile());
      }
    }
    const Expr v = Expr::Var(IntegerVariableId(condition.IntegersRead().front()));
    return Expression(
        Expr::Op(ExpType::kEqual, v,
                 Expr::Cond(Lower(condition), v, Expr::Op(ExpType::kAdd, v, Expr::Const(1))))
            .Compile());
  }

  int32_t Never() { return Expression(Comparison(1, ExpType::kLess, 0)); }

  std::vector<AssignmentSpec> Assignments(const Edge& edge) {
    std::vector<AssignmentSpec> assignments;
    for (const Assignment& assignment : edge.assignments) {
      const Term& target = assignment.target;
      if (target.kind == Term::Kind::kClock) {
        assignments.push_back(
            {ClockId(target.value), Expression(Lower(assignment.value).Compile())});
      } else if (target.kind == Term::Kind::kInt) {
        assignments.push_back(
            {IntegerVariableId(target.value), Expression(Lower(assignment.value).Compile())});
      } else {
        // a[i] = e sets every element k to (i == k ? e : a[k]); only element i changes.
        const Expr index = Lower(target.operands[0]);
        for (size_t k = 0; k < target.elements.size(); ++k) {
          const int32_t element = IntegerVariableId(target.elements[k]);
          const Expr chosen =
              Expr::Cond(Expr::Op(ExpType::kEqual, index, Expr::Const(static_cast<int32_t>(k))),
                         Lower(assignment.value), Expr::Var(element));
          assignments.push_back({element, Expression(chosen.Compile())});
        }
      }
    }
    return assignments;
  }

  // The jumps of one edge, with their location's order: receiving broadcasts first.
  void Jumps(int32_t p, size_t e, std::vector<JumpSpec>& receiving, std::vector<JumpSpec>& other) {
    const Edge& edge = network_.processes[static_cast<size_t>(p)].edges[e];
    const std::vector<GuardDisjunct>& disjuncts = guards_[static_cast<size_t>(p)][e];
    JumpSpec jump{.from = edge.from + 1,
                  .to = edge.to + 1,
                  .urgent = 0,
                  .syn = 0,
                  .synType = 0,
                  .broadcast = 0,
                  .assignments = Assignments(edge)};
    if (!edge.sync) {
      for (const GuardDisjunct& disjunct : disjuncts)
        other.push_back(WithGuard(jump, disjunct, {}));
      return;
    }
    const Sync& sync = *edge.sync;
    const bool broadcast = Broadcast(sync);
    if (broadcast && !sync.send) {
      ReceivingJump(p, edge, disjuncts, jump, receiving);
      return;
    }
    // Channels outside the index's range are never chosen.
    const Interval indices = sync.index ? RangeOf(*sync.index, network_) : Interval{0, 0};
    for (size_t k = 0; k < sync.channels.size(); ++k) {
      const int32_t channel = sync.channels[k];
      std::vector<Term> selected;
      if (static_cast<int64_t>(k) < indices.lower || static_cast<int64_t>(k) > indices.upper)
        continue;
      if (sync.index) {
        std::optional<Term> chosen =
            FoldBinary(ExpType::kEqual, *sync.index, Term::Const(static_cast<int32_t>(k), sync.pos),
                       sync.pos, diagnostics_);
        if (chosen->IsConst() && chosen->value == 0)
          continue;
        selected.push_back(std::move(*chosen));
      }
      JumpSpec synchronising = jump;
      if (!broadcast || Heard(p, channel)) {
        synchronising.syn = channel + 1;
        synchronising.synType = sync.send ? 1 : 0;
        synchronising.broadcast = broadcast ? 1 : 0;
      }
      for (const GuardDisjunct& disjunct : disjuncts)
        other.push_back(WithGuard(synchronising, disjunct, selected));
    }
  }

  void ReceivingJump(int32_t p, const Edge& edge, const std::vector<GuardDisjunct>& disjuncts,
                     JumpSpec jump, std::vector<JumpSpec>& receiving) {
    const int32_t channel = edge.sync->channels[0];
    if (disjuncts.size() > 1) {
      diagnostics_.Error(edge.sync->pos,
                         "a broadcast receive needs a guard that is one conjunction over clocks "
                         "(no ||, no != on a clock)");
      return;
    }
    if (!receivers_.insert({p, edge.from, channel}).second) {
      diagnostics_.Error(edge.sync->pos, "a second receive on the broadcast channel " +
                                             network_.channels[static_cast<size_t>(channel)].name +
                                             " out of " +
                                             network_.processes[static_cast<size_t>(p)]
                                                 .locations[static_cast<size_t>(edge.from)]
                                                 .name);
      return;
    }
    jump.syn = channel + 1;
    jump.synType = 0;
    jump.broadcast = 1;
    if (disjuncts.empty()) {
      // A receiving edge that can never be taken still blocks the broadcast.
      jump.guard = Constraint({Never()});
      receiving.push_back(jump);
      return;
    }
    receiving.push_back(WithGuard(jump, disjuncts[0], {}));
  }

  JumpSpec WithGuard(JumpSpec jump, const GuardDisjunct& disjunct, const std::vector<Term>& extra) {
    std::vector<int32_t> ids;
    for (const ClockAtom& atom : disjunct.clocks) {
      ids.push_back(Expression(
          Expr::Op(atom.relation, Expr::Var(ClockId(atom.clock)), Lower(atom.bound)).Compile()));
    }
    for (const Term& condition : disjunct.conditions)
      ids.push_back(Condition(condition));
    for (const Term& condition : extra)
      ids.push_back(Condition(condition));
    if (const int32_t guard = Constraint(std::move(ids)); guard != 0)
      jump.guard = guard;
    return jump;
  }

  ProcessSpec ProcessOf(int32_t p) {
    const Process& process = network_.processes[static_cast<size_t>(p)];
    ProcessSpec written;
    written.name = process.name;
    written.initLocation = process.init + 1;
    std::vector<std::vector<JumpSpec>> receiving(process.locations.size());
    std::vector<std::vector<JumpSpec>> other(process.locations.size());
    for (size_t l = 0; l < process.locations.size(); ++l) {
      const Location& location = process.locations[l];
      LocationSpec locationSpec{location.name, {}, {}};
      for (const ActiveClock& active : clocks_.active[static_cast<size_t>(p)][l])
        locationSpec.activeClocks.push_back({ClockId(active.clock), active.L, active.U});
      std::vector<int32_t> ids;
      for (const Term& atom : location.invariant) {
        ids.push_back(Expression(
            Comparison(ClockId(atom.operands[0].value), atom.value, atom.operands[1].value)));
      }
      if (const int32_t invariant = Constraint(std::move(ids)); invariant != 0)
        locationSpec.invariant = invariant;
      written.locations.push_back(std::move(locationSpec));
    }
    for (size_t e = 0; e < process.edges.size(); ++e) {
      const auto from = static_cast<size_t>(process.edges[e].from);
      Jumps(p, e, receiving[from], other[from]);
    }
    // A process with a jump on a broadcast channel takes part in every broadcast on it: where it
    // has no receiving edge, a receiving self-loop lets it stay where it is.
    for (const auto& [channel, processes] : jumpsOn_) {
      if (processes.count(p) == 0)
        continue;
      for (size_t l = 0; l < process.locations.size(); ++l) {
        if (receivers_.count({p, static_cast<int32_t>(l), channel}) != 0)
          continue;
        const auto self = static_cast<int32_t>(l) + 1;
        receiving[l].push_back(JumpSpec{.from = self,
                                        .to = self,
                                        .urgent = 0,
                                        .syn = channel + 1,
                                        .synType = 0,
                                        .broadcast = 1});
      }
    }
    for (size_t l = 0; l < process.locations.size(); ++l) {
      written.jumps.insert(written.jumps.end(), receiving[l].begin(), receiving[l].end());
      written.jumps.insert(written.jumps.end(), other[l].begin(), other[l].end());
    }
    return written;
  }

  PropertySpec PropertyOf(const QueryPlan& plan, const Conjunction& conjunction) const {
    PropertySpec property;
    property.type = plan.kind == QueryPlan::Kind::kInvariant ? 1 : 0;
    for (const QueryAtom& atom : conjunction) {
      switch (atom.kind) {
        case QueryAtom::Kind::kLocation:
          property.atoms.push_back(
              {atom.negated ? 1 : 0, -(atom.process + 1), atom.location + 1, std::nullopt});
          break;
        case QueryAtom::Kind::kInt:
          property.atoms.push_back(
              {0, IntegerVariableId(atom.variable), atom.bound, FileRelation(atom.relation)});
          break;
        case QueryAtom::Kind::kClock:
          property.atoms.push_back(
              {0, ClockId(atom.variable), atom.bound, FileRelation(atom.relation)});
          break;
      }
    }
    return property;
  }

  const Network& network_;
  const NetworkGuards& guards_;
  const ClockPlan& clocks_;
  Diagnostics& diagnostics_;
  ModelSpec model_;
  std::map<std::string, int32_t> expressionIds_;
  std::map<std::vector<int32_t>, int32_t> constraintNumbers_;
  std::map<int32_t, std::set<int32_t>> listeners_;  // broadcast channel -> receiving processes
  std::map<int32_t, std::set<int32_t>> jumpsOn_;    // broadcast channel -> processes with jumps
  std::set<std::tuple<int32_t, int32_t, int32_t>> receivers_;  // (process, location, channel)
};

}  // namespace

std::optional<ModelSpec> GenerateModel(const Network& network, const NetworkGuards& guards,
                                       const ClockPlan& clocks,
                                       const std::vector<QueryPlan>& queries,
                                       Diagnostics& diagnostics) {
  return Generator(network, guards, clocks, diagnostics).Run(queries);
}

}  // namespace tickcheck::lang
