#include "lang/codegen.h"

#include <algorithm>
#include <map>

#include "expr/comparison.h"
#include "lang/fold.h"
#include "lang/lower.h"
#include "lang/ranges.h"
#include "lang/symmetry_sets.h"
#include "model/expression_builder.h"
#include "model/property.h"

namespace tickcheck::lang {
namespace {

// The variable id of integer variable `variable`: integers come first.
int32_t IntegerVariableId(int32_t variable) {
  return variable + 1;
}

// True when evaluating the term calls nothing and changes nothing.
bool IsPlain(const Term& term) {
  if (term.kind == Term::Kind::kCall || term.kind == Term::Kind::kAssign ||
      term.kind == Term::Kind::kIncrement) {
    return false;
  }
  return std::all_of(term.operands.begin(), term.operands.end(), IsPlain);
}

// The conditions joined by `&&`, in order.
Term Conjunction(std::vector<Term> conditions) {
  Term joined = std::move(conditions[0]);
  for (size_t k = 1; k < conditions.size(); ++k) {
    const SourcePos pos = conditions[k].pos;
    joined = Term::Binary(ExpType::kAnd, std::move(joined), std::move(conditions[k]), pos);
  }
  return joined;
}

// The first global integer variable that the term reads, or -1.
int32_t FirstVariableRead(const Term& term) {
  if (term.kind == Term::Kind::kRead && term.operands[0].space == Space::kGlobal)
    return term.operands[0].value;
  for (const Term& operand : term.operands) {
    if (const int32_t variable = FirstVariableRead(operand); variable >= 0)
      return variable;
  }
  return -1;
}

class Generator {
 public:
  Generator(const Network& network, const NetworkGuards& guards,
            const NetworkInvariants& invariants, const ClockPlan& clocks, Diagnostics& diagnostics)
      : network_(network),
        guards_(guards),
        invariants_(invariants),
        clocks_(clocks),
        diagnostics_(diagnostics),
        lowering_(network, clockIds_, result_.model.loops, diagnostics) {}

  std::optional<GeneratedModel> Run(const std::vector<Query>& queries) {
    result_.model.format = 2;
    Channels();
    Variables();
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      result_.origins.emplace_back();
      result_.model.processes.push_back(ProcessOf(static_cast<int32_t>(p)));
    }
    Symmetry();
    for (const Query& query : queries) {
      PropertySpec property;
      property.type = query.kind == Query::Kind::kInvariant ? 1 : 0;
      property.expression = Expression(lowering_.LowerValue(query.formula).Compile());
      // A liveness query is a liveness property (Type 2, model/property.h).
      const std::map<Query::Kind, int32_t> liveness = {
          {Query::Kind::kAlways, 1}, {Query::Kind::kEventually, 2}, {Query::Kind::kLeadsTo, 3}};
      if (liveness.contains(query.kind)) {
        property.type = CProperty::kLivenessType;
        property.liveness = liveness.at(query.kind);
      }
      if (query.kind == Query::Kind::kLeadsTo)
        property.thenExpression = Expression(lowering_.LowerValue(query.then).Compile());
      result_.model.properties.push_back(std::move(property));
    }
    if (!diagnostics_.Empty())
      return std::nullopt;
    return std::move(result_);
  }

 private:
  ModelSpec& model() { return result_.model; }

  // Broadcasts follow the usual rule, which the model file asks for with BroadcastRule=1; the
  // urgent channels are listed by their Syn numbers.
  void Channels() {
    for (size_t c = 0; c < network_.channels.size(); ++c) {
      if (network_.channels[c].broadcast)
        model().broadcastRule = 1;
      if (network_.channels[c].urgent)
        model().urgentChannels.push_back(static_cast<int32_t>(c) + 1);
    }
  }

  void Variables() {
    for (const IntVariable& variable : network_.variables) {
      model().variables.push_back(
          {variable.name, 0, variable.initial, variable.lower, variable.upper});
    }
    // A comparison that never holds needs an integer variable; a model without one gets a
    // variable of zero bits for it.
    if (network_.variables.empty())
      model().variables.push_back({"never", 0, 0, 0, 0});
    const auto first = static_cast<int32_t>(model().variables.size()) + 1;
    for (size_t c = 0; c < network_.clocks.size(); ++c) {
      clockIds_.push_back(first + static_cast<int32_t>(c));
      model().variables.push_back({network_.clocks[c].name, 1, 0, 0, clocks_.max[c]});
    }
  }

