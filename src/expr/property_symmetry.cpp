#include "expr/property_symmetry.h"

#include <algorithm>

#include "expr/property_evaluation.h"

namespace tickcheck {
namespace {

// The most conjunctions that one witness is split into; a larger split keeps the part whole.
constexpr size_t kMaxDisjuncts = 64;

void Union(std::vector<int32_t>& into, const std::vector<int32_t>& more) {
  std::vector<int32_t> joined;
  std::set_union(into.begin(), into.end(), more.begin(), more.end(), std::back_inserter(joined));
  into = std::move(joined);
}

// Kuhn's augmenting paths: whether every left vertex can be matched to a distinct right one.
bool AugmentFrom(size_t left, const std::vector<std::vector<bool>>& edges,
                 std::vector<int32_t>& matchOfRight, std::vector<bool>& visited) {
  for (size_t right = 0; right < matchOfRight.size(); ++right) {
    if (!edges[left][right] || visited[right])
      continue;
    visited[right] = true;
    if (matchOfRight[right] < 0 ||
        AugmentFrom(static_cast<size_t>(matchOfRight[right]), edges, matchOfRight, visited)) {
      matchOfRight[right] = static_cast<int32_t>(left);
      return true;
    }
  }
  return false;
}

// Whether every left vertex can be matched to a distinct one of the `rights` right vertices;
// `matchOfRight` and `visited` are storage.
bool PerfectForLeft(const std::vector<std::vector<bool>>& edges, size_t rights,
                    std::vector<int32_t>& matchOfRight, std::vector<bool>& visited) {
  matchOfRight.assign(rights, -1);
  for (size_t left = 0; left < edges.size(); ++left) {
    visited.assign(rights, false);
    if (!AugmentFrom(left, edges, matchOfRight, visited))
      return false;
  }
  return true;
}

bool IsLeafCode(int32_t type) {
  return !(IsOperatorCode(type) || IsFormat2Code(type) || type == ExpType::kNot);
}

}  // namespace

// What a subtree reads, as far as the symmetry is concerned. Its value may be an identity of a
// set, as `scale * identity + shift` (only the identity itself, scale 1 and shift 0, may be
// compared; the others only index arrays).
struct PropertySymmetry::Info {
  std::vector<int32_t> mentions;  // global member numbers, ascending
  int32_t identitySet = -1;
  int64_t scale = 1;
  int64_t shift = 0;
  std::optional<int32_t> constant;
  bool mayFail = false;
  bool deadlock = false;
  bool clock = false;