  // The proposed sets of interchangeable processes; the clocks of one role get the largest Max of
  // the role (a query may compare one member's clock with a larger constant).
  void Symmetry() {
    model().symmetry = SymmetrySets(network_, clockIds_);
    for (const SymmetrySetSpec& set : model().symmetry) {
      for (size_t role = 0; role < set.members[0].own.size(); ++role) {
        int32_t largest = 0;
        for (const SymmetryMemberSpec& member : set.members)
          largest =
              std::max(largest, *model().variables[static_cast<size_t>(member.own[role]) - 1].max);
        for (const SymmetryMemberSpec& member : set.members) {
          VariableSpec& variable = model().variables[static_cast<size_t>(member.own[role]) - 1];
          if (variable.type == 1)
            variable.max = largest;
        }
      }
      EqualiseBounds(set);
    }
  }

  // A member's clock is active in a location when a clock of its role is active there in some
  // member (a query may read one member's clock everywhere), with the largest L and U of the role.
  void EqualiseBounds(const SymmetrySetSpec& set) {
    const size_t locations =
        model().processes[static_cast<size_t>(set.members[0].process) - 1].locations.size();
    for (size_t l = 0; l < locations; ++l) {
      std::map<size_t, std::pair<int32_t, int32_t>> roles;
      for (const SymmetryMemberSpec& member : set.members) {
        for (const ActiveClockSpec& active :
             model().processes[static_cast<size_t>(member.process) - 1].locations[l].activeClocks) {
          const auto role = static_cast<size_t>(
              std::find(member.own.begin(), member.own.end(), active.clock) - member.own.begin());
          if (role == member.own.size())
            continue;
          // -1: no comparison bounds the clock that way.
          std::pair<int32_t, int32_t>& bounds = roles.try_emplace(role, -1, -1).first->second;
          bounds.first = std::max(bounds.first, active.L.value_or(-1));
          bounds.second = std::max(bounds.second, active.U.value_or(-1));
        }
      }
      for (const SymmetryMemberSpec& member : set.members) {
        std::vector<ActiveClockSpec>& active =
            model().processes[static_cast<size_t>(member.process) - 1].locations[l].activeClocks;
        // Clocks that are not the member's own (a global clock) stay as they are.
        std::erase_if(active, [&member](const ActiveClockSpec& clock) {
          return std::find(member.own.begin(), member.own.end(), clock.clock) != member.own.end();
        });
        for (const auto& [role, bounds] : roles)
          active.push_back({member.own[role], bounds.first, bounds.second});
        std::sort(
            active.begin(), active.end(),
            [](const ActiveClockSpec& a, const ActiveClockSpec& b) { return a.clock < b.clock; });
      }
    }
  }

  int32_t ClockId(int32_t clock) const { return clockIds_[static_cast<size_t>(clock)]; }

  bool Broadcast(const Sync& sync) const {
    return network_.channels[static_cast<size_t>(sync.channels[0])].broadcast;
  }

  int32_t Expression(const ExpressionRecord& record) {
    const std::string bytes = EncodeExpressionRecord(record);
    const auto [at, added] =
        expressionIds_.emplace(bytes, static_cast<int32_t>(model().expressions.size()));
    if (added)
      model().expressions.emplace(at->second, record);
    return at->second;
  }

  int32_t Constraint(std::vector<int32_t> ids) {
    if (ids.empty())
      return 0;
    const auto [at, added] =
        constraintNumbers_.emplace(ids, static_cast<int32_t>(model().constraints.size()) + 1);
    if (added)
      model().constraints.push_back(std::move(ids));
    return at->second;
  }

  // An integer condition as one comparison `variable relation bound`, the only shape the guard
  // test reads: a comparison of a variable keeps its shape, anything else c becomes
  // `v == (c ? v : v + 1)` over a variable v that c reads (or the first one).
  int32_t Condition(const Term& condition) {
    if (condition.kind == Term::Kind::kBinary && IsRelationCode(condition.value)) {
      for (int side = 0; side < 2; ++side) {
        const Term& read = condition.operands[static_cast<size_t>(side)];
        if (read.kind != Term::Kind::kRead || read.operands[0].FixedVariable() < 0)
          continue;
        const Term& bound = condition.operands[static_cast<size_t>(1 - side)];
        const int32_t relation = side == 0 ? condition.value : MirroredRelation(condition.value);
        return Expression(Expr::Op(relation,
                                   Expr::Var(IntegerVariableId(read.operands[0].FixedVariable())),
                                   lowering_.LowerValue(bound))
                              .Compile());
      }
    }
    const Expr v = Expr::Var(IntegerVariableId(std::max(FirstVariableRead(condition), 0)));
    return Expression(Expr::Op(ExpType::kEqual, v,
                               Expr::Cond(lowering_.LowerValue(condition), v,
                                          Expr::Op(ExpType::kAdd, v, Expr::Const(1))))
                          .Compile());
  }

  int32_t ClockComparison(const ClockAtom& atom) {
    return Expression(
        Expr::Op(atom.relation, Expr::Var(ClockId(atom.clock)), lowering_.LowerValue(atom.bound))
            .Compile());
  }

  std::vector<AssignmentSpec> Assignments(const Edge& edge) {
    std::vector<AssignmentSpec> assignments;
    for (const Term& update : edge.updates) {
      if (update.kind == Term::Kind::kAssign) {
        const Term& target = update.operands[0];
        const Term& value = update.operands[1];
        if (target.kind == Term::Kind::kClock) {
          assignments.push_back(
              {ClockId(target.value), Expression(lowering_.LowerValue(value).Compile())});
          continue;
        }
        if (update.value == 0 && target.FixedVariable() >= 0 && IsPlain(value)) {
          const Term stored = target.cells[0].boolean ? Truth(value) : value;
          assignments.push_back({IntegerVariableId(target.FixedVariable()),
                                 Expression(lowering_.LowerValue(stored).Compile())});
          continue;
        }
      }
      assignments.push_back({0, Expression(lowering_.LowerEffect(update).Compile())});
    }
    return assignments;
  }

  // The jumps of one edge, in order.
  void Jumps(int32_t p, size_t e, std::vector<std::pair<JumpSpec, JumpOrigin>>& jumps) {
    const Edge& edge = network_.processes[static_cast<size_t>(p)].edges[e];
    const std::vector<GuardDisjunct>& disjuncts = guards_[static_cast<size_t>(p)][e];
    const JumpOrigin origin{edge.source, edge.selectValues};
    JumpSpec jump{.from = edge.from + 1,
                  .to = edge.to + 1,
                  .urgent = 0,
                  .syn = 0,
                  .synType = 0,
                  .broadcast = 0,
                  .assignments = Assignments(edge)};
    if (!edge.sync) {
      for (const GuardDisjunct& disjunct : disjuncts)
        jumps.emplace_back(WithGuard(jump, disjunct, {}), origin);
      return;
    }
    const Sync& sync = *edge.sync;
    RefuseClockGuard(edge);
    // A channel that the index never selects gets no jump; an index that may leave the array is
    // checked, so that leaving it is an error.
    const auto count = static_cast<int64_t>(sync.channels.size());
    const Interval indices = sync.index ? RangeOf(*sync.index, network_) : Interval{0, 0};
    const bool inside = indices.lower >= 0 && indices.upper < count;
    const int64_t lowest = inside ? indices.lower : std::max<int64_t>(indices.lower, 0);
    const int64_t highest = inside ? indices.upper : std::min<int64_t>(indices.upper, count - 1);
    for (int64_t k = lowest; k <= std::max(highest, lowest); ++k) {
      const int32_t channel = sync.channels[static_cast<size_t>(std::min(k, count - 1))];
      std::vector<Term> selected;
      if (sync.index) {
        Term index = *sync.index;
        if (!inside) {
          Term check;
          check.kind = Term::Kind::kCheck;
          check.size = static_cast<int32_t>(count);
          check.operands = {std::move(index)};
          index = std::move(check);
        }
        selected.push_back(Term::Binary(ExpType::kEqual, std::move(index),
                                        Term::Const(static_cast<int32_t>(k)), sync.pos));
      }
      JumpSpec synchronising = jump;
      synchronising.syn = channel + 1;
      synchronising.synType = sync.send ? 1 : 0;
      synchronising.broadcast = Broadcast(sync) ? 1 : 0;
      for (const GuardDisjunct& disjunct : disjuncts)
        jumps.emplace_back(WithGuard(synchronising, disjunct, selected), origin);
    }
  }