  bool PureIdentity() const { return identitySet >= 0 && scale == 1 && shift == 0; }
  void Take(const Info& child) {
    Union(mentions, child.mentions);
    mayFail = mayFail || child.mayFail;
    deadlock = deadlock || child.deadlock;
    clock = clock || child.clock;
  }
};

PropertySymmetry::PropertySymmetry(const CSystem& model, const SymmetryIndex& index)
    : model_(model), index_(index) {
  int32_t offset = 0;
  for (const SymmetrySet& set : index.Sets()) {
    setOffset_.push_back(offset);
    offset += static_cast<int32_t>(set.members.size());
    fixed_.emplace_back(set.members.size(), false);
    fixedBy_.emplace_back(set.members.size(), -1);
  }
  plans_.resize(model.properties.size());
  for (size_t i = 0; i < model.properties.size(); ++i)
    PlanProperty(i);
  FixMembers();
}

int32_t PropertySymmetry::FreeCount(int32_t set) const {
  const std::vector<bool>& fixed = fixed_[static_cast<size_t>(set)];
  return static_cast<int32_t>(std::count(fixed.begin(), fixed.end(), false));
}

void PropertySymmetry::Coarse(Info& info) const {
  if (info.identitySet < 0)
    return;
  const int32_t set = info.identitySet;
  const auto count = static_cast<int32_t>(index_.Sets()[static_cast<size_t>(set)].members.size());
  std::vector<int32_t> all;
  for (int32_t k = 0; k < count; ++k)
    all.push_back(GlobalMember(set, k));
  Union(info.mentions, all);
  info.identitySet = -1;
}

PropertySymmetry::Info PropertySymmetry::Analyse(const CExpression& expression,
                                                 int32_t node) const {
  Info info;
  if (node < 0)
    return info;
  const ExpNode& n = expression.Nodes()[static_cast<size_t>(node)];
  const auto variableInfo = [this](int32_t variable, Info& into) {
    if (variable < 1 || static_cast<size_t>(variable) > model_.variables.size())
      return;
    const SymmetryIndex::Owner& owner = index_.OwnerOf(variable);
    if (owner.set >= 0)
      Union(into.mentions, {GlobalMember(owner.set, owner.member)});
    into.identitySet = index_.IdentitySetOf(variable);
    into.clock = model_.variables[static_cast<size_t>(variable) - 1].Type == VarType::kClock;
  };
  if (expression.IsBound(node)) {
    variableInfo(n.variable, info);
    return info;
  }
  if (IsLeafCode(n.type)) {
    info.constant = n.value;
    return info;
  }
  Info left = Analyse(expression, n.left);
  Info right = Analyse(expression, n.right);
  switch (n.type) {
    case ExpType::kAtLocation: {
      if (n.value >= 1 && static_cast<size_t>(n.value) <= model_.processes.size()) {
        const SymmetryIndex::Owner& member = index_.MemberOf(n.value);
        if (member.set >= 0)
          Union(info.mentions, {GlobalMember(member.set, member.member)});
      }
      return info;
    }
    case ExpType::kDeadlock:
      info.deadlock = true;
      info.mayFail = true;
      return info;
    case ExpType::kConditional: {
      const ExpNode& link = expression.Nodes()[static_cast<size_t>(n.right)];
      Info then = Analyse(expression, link.left);
      Info otherwise = Analyse(expression, link.right);
      Coarse(left);
      const bool identity = then.PureIdentity() && otherwise.PureIdentity() &&
                            then.identitySet == otherwise.identitySet;
      const int32_t set = then.identitySet;
      if (!identity) {
        Coarse(then);
        Coarse(otherwise);
      }
      info.Take(left);
      info.Take(then);
      info.Take(otherwise);
      info.identitySet = identity ? set : -1;
      return info;
    }
    case ExpType::kArrayRead:
    case ExpType::kIndexCheck:
    case ExpType::kRangeCheck:
      break;
    default:
      if (IsRelationCode(n.type)) {
        if (left.identitySet >= 0 || right.identitySet >= 0) {
          const bool equality = n.type == ExpType::kEqual || n.type == ExpType::kNotEqual;
          if (left.PureIdentity() && right.PureIdentity() &&
              left.identitySet == right.identitySet && equality) {
            left.identitySet = right.identitySet = -1;
          } else if ((left.PureIdentity() && right.constant) ||
                     (right.PureIdentity() && left.constant)) {
            // The comparison with a constant tells apart the members whose identities it holds
            // for from the others: those of the smaller side are mentioned.
            const bool identityLeft = left.PureIdentity();
            const int32_t set = identityLeft ? left.identitySet : right.identitySet;
            const int32_t constant = identityLeft ? *right.constant : *left.constant;
            const std::vector<SymmetryMember>& members =
                index_.Sets()[static_cast<size_t>(set)].members;
            std::vector<int32_t> holding;
            std::vector<int32_t> failing;
            for (size_t k = 0; k < members.size(); ++k) {
              const bool holds = identityLeft ? ApplyRelation(n.type, members[k].value, constant)
                                              : ApplyRelation(n.type, constant, members[k].value);
              (holds ? holding : failing).push_back(GlobalMember(set, static_cast<int32_t>(k)));
            }
            Union(info.mentions, holding.size() <= failing.size() ? holding : failing);
            left.identitySet = right.identitySet = -1;
          }
          Coarse(left);
          Coarse(right);
        }
        info.Take(left);
        info.Take(right);
        return info;
      }
      break;
  }
  switch (n.type) {
    case ExpType::kAdd:
    case ExpType::kSubtract:
    case ExpType::kMultiply: {
      // An identity moved by constants can still index the arrays that its members own.
      const bool identityLeft = left.identitySet >= 0 && right.constant;
      const bool identityRight =
          right.identitySet >= 0 && left.constant && n.type != ExpType::kSubtract;
      if (identityLeft || identityRight) {
        Info& identity = identityLeft ? left : right;
        const int64_t constant = identityLeft ? *right.constant : *left.constant;
        info.Take(left);
        info.Take(right);
        info.identitySet = identity.identitySet;
        info.scale = identity.scale;
        info.shift = identity.shift;
        if (n.type == ExpType::kMultiply) {
          info.scale *= constant;
          info.shift *= constant;
        } else {
          info.shift += n.type == ExpType::kAdd ? constant : -constant;
        }
        if (info.scale == 0 || std::abs(info.scale) > (1 << 20) || std::abs(info.shift) > (1 << 30))
          Coarse(info);
        return info;
      }
      break;
    }
    case ExpType::kIndexCheck:
    case ExpType::kRangeCheck:
      // The value passes unchanged, or the evaluation fails.
      info = left;
      info.mayFail = true;
      return info;
    case ExpType::kArrayRead: {
      info.mayFail = true;
      if (left.constant && *left.constant >= 0 && *left.constant < n.value) {
        info.mayFail = false;
        variableInfo(n.variable + *left.constant, info);
        return info;
      }
      if (left.identitySet >= 0) {
        // Member k's identity must read its own cell, in one role, and no other index a member's.
        const int32_t set = left.identitySet;
        const std::vector<SymmetryMember>& members =
            index_.Sets()[static_cast<size_t>(set)].members;
        std::vector<bool> ownedByIdentity(static_cast<size_t>(std::max(n.value, 0)), false);
        int32_t role = -1;
        int32_t elementIdentity = -2;
        bool owned = true;
        for (size_t k = 0; k < members.size() && owned; ++k) {
          const int64_t element = left.scale * members[k].value + left.shift;
          if (element < 0 || element >= n.value) {
            owned = false;
            break;
          }
          const int32_t variable = n.variable + static_cast<int32_t>(element);
          const SymmetryIndex::Owner& owner = index_.OwnerOf(variable);
          owned = owner.set == set && owner.member == static_cast<int32_t>(k) &&
                  (role < 0 || owner.role == role);
          role = owner.role;
          const int32_t identity = index_.IdentitySetOf(variable);
          owned = owned && (elementIdentity == -2 || elementIdentity == identity);
          elementIdentity = identity;
          ownedByIdentity[static_cast<size_t>(element)] = true;
        }
        for (int32_t e = 0; e < n.value && owned; ++e) {
          owned =
              ownedByIdentity[static_cast<size_t>(e)] ||
              (index_.OwnerOf(n.variable + e).set < 0 && index_.IdentitySetOf(n.variable + e) < 0);
        }
        if (owned) {
          info.Take(left);
          info.identitySet = elementIdentity >= 0 ? elementIdentity : -1;
          info.clock = false;
          return info;
        }
      }
      Coarse(left);
      info.Take(left);
      for (int32_t e = 0; e < n.value; ++e) {
        Info element;
        variableInfo(n.variable + e, element);
        Coarse(element);
        info.Take(element);
      }
      return info;
    }
    case ExpType::kDivide:
    case ExpType::kRemainder:
      info.mayFail = !(right.constant && *right.constant != 0);
      break;
    case ExpType::kShiftLeft:
    case ExpType::kShiftRight:
      info.mayFail = !(right.constant && *right.constant >= 0 && *right.constant <= 31);
      break;
    default:
      // Sequences, locals, loops and function bodies: their parts are not split, and may fail.
      info.mayFail = n.type >= ExpType::kSequence && n.type <= ExpType::kFunction;
      break;
  }
  Coarse(left);
  Coarse(right);
  info.Take(left);
  info.Take(right);
  return info;
}

std::vector<std::vector<PropertySymmetry::Literal>> PropertySymmetry::Split(
    const CExpression& expression, int32_t node, bool positive) const {
  const ExpNode& n = expression.Nodes()[static_cast<size_t>(node)];
  Info info = Analyse(expression, node);
  if (!info.mayFail) {
    const bool conjunction = (n.type == ExpType::kAnd) == positive;
    if (n.type == ExpType::kAnd || n.type == ExpType::kOr) {
      std::vector<std::vector<Literal>> left = Split(expression, n.left, positive);
      std::vector<std::vector<Literal>> right = Split(expression, n.right, positive);
      if (!conjunction && left.size() + right.size() <= kMaxDisjuncts) {
        left.insert(left.end(), right.begin(), right.end());
        return left;
      }
      if (conjunction && left.size() * right.size() <= kMaxDisjuncts) {
        std::vector<std::vector<Literal>> crossed;
        for (const std::vector<Literal>& a : left) {
          for (const std::vector<Literal>& b : right) {
            crossed.push_back(a);
            crossed.back().insert(crossed.back().end(), b.begin(), b.end());
          }
        }
        return crossed;
      }
    } else if (n.type == ExpType::kLogicalNot) {
      return Split(expression, n.left, !positive);
    }
  }
  Coarse(info);
  Literal literal;
  literal.node = node;
  literal.negated = !positive;
  literal.mentions = std::move(info.mentions);
  literal.deadlock = info.deadlock;
  literal.clock = info.clock || info.deadlock;
  if (n.type == ExpType::kAtLocation && !expression.IsBound(node))
    literal.location = n.variable;
  return {{std::move(literal)}};
}

void PropertySymmetry::PlanProperty(size_t property) {
  const CProperty& record = model_.properties[property];
  Plan& plan = plans_[property];
  plan.universal = record.Type == 1;
  if (record.expression >= 0) {
    const CExpression& expression = model_.expressions[record.expression];
    if (expression.Loaded() && (record.Type == 0 || record.Type == 1)) {
      plan.expression = record.expression;
      plan.readsClock = Analyse(expression, expression.Root()).clock;
      plan.witness = Split(expression, expression.Root(), record.Type == 0);
    }
    return;
  }
  // Atoms are decided on the representative itself: the members they name stay where they are.
  for (const CAtomProperty& atom : record.atoms) {
    Info info;
    if (atom.kind == CAtomProperty::kLocation) {
      if (atom.process >= 1 && static_cast<size_t>(atom.process) <= model_.processes.size()) {
        const SymmetryIndex::Owner& member = index_.MemberOf(atom.process);
        if (member.set >= 0)
          info.mentions.push_back(GlobalMember(member.set, member.member));
      }
    } else if (atom.variable >= 1 &&
               static_cast<size_t>(atom.variable) <= model_.variables.size()) {
      const SymmetryIndex::Owner& owner = index_.OwnerOf(atom.variable);
      if (owner.set >= 0)
        info.mentions.push_back(GlobalMember(owner.set, owner.member));
      info.identitySet = index_.IdentitySetOf(atom.variable);
      Coarse(info);
    }
    Literal literal;
    literal.mentions = std::move(info.mentions);
    literal.deadlock = true;  // decided on the state alone
    plan.witness.push_back({std::move(literal)});
  }
}

void PropertySymmetry::FixMembers() {
  const auto fix = [this](int32_t global, int32_t property) {
    for (size_t s = 0; s < setOffset_.size(); ++s) {
      const int32_t k = global - setOffset_[s];
      if (k >= 0 && static_cast<size_t>(k) < fixed_[s].size()) {
        if (!fixed_[s][static_cast<size_t>(k)])
          fixedBy_[s][static_cast<size_t>(k)] = property;
        fixed_[s][static_cast<size_t>(k)] = true;
        return;
      }
    }
  };
  const auto isFixed = [this](int32_t global) {
    for (size_t s = 0; s < setOffset_.size(); ++s) {
      const int32_t k = global - setOffset_[s];
      if (k >= 0 && static_cast<size_t>(k) < fixed_[s].size())
        return static_cast<bool>(fixed_[s][static_cast<size_t>(k)]);
    }
    return true;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i < plans_.size(); ++i) {
      for (const std::vector<Literal>& conjunction : plans_[i].witness) {
        for (const Literal& literal : conjunction) {
          std::vector<int32_t> free;
          for (int32_t global : literal.mentions) {
            if (!isFixed(global))
              free.push_back(global);
          }
          if (free.size() >= 2 || (literal.deadlock && !free.empty())) {
            for (int32_t global : free)
              fix(global, static_cast<int32_t>(i));
            changed = true;
          }
        }
      }
    }
  }
  for (size_t s = 0; s < fixed_.size(); ++s) {
    if (FreeCount(static_cast<int32_t>(s)) < 2)
      std::fill(fixed_[s].begin(), fixed_[s].end(), true);
  }
  for (Plan& plan : plans_) {
    for (std::vector<Literal>& conjunction : plan.witness) {
      for (Literal& literal : conjunction) {
        for (int32_t global : literal.mentions) {
          if (isFixed(global))
            continue;
          for (size_t s = 0; s < setOffset_.size(); ++s) {
            const int32_t k = global - setOffset_[s];
            if (k >= 0 && static_cast<size_t>(k) < fixed_[s].size()) {
              literal.set = static_cast<int32_t>(s);
              literal.member = k;
            }
          }
        }
      }
    }
  }
  for (size_t s = 0; s < fixed_.size(); ++s) {
    freeMembers_.emplace_back();
    for (size_t k = 0; k < fixed_[s].size(); ++k) {
      if (!fixed_[s][k])
        freeMembers_.back().push_back(static_cast<int32_t>(k));
    }
  }
  for (Plan& plan : plans_) {
    const CExpression* expression =
        plan.expression >= 0 ? &model_.expressions[static_cast<size_t>(plan.expression)] : nullptr;
    for (std::vector<Literal>& conjunction : plan.witness) {
      // Locations are read without exchanging states, so they are tried first, then the
      // literals that no delay changes: when one of those fails, the rest cannot matter, not
      // even to the comparisons that the clocks meet. Only a conjunction of several literals is
      // reordered, and its literals cannot meet a run-time error (Split), so the order decides
      // nothing but the cost.
      if (expression != nullptr) {
        std::stable_partition(conjunction.begin(), conjunction.end(),
                              [](const Literal& literal) { return literal.location > 0; });
        std::stable_partition(conjunction.begin(), conjunction.end(),
                              [](const Literal& literal) { return !literal.clock; });
      }
      std::vector<NamedMembers>& named = plan.named.emplace_back();
      for (size_t l = 0; l < conjunction.size(); ++l) {
        const Literal& literal = conjunction[l];
        if (literal.set < 0)
          continue;
        auto of = std::find_if(named.begin(), named.end(),
                               [&](const NamedMembers& n) { return n.set == literal.set; });
        if (of == named.end())
          of = named.insert(named.end(), NamedMembers{literal.set, {}, {}});
        auto member = std::find(of->members.begin(), of->members.end(), literal.member);
        if (member == of->members.end()) {
          of->members.push_back(literal.member);
          of->literals.emplace_back();
          member = of->members.end() - 1;
        }
        of->literals[static_cast<size_t>(member - of->members.begin())].push_back(
            static_cast<int32_t>(l));
      }
    }
  }
}