  // Time stops while a synchronisation on an urgent channel can be taken, which a clock guard
  // would make depend on the delay: such an edge is refused at its first clock.
  void RefuseClockGuard(const Edge& edge) {
    const Channel& channel = network_.channels[static_cast<size_t>(edge.sync->channels[0])];
    if (!channel.urgent)
      return;
    if (const Term* clock = FirstClock(edge.guard)) {
      const std::string array = channel.name.substr(0, channel.name.find('['));
      diagnostics_.Error(clock->pos, "an edge on the urgent channel " + array +
                                         " cannot have a clock in its guard");
    }
  }

  static const Term* FirstClock(const Term& term) {
    if (term.kind == Term::Kind::kClock)
      return &term;
    for (const Term& operand : term.operands) {
      if (const Term* clock = FirstClock(operand))
        return clock;
    }
    return nullptr;
  }

  // The guard's entries: the clock comparisons, then the integer conditions as one entry, so that
  // they evaluate left to right and lazily as the source says (every entry of a guard is
  // evaluated).
  JumpSpec WithGuard(JumpSpec jump, const GuardDisjunct& disjunct, const std::vector<Term>& extra) {
    std::vector<int32_t> ids;
    for (const ClockAtom& atom : disjunct.clocks)
      ids.push_back(ClockComparison(atom));
    std::vector<Term> conditions = disjunct.conditions;
    conditions.insert(conditions.end(), extra.begin(), extra.end());
    if (!conditions.empty())
      ids.push_back(Condition(Conjunction(std::move(conditions))));
    if (const int32_t guard = Constraint(std::move(ids)); guard != 0)
      jump.guard = guard;
    return jump;
  }

  ProcessSpec ProcessOf(int32_t p) {
    const Process& process = network_.processes[static_cast<size_t>(p)];
    ProcessSpec written;
    written.name = process.name;
    written.initLocation = process.init + 1;
    std::vector<std::vector<std::pair<JumpSpec, JumpOrigin>>> jumps(process.locations.size());
    for (size_t l = 0; l < process.locations.size(); ++l) {
      const Location& location = process.locations[l];
      LocationSpec locationSpec{location.name, {}, {}};
      if (location.committed)
        locationSpec.committed = 1;
      if (location.urgent)
        locationSpec.urgent = 1;
      for (const ActiveClock& active : clocks_.active[static_cast<size_t>(p)][l])
        locationSpec.activeClocks.push_back({ClockId(active.clock), active.L, active.U});
      const GuardDisjunct& invariant = invariants_[static_cast<size_t>(p)][l];
      std::vector<int32_t> ids;
      for (const ClockAtom& atom : invariant.clocks)
        ids.push_back(ClockComparison(atom));
      if (!invariant.conditions.empty())
        ids.push_back(Condition(Conjunction(invariant.conditions)));
      if (const int32_t constraint = Constraint(std::move(ids)); constraint != 0)
        locationSpec.invariant = constraint;
      written.locations.push_back(std::move(locationSpec));
    }
    for (size_t e = 0; e < process.edges.size(); ++e) {
      const auto from = static_cast<size_t>(process.edges[e].from);
      Jumps(p, e, jumps[from]);
    }
    std::vector<JumpOrigin>& origins = result_.origins[static_cast<size_t>(p)];
    for (const auto& location : jumps) {
      for (const auto& [jump, origin] : location) {
        written.jumps.push_back(jump);
        origins.push_back(origin);
      }
    }
    return written;
  }

  const Network& network_;
  const NetworkGuards& guards_;
  const NetworkInvariants& invariants_;
  const ClockPlan& clocks_;
  Diagnostics& diagnostics_;
  GeneratedModel result_;
  std::vector<int32_t> clockIds_;
  Lowering lowering_;
  std::map<std::string, int32_t> expressionIds_;
  std::map<std::vector<int32_t>, int32_t> constraintNumbers_;
};

}  // namespace

std::optional<GeneratedModel> GenerateModel(const Network& network, const NetworkGuards& guards,
                                            const NetworkInvariants& invariants,
                                            const ClockPlan& clocks,
                                            const std::vector<Query>& queries,
                                            Diagnostics& diagnostics) {
  return Generator(network, guards, invariants, clocks, diagnostics).Run(queries);
}

}  // namespace tickcheck::lang