bool PropertySymmetry::LiteralHolds(const Literal& literal, const CExpression& expression,
                                    const DsState& state, int32_t actual,
                                    const DsState* exchangedState, const DeadlockHook* deadlock,
                                    std::vector<ClockComparison>* met,
                                    std::optional<RunTimeError>& error) const {
  const ExpNode& node = expression.Nodes()[static_cast<size_t>(literal.node)];
  const bool exchanged = actual >= 0 && actual != literal.member;
  if (literal.location > 0) {
    // The named process, with `actual` exchanged for its member, stands where `actual`'s does.
    int32_t process = node.value;
    if (exchanged)
      process = index_.Sets()[static_cast<size_t>(literal.set)]
                    .members[static_cast<size_t>(actual)]
                    .process;
    const bool at = process >= 1 && static_cast<size_t>(process) <= state.locations.size() &&
                    state.locations[static_cast<size_t>(process) - 1] == node.variable;
    return at != literal.negated;
  }
  const DsState& evaluated = exchanged ? *exchangedState : state;
  std::vector<ClockComparison> seen;
  const Evaluated value =
      EvaluateObservedAt(expression, literal.node, model_, evaluated, deadlock, seen);
  if (met != nullptr) {
    for (ClockComparison comparison : seen) {
      if (exchanged)
        comparison.clock =
            index_.ExchangedVariable(comparison.clock, literal.set, actual, literal.member);
      met->push_back(comparison);
    }
  }
  if (!value.Ok() && !error)
    error = value.error;
  const bool holds = value.Ok() && value.value != 0;
  return holds != literal.negated;
}

bool PropertySymmetry::DisjunctHolds(const std::vector<Literal>& literals,
                                     const std::vector<NamedMembers>& named,
                                     const CExpression& expression, const DsState& state,
                                     const DeadlockHook* deadlock,
                                     std::vector<ClockComparison>* met,
                                     std::optional<RunTimeError>& error) const {
  bool holds = true;
  for (const Literal& literal : literals) {
    if (literal.set >= 0)
      continue;
    if (!LiteralHolds(literal, expression, state, -1, nullptr, deadlock, met, error)) {
      holds = false;
      if (met == nullptr || !literal.clock)
        return false;
    }
  }
  for (const NamedMembers& row : named) {
    const std::vector<int32_t>& actuals = freeMembers_[static_cast<size_t>(row.set)];
    const std::vector<SymmetryMember>& members =
        index_.Sets()[static_cast<size_t>(row.set)].members;
    edges_.resize(row.members.size());
    for (size_t m = 0; m < row.members.size(); ++m) {
      edges_[m].assign(actuals.size(), false);
      for (size_t a = 0; a < actuals.size(); ++a) {
        // The named member and this one are exchanged in the copy of the state at most once for
        // all the literals that read more than a location, and exchanged back after them.
        bool exchanged = false;
        bool edge = true;
        for (const int32_t l : row.literals[m]) {
          const Literal& literal = literals[static_cast<size_t>(l)];
          if (literal.location > 0) {
            // Where the member stands that the named one is exchanged with: no state to make.
            const int32_t process = members[static_cast<size_t>(actuals[a])].process;
            if ((state.locations[static_cast<size_t>(process) - 1] == literal.location) !=
                literal.negated) {
              continue;
            }
            edge = false;
            break;
          }
          if (!exchanged && actuals[a] != literal.member) {
            if (!copied_) {
              exchangedLocations_.assign(state.locations.begin(), state.locations.end());
              exchanged_.intValues = state.intValues;
              exchanged_.clockValues = state.clockValues;
              exchanged_.activeClocks = state.activeClocks;
              exchanged_.locations = exchangedLocations_;
              exchanged_.locationIndex = -1;
              copied_ = true;
            }
            index_.Exchange(exchanged_, exchangedLocations_, row.set, actuals[a], literal.member);
            exchanged = true;
          }
          if (!LiteralHolds(literal, expression, state, actuals[a], &exchanged_, deadlock, met,
                            error)) {
            edge = false;
            if (met == nullptr || !literal.clock)
              break;
          }
        }
        if (exchanged)
          index_.Exchange(exchanged_, exchangedLocations_, row.set, actuals[a], row.members[m]);
        edges_[m][a] = edge;
        // One named member needs one member it can be.
        if (edge && row.members.size() == 1 && met == nullptr)
          break;
      }
    }
    if (!PerfectForLeft(edges_, actuals.size(), matchOfRight_, visited_)) {
      holds = false;
      if (met == nullptr)
        return false;
    }
  }
  return holds;
}

PropertySymmetry::Answer PropertySymmetry::Decide(size_t property, const DsState& state,
                                                  const DeadlockHook* deadlock,
                                                  std::vector<ClockComparison>* met) const {
  const CProperty& record = model_.properties[property];
  const Plan& plan = plans_[property];
  Answer answer;
  if (plan.expression < 0) {
    if (record.expression < 0) {
      answer.holds = Holds(record, model_, state);
      return answer;
    }
    std::vector<ClockComparison> seen;
    const Evaluated value =
        EvaluateObserved(model_.expressions[record.expression], model_, state, deadlock, seen);
    if (met != nullptr)
      met->insert(met->end(), seen.begin(), seen.end());
    answer.error = value.error;
    answer.holds = value.Ok() && value.value != 0;
    return answer;
  }
  const CExpression& expression = model_.expressions[plan.expression];
  bool witnessed = false;
  copied_ = false;
  for (size_t c = 0; c < plan.witness.size(); ++c) {
    if (DisjunctHolds(plan.witness[c], plan.named[c], expression, state, deadlock, met,
                      answer.error)) {
      witnessed = true;
      if (met == nullptr)
        break;
    }
  }
  answer.holds = plan.universal ? !witnessed : witnessed;
  return answer;
}

}  // namespace tickcheck
