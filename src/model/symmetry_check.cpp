#include "model/symmetry_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace tickcheck {
namespace {

bool IsLeafCode(int32_t type) {
  return !(IsOperatorCode(type) || IsFormat2Code(type) || type == ExpType::kNot);
}

bool IsLoopCode(int32_t type) {
  return type == ExpType::kWhile || type == ExpType::kDoWhile || type == ExpType::kFor;
}

// Where a value stands: where any integer may, or where an identity (or a constant) must.
enum class Place { kPlain, kIdentity };

// The check of one set: the exchange of member 0 with member `k` (0: no exchange, which checks
// only where identities stand).
class SetCheck {
 public:
  SetCheck(const CSystem& system, const SymmetrySet& set)
      : system_(system),
        set_(set),
        member_(system.variables.size() + 1, -1),
        role_(system.variables.size() + 1, -1),
        identity_(system.variables.size() + 1, false),
        processMember_(system.processes.size() + 1, -1) {
    for (size_t m = 0; m < set.members.size(); ++m) {
      processMember_[static_cast<size_t>(set.members[m].process)] = static_cast<int32_t>(m);
      for (size_t j = 0; j < set.members[m].own.size(); ++j) {
        member_[static_cast<size_t>(set.members[m].own[j])] = static_cast<int32_t>(m);
        role_[static_cast<size_t>(set.members[m].own[j])] = static_cast<int32_t>(j);
      }
    }
    for (int32_t id : set.identities)
      identity_[static_cast<size_t>(id)] = true;
    for (size_t m = 0; m < set.members.size(); ++m) {
      for (size_t j = 0; j < set.members[m].channels.size(); ++j)
        channelOwner_[set.members[m].channels[j]] = {static_cast<int32_t>(m),
                                                     static_cast<int32_t>(j)};
    }
  }

  // Narrows the identity variables; false (with a reason) when a use breaks the symmetry.
  bool NarrowIdentities() {
    for (int32_t id : set_.identities) {
      const CVariable& variable = Variable(id);
      for (const SymmetryMember& member : set_.members) {
        if (member.value < variable.Min || member.value > variable.Max)
          Drop(id);
      }
    }
    for (;;) {
      exchanged_ = 0;
      blame_ = 0;
      if (Uses())
        return true;
      if (blame_ == 0 || !IsIdentity(blame_))
        return false;
      dropped_.push_back(reason_);
      Drop(blame_);
    }
  }

  // Whether the exchange of member 0 with every other member maps the model onto itself.
  bool Exchanges() {
    for (size_t k = 1; k < set_.members.size(); ++k) {
      exchanged_ = static_cast<int32_t>(k);
      if (!Variables())
        return false;
      for (int32_t p = 1; p <= static_cast<int32_t>(system_.processes.size()); ++p) {
        if (!SameProcess(system_.processes[static_cast<size_t>(p) - 1],
                         system_.processes[static_cast<size_t>(Process(p)) - 1])) {
          reason_ = "process " + system_.processes[static_cast<size_t>(p) - 1].ProcessName +
                    " is not matched when " + Name(0) + " and " + Name(exchanged_) +
                    " are exchanged";
          return false;
        }
      }
    }
    return true;
  }

  std::vector<int32_t> Identities() const {
    std::vector<int32_t> kept;
    for (int32_t id : set_.identities) {
      if (identity_[static_cast<size_t>(id)])
        kept.push_back(id);
    }
    return kept;
  }
  const std::string& Reason() const { return reason_; }
  // Why identity variables were left out, one entry each.
  const std::vector<std::string>& Dropped() const { return dropped_; }

 private:
  const CVariable& Variable(int32_t id) const {
    return system_.variables[static_cast<size_t>(id) - 1];
  }
  std::string Name(int32_t member) const {
    return system_
        .processes[static_cast<size_t>(set_.members[static_cast<size_t>(member)].process) - 1]
        .ProcessName;
  }
  bool IsIdentity(int32_t variable) const {
    return variable >= 1 && static_cast<size_t>(variable) < identity_.size() &&
           identity_[static_cast<size_t>(variable)];
  }
  // Removes `variable` (with the variables of its role, for an own one) from the identities.
  void Drop(int32_t variable) {
    identity_[static_cast<size_t>(variable)] = false;
    const int32_t role = role_[static_cast<size_t>(variable)];
    if (role < 0)
      return;
    for (const SymmetryMember& member : set_.members)
      identity_[static_cast<size_t>(member.own[static_cast<size_t>(role)])] = false;
  }

  // The exchange on variables, identity values and processes.
  int32_t Exchange(int32_t member) const {
    if (member == 0)
      return exchanged_;
    return member == exchanged_ ? 0 : member;
  }
  int32_t Var(int32_t variable) const {
    if (variable < 1 || static_cast<size_t>(variable) >= member_.size())
      return variable;
    const int32_t member = member_[static_cast<size_t>(variable)];
    if (member < 0)
      return variable;
    return set_.members[static_cast<size_t>(Exchange(member))]
        .own[static_cast<size_t>(role_[static_cast<size_t>(variable)])];
  }
  int32_t Channel(int32_t channel) const {
    const auto owner = channelOwner_.find(channel);
    if (owner == channelOwner_.end())
      return channel;
    return set_.members[static_cast<size_t>(Exchange(owner->second.first))]
        .channels[static_cast<size_t>(owner->second.second)];
  }
  int32_t Value(int32_t value) const {
    for (size_t m = 0; m < set_.members.size(); ++m) {
      if (set_.members[m].value == value)
        return set_.members[static_cast<size_t>(Exchange(static_cast<int32_t>(m)))].value;
    }
    return value;
  }
  int32_t Process(int32_t process) const {
    const int32_t member = processMember_[static_cast<size_t>(process)];
    return member < 0 ? process : set_.members[static_cast<size_t>(Exchange(member))].process;
  }

  // Fails a match for a use of an identity where only a plain integer may stand (or the
  // reverse); `variable` is the identity variable to blame.
  bool Misplaced(int32_t variable) {
    if (blame_ == 0 && variable > 0)
      blame_ = variable;
    return false;
  }

  // Whether the subtree's value is an identity of the set (read from identity variables).
  bool HoldsIdentity(const CExpression& e, int32_t node) const {
    if (node < 0)
      return false;
    const ExpNode& n = e.Nodes()[static_cast<size_t>(node)];
    if (e.IsBound(node))
      return IsIdentity(n.variable);
    switch (n.type) {
      case ExpType::kArrayRead:
      case ExpType::kAssignElement: {
        // A field of elements of several cells: the cells of that field.
        const std::optional<ElementIndex> element = ElementIndexOf(e, n.left);
        const int32_t stride = element ? element->stride : 1;
        const int32_t from = element ? element->offset : 0;
        bool all = n.value > 0 && from >= 0 && from < stride;
        for (int32_t c = from; c < n.value && all; c += stride)
          all = IsIdentity(n.variable + c);
        return all;
      }
      case ExpType::kAssign:
        return IsIdentity(n.variable);
      case ExpType::kIndexCheck:
      case ExpType::kRangeCheck:
        return HoldsIdentity(e, n.left);
      case ExpType::kConditional: {
        const ExpNode& link = e.Nodes()[static_cast<size_t>(n.right)];
        return HoldsIdentity(e, link.left) || HoldsIdentity(e, link.right);
      }
      default:
        return false;
    }
  }
  // The first cell that an array read or element assignment may name (of its field, for
  // elements of several cells).
  int32_t IdentityCell(const CExpression& e, int32_t node) const {
    const ExpNode& n = e.Nodes()[static_cast<size_t>(node)];
    const std::optional<ElementIndex> element = ElementIndexOf(e, n.left);
    return element && element->offset >= 0 && element->offset < element->stride
               ? n.variable + element->offset
               : n.variable;
  }
  // The first identity variable the subtree reads directly, for blame (0: none).
  int32_t IdentityRead(const CExpression& e, int32_t node) const {
    if (node < 0)
      return 0;
    const ExpNode& n = e.Nodes()[static_cast<size_t>(node)];
    if (e.IsBound(node))
      return IsIdentity(n.variable) ? n.variable : 0;
    if ((n.type == ExpType::kArrayRead || n.type == ExpType::kAssignElement) &&
        HoldsIdentity(e, node))
      return IdentityCell(e, node);
    if (n.type == ExpType::kAssign && IsIdentity(n.variable))
      return n.variable;
    for (int32_t child : {n.left, n.right}) {
      if (const int32_t found = IdentityRead(e, child); found != 0)
        return found;
    }
    return 0;
  }

  // Whether the subtree is `v == (c ? v : v + 1)` over one variable v: the truth of c, whatever
  // v is (how a model file writes a condition that is not a comparison).
  static bool IsCondition(const CExpression& e, int32_t node) {
    const auto bound = [&e](int32_t n) { return n >= 0 && e.IsBound(n); };
    const auto at = [&e](int32_t n) -> const ExpNode& { return e.Nodes()[static_cast<size_t>(n)]; };
    const ExpNode& root = at(node);
    if (bound(node) || root.type != ExpType::kEqual || !bound(root.left) || root.right < 0 ||
        bound(root.right) || at(root.right).type != ExpType::kConditional)
      return false;
    const int32_t v = at(root.left).variable;
    const ExpNode& cond = at(root.right);
    if (cond.right < 0 || bound(cond.right))
      return false;
    const ExpNode& link = at(cond.right);
    if (!bound(link.left) || at(link.left).variable != v || link.right < 0 || bound(link.right))
      return false;
    const ExpNode& next = at(link.right);
    return next.type == ExpType::kAdd && bound(next.left) && at(next.left).variable == v &&
           next.right >= 0 && !bound(next.right) && IsLeafCode(at(next.right).type) &&
           at(next.right).value == 1;
  }

  // An index `(inner * stride) + offset` (under index checks; `+ offset` may be absent) into an
  // array of elements of `stride` cells, as a field of an element of a record or row reads.
  struct ElementIndex {
    int32_t inner = -1;
    int32_t stride = 1;
    int32_t offset = 0;
  };
  static std::optional<ElementIndex> ElementIndexOf(const CExpression& e, int32_t node) {
    const auto at = [&e](int32_t n) -> const ExpNode& { return e.Nodes()[static_cast<size_t>(n)]; };
    while (node >= 0 && !e.IsBound(node) && at(node).type == ExpType::kIndexCheck)
      node = at(node).left;
    if (node < 0 || e.IsBound(node))
      return std::nullopt;
    ElementIndex index;
    if (at(node).type == ExpType::kAdd && IsConstant(e, at(node).right)) {
      index.offset = at(at(node).right).value;
      node = at(node).left;
    }
    if (node < 0 || e.IsBound(node) || at(node).type != ExpType::kMultiply ||
        !IsConstant(e, at(node).right) || at(at(node).right).value < 1)
      return std::nullopt;
    index.stride = at(at(node).right).value;
    index.inner = at(node).left;
    return index;
  }
  // Whether the cells at `offset`, `offset + stride`, ... of the array of `count` cells from
  // `first` are one own cell of each member in one role, member m's at element `value_m - shift`,
  // and cells of no member elsewhere: then that field is indexed by identities.
  std::optional<int32_t> OwnElementShift(int32_t first, int32_t count, int32_t stride,
                                         int32_t offset) const {
    if (offset < 0 || offset >= stride)
      return std::nullopt;
    std::optional<int32_t> shift;
    int32_t role = -1;
    size_t owned = 0;
    for (int32_t c = offset; c < count; c += stride) {
      const int32_t member = member_[static_cast<size_t>(first + c)];
      if (member < 0)
        continue;
      ++owned;
      const int32_t cellRole = role_[static_cast<size_t>(first + c)];
      if ((role >= 0 && cellRole != role))
        return std::nullopt;
      role = cellRole;
      const int32_t memberShift = set_.members[static_cast<size_t>(member)].value - c / stride;
      if (shift && *shift != memberShift)
        return std::nullopt;
      shift = memberShift;
    }
    return owned == set_.members.size() ? shift : std::nullopt;
  }
  // Whether node nb of `b` is an operator node of the same type and value as node na of `a`: the
  // first step of matching two indices.
  static bool SameOperator(const CExpression& a, int32_t na, const CExpression& b, int32_t nb) {
    if (nb < 0 || b.IsBound(nb))
      return false;
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    return x.type == y.type && x.value == y.value;
  }
  // The index of an element's field matched by MatchArray: the same checks, stride and offset,
  // and the identity index inside.
  bool MatchElementIndex(const CExpression& a, int32_t na, const CExpression& b, int32_t nb,
                         int32_t shift, int32_t owner) {
    if (!SameOperator(a, na, b, nb))
      return false;
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    if (x.type == ExpType::kIndexCheck)
      return MatchElementIndex(a, x.left, b, y.left, shift, owner);
    if (!IsConstant(b, y.right) || a.Nodes()[static_cast<size_t>(x.right)].value !=
                                       b.Nodes()[static_cast<size_t>(y.right)].value)
      return false;
    if (x.type == ExpType::kAdd)
      return MatchElementIndex(a, x.left, b, y.left, shift, owner);
    return MatchIdentityIndex(a, x.left, b, y.left, shift, owner);
  }

  // Whether the array of `count` cells from `first` holds one own cell of each member in one
  // role, member m's at `value_m - shift`: then the array is indexed by identities. Its other
  // cells belong to no member (the cells of identities that are no member's, which stay).
  std::optional<int32_t> OwnArrayShift(int32_t first, int32_t count) const {
    return OwnElementShift(first, count, 1, 0);
  }
  // Whether the array maps onto itself cell by cell under the exchange (no cell of a member, or
  // moved as a whole to the array `to`).
  bool MovesWhole(int32_t first, int32_t to, int32_t count) const {
    for (int32_t c = 0; c < count; ++c) {
      if (Var(first + c) != to + c)
        return false;
    }
    return true;
  }

  static bool IsOne(const CExpression& e, int32_t node) {
    return node >= 0 && !e.IsBound(node) && IsLeafCode(e.Nodes()[static_cast<size_t>(node)].type) &&
           e.Nodes()[static_cast<size_t>(node)].value == 1;
  }

  // An index `identity - shift` (or `identity + -shift`, or the identity when shift is 0),
  // possibly under index checks and times 1.
  bool MatchIdentityIndex(const CExpression& a, int32_t na, const CExpression& b, int32_t nb,
                          int32_t shift, int32_t owner) {
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    if (!a.IsBound(na) && !b.IsBound(nb) && x.type == y.type && x.type == ExpType::kIndexCheck) {
      return x.value == y.value && MatchIdentityIndex(a, x.left, b, y.left, shift, owner);
    }
    if (shift == 0 && HoldsIdentity(a, na))
      return Match(a, na, b, nb, Place::kIdentity, owner);
    // An offset of one-cell elements: `index * 1`.
    if (!a.IsBound(na) && !b.IsBound(nb) && x.type == y.type && x.type == ExpType::kMultiply &&
        IsOne(a, x.right) && IsOne(b, y.right))
      return MatchIdentityIndex(a, x.left, b, y.left, shift, owner);
    if (a.IsBound(na) || b.IsBound(nb) || x.type != y.type)
      return Misplaced(owner);
    const bool minus = x.type == ExpType::kSubtract;
    if (!minus && x.type != ExpType::kAdd)
      return Misplaced(IdentityRead(a, na));
    const int32_t constant = minus ? shift : -shift;
    const auto isConstant = [&](const CExpression& e, int32_t node) {
      return node >= 0 && !e.IsBound(node) &&
             IsLeafCode(e.Nodes()[static_cast<size_t>(node)].type) &&
             e.Nodes()[static_cast<size_t>(node)].value == constant;
    };
    if (!isConstant(a, x.right) || !isConstant(b, y.right) || !HoldsIdentity(a, x.left))
      return Misplaced(IdentityRead(a, na));
    return Match(a, x.left, b, y.left, Place::kIdentity, owner);
  }

  // The constant c of `identity - c` (or `identity + -c`), possibly under index checks and times
  // 1, as the index of an array indexed by identities reads; none for another shape, or when an
  // index check could fail for a member's identity (then renaming would change the error).
  std::optional<int32_t> IdentityShift(const CExpression& e, int32_t node) const {
    std::vector<int32_t> sizes;
    for (;;) {
      if (node < 0 || e.IsBound(node))
        return std::nullopt;
      const ExpNode& n = e.Nodes()[static_cast<size_t>(node)];
      if (n.type == ExpType::kIndexCheck) {
        sizes.push_back(n.value);
      } else if (n.type != ExpType::kMultiply || !IsOne(e, n.right)) {
        break;
      }
      node = n.left;
    }
    const ExpNode& n = e.Nodes()[static_cast<size_t>(node)];
    if ((n.type != ExpType::kSubtract && n.type != ExpType::kAdd) || !HoldsIdentity(e, n.left) ||
        !IsConstant(e, n.right))
      return std::nullopt;
    const int32_t constant = e.Nodes()[static_cast<size_t>(n.right)].value;
    const int32_t shift = n.type == ExpType::kSubtract ? constant : -constant;
    for (int32_t size : sizes) {
      for (const SymmetryMember& member : set_.members) {
        if (member.value - shift < 0 || member.value - shift >= size)
          return std::nullopt;
      }
    }
    return shift;
  }
  static bool IsConstant(const CExpression& e, int32_t node) {
    return node >= 0 && !e.IsBound(node) && IsLeafCode(e.Nodes()[static_cast<size_t>(node)].type);
  }
  // `(identity - c) == k` (or !=), as a synchronisation on `channels[identity]` selects the channel
  // of index k: the constant k stands for the identity k + c. Nothing when the comparison has
  // another shape.
  std::optional<bool> MatchShiftedComparison(const CExpression& a, int32_t na, const CExpression& b,
                                             int32_t nb) {
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    for (const bool indexLeft : {true, false}) {
      const int32_t index = indexLeft ? x.left : x.right;
      const int32_t constant = indexLeft ? x.right : x.left;
      const int32_t otherConstant = indexLeft ? y.right : y.left;
      const std::optional<int32_t> shift = IdentityShift(a, index);
      if (!shift || !IsConstant(a, constant))
        continue;
      if (!IsConstant(b, otherConstant))
        return false;
      const int64_t k = a.Nodes()[static_cast<size_t>(constant)].value;
      return int64_t{Value(static_cast<int32_t>(k + *shift))} - *shift ==
                 b.Nodes()[static_cast<size_t>(otherConstant)].value &&
             MatchShiftedIndex(a, index, b, indexLeft ? y.left : y.right);
    }
    return std::nullopt;
  }
  // The index of MatchShiftedComparison: the same shape, the identity exchanged.
  bool MatchShiftedIndex(const CExpression& a, int32_t na, const CExpression& b, int32_t nb) {
    if (!SameOperator(a, na, b, nb))
      return false;
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    if (x.type == ExpType::kSubtract || x.type == ExpType::kAdd) {
      return IsConstant(b, y.right) &&
             a.Nodes()[static_cast<size_t>(x.right)].value ==
                 b.Nodes()[static_cast<size_t>(y.right)].value &&
             Match(a, x.left, b, y.left, Place::kIdentity, IdentityRead(a, x.left));
    }
    return (x.type != ExpType::kMultiply || IsOne(b, y.right)) &&
           MatchShiftedIndex(a, x.left, b, y.left);
  }

  // Array reads and element assignments: the cells, the index and (for an assignment) the value.
  bool MatchArray(const CExpression& a, int32_t na, const CExpression& b, int32_t nb, Place place,
                  int32_t owner) {
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    const bool holds = HoldsIdentity(a, na);
    const bool assign = x.type == ExpType::kAssignElement;
    if ((place == Place::kIdentity) != holds)
      return Misplaced(holds ? IdentityCell(a, na) : owner);
    if (x.value != y.value || x.value < 1)
      return false;
    const int32_t valueOwner = holds ? IdentityCell(a, na) : 0;
    const auto value = [&] {
      return !assign ||
             Match(a, x.right, b, y.right, holds ? Place::kIdentity : Place::kPlain, valueOwner);
    };
    // A constant index names one cell, which moves as a variable does.
    const auto constantIndex = [](const CExpression& e, int32_t node) -> std::optional<int32_t> {
      if (node < 0 || e.IsBound(node) || !IsLeafCode(e.Nodes()[static_cast<size_t>(node)].type))
        return std::nullopt;
      return e.Nodes()[static_cast<size_t>(node)].value;
    };
    const std::optional<int32_t> i = constantIndex(a, x.left);
    const std::optional<int32_t> j = constantIndex(b, y.left);
    if (i && j && *i >= 0 && *i < x.value && *j >= 0 && *j < y.value &&
        Var(x.variable + *i) == y.variable + *j) {
      return value();
    }
    // The members' own cells, one each, need an identity for index (also where no member moves).
    if (const std::optional<int32_t> shift = OwnArrayShift(x.variable, x.value); shift) {
      return x.variable == y.variable &&
             MatchIdentityIndex(a, x.left, b, y.left, *shift, IdentityRead(a, x.left)) && value();
    }
    // A field of the members' own elements of several cells.
    if (const std::optional<ElementIndex> element = ElementIndexOf(a, x.left); element) {
      if (const std::optional<int32_t> shift =
              OwnElementShift(x.variable, x.value, element->stride, element->offset)) {
        return x.variable == y.variable &&
               MatchElementIndex(a, x.left, b, y.left, *shift, IdentityRead(a, x.left)) && value();
      }
    }
    if (MovesWhole(x.variable, y.variable, x.value))
      return Match(a, x.left, b, y.left, Place::kPlain, 0) && value();
    return Misplaced(IdentityRead(a, x.left));
  }

  // Whether node `nb` of `b` is node `na` of `a` exchanged, where the value stands at `place`;
  // `owner` is the identity variable that makes the place one of identities (for blame).
  bool Match(const CExpression& a, int32_t na, const CExpression& b, int32_t nb, Place place,
             int32_t owner) {
    if (na < 0 || nb < 0)
      return na == nb;
    const ExpNode& x = a.Nodes()[static_cast<size_t>(na)];
    const ExpNode& y = b.Nodes()[static_cast<size_t>(nb)];
    if (a.IsBound(na) != b.IsBound(nb))
      return false;
    if (a.IsBound(na)) {
      const bool holds = IsIdentity(x.variable);
      if (holds != (place == Place::kIdentity))
        return Misplaced(holds ? x.variable : owner);
      return Var(x.variable) == y.variable;
    }
    if (x.type != y.type)
      return false;
    if (IsLeafCode(x.type))
      return (place == Place::kIdentity ? Value(x.value) : x.value) == y.value;
    switch (x.type) {
      case ExpType::kArrayRead:
      case ExpType::kAssignElement:
        return MatchArray(a, na, b, nb, place, owner);
      case ExpType::kAssign: {
        const bool holds = IsIdentity(x.variable);
        if (holds != (place == Place::kIdentity) && place == Place::kIdentity)
          return Misplaced(owner);
        if (holds && place == Place::kPlain)
          return Misplaced(x.variable);
        return Var(x.variable) == y.variable &&
               Match(a, x.right, b, y.right, holds ? Place::kIdentity : Place::kPlain,
                     holds ? x.variable : 0);
      }
      case ExpType::kConditional: {
        if (x.right < 0 || y.right < 0)
          return false;
        const ExpNode& linkA = a.Nodes()[static_cast<size_t>(x.right)];
        const ExpNode& linkB = b.Nodes()[static_cast<size_t>(y.right)];
        if (place == Place::kPlain && HoldsIdentity(a, na))
          return Misplaced(IdentityRead(a, na));
        return Match(a, x.left, b, y.left, Place::kPlain, 0) &&
               Match(a, linkA.left, b, linkB.left, place, owner) &&
               Match(a, linkA.right, b, linkB.right, place, owner);
      }
      case ExpType::kIndexCheck:
      case ExpType::kRangeCheck:
        return x.value == y.value && x.variable == y.variable &&
               Match(a, x.left, b, y.left, place, owner);
      case ExpType::kAtLocation:
        return place == Place::kPlain && Process(x.value) == y.value && x.variable == y.variable;
      default:
        break;
    }
    if (place == Place::kIdentity)
      return Misplaced(owner);
    if (x.variable != y.variable || (x.value != y.value && !IsLoopCode(x.type)))
      return false;
    if (IsCondition(a, na) && IsCondition(b, nb)) {
      const ExpNode& cond = a.Nodes()[static_cast<size_t>(x.right)];
      const ExpNode& other = b.Nodes()[static_cast<size_t>(y.right)];
      return Match(a, cond.left, b, other.left, Place::kPlain, 0);
    }
    if (x.type == ExpType::kEqual || x.type == ExpType::kNotEqual) {
      if (const std::optional<bool> shifted = MatchShiftedComparison(a, na, b, nb); shifted)
        return *shifted;
      const bool identities = HoldsIdentity(a, x.left) || HoldsIdentity(a, x.right);
      const Place sides = identities ? Place::kIdentity : Place::kPlain;
      const int32_t blame = identities ? IdentityRead(a, na) : 0;
      return Match(a, x.left, b, y.left, sides, blame) &&
             Match(a, x.right, b, y.right, sides, blame);
    }
    return Match(a, x.left, b, y.left, Place::kPlain, 0) &&
           Match(a, x.right, b, y.right, Place::kPlain, 0);
  }

  bool MatchExpression(int32_t ea, int32_t eb, Place place, int32_t owner) {
    if (!system_.expressions.Contains(ea) || !system_.expressions.Contains(eb))
      return ea == eb;
    const CExpression& a = system_.expressions[ea];
    const CExpression& b = system_.expressions[eb];
    if (!a.Loaded() || !b.Loaded())
      return false;
    return Match(a, a.Root(), b, b.Root(), place, owner);
  }
  bool MatchAssignment(const Assignment& a, const Assignment& b) {
    if (Var(a.varId) != b.varId)
      return false;
    const bool holds = IsIdentity(a.varId);
    return MatchExpression(a.expId, b.expId, holds ? Place::kIdentity : Place::kPlain,
                           holds ? a.varId : 0);
  }

  bool SameJump(const CJump& a, const CJump& b) {
    CJump x = a;
    CJump y = b;
    x.Syn = Channel(a.Syn);
    for (CJump* jump : {&x, &y}) {
      jump->number = 0;
      jump->assignments.clear();
      jump->guardExpIds.clear();
      jump->resetClockIds.clear();
    }
    if (!(x == y) || a.guardExpIds.size() != b.guardExpIds.size() ||
        a.assignments.size() != b.assignments.size() ||
        a.resetClockIds.size() != b.resetClockIds.size())
      return false;
    for (size_t g = 0; g < a.guardExpIds.size(); ++g) {
      if (!MatchExpression(a.guardExpIds[g], b.guardExpIds[g], Place::kPlain, 0))
        return false;
    }
    for (size_t k = 0; k < a.assignments.size(); ++k) {
      if (!MatchAssignment(a.assignments[k], b.assignments[k]))
        return false;
    }
    for (size_t k = 0; k < a.resetClockIds.size(); ++k) {
      if (Var(a.resetClockIds[k]) != b.resetClockIds[k])
        return false;
    }
    return true;
  }

  bool SameLocation(const CLocation& a, const CLocation& b) {
    CLocation x = a;
    CLocation y = b;
    for (CLocation* location : {&x, &y}) {
      location->activeClocks.clear();
      location->luBounds.clear();
      location->jumps.clear();
      location->invariantExpIds.clear();
    }
    if (!(x == y) || a.activeClocks.size() != b.activeClocks.size() ||
        a.luBounds.size() != b.luBounds.size() ||
        a.invariantExpIds.size() != b.invariantExpIds.size() || a.jumps.size() != b.jumps.size())
      return false;
    const auto bounds = [this](const CLocation& location, bool exchange) {
      std::vector<std::tuple<int32_t, int32_t, int32_t>> list;
      for (size_t k = 0; k < location.activeClocks.size(); ++k) {
        const int32_t clock = exchange ? Var(location.activeClocks[k]) : location.activeClocks[k];
        const LUBound bound = k < location.luBounds.size() ? location.luBounds[k] : LUBound{};
        list.emplace_back(clock, bound.L, bound.U);
      }
      std::sort(list.begin(), list.end());
      return list;
    };
    if (bounds(a, true) != bounds(b, false))
      return false;
    for (size_t i = 0; i < a.invariantExpIds.size(); ++i) {
      if (!MatchExpression(a.invariantExpIds[i], b.invariantExpIds[i], Place::kPlain, 0))
        return false;
    }
    for (const CJump& jump : a.jumps) {
      if (std::none_of(b.jumps.begin(), b.jumps.end(),
                       [&](const CJump& other) { return SameJump(jump, other); }))
        return false;
    }
    return true;
  }

  bool SameProcess(const CProcess& a, const CProcess& b) {
    // Every field but the name and the locations must be equal.
    CProcess x = a;
    CProcess y = b;
    for (int32_t& channel : x.broadcastChannels)
      channel = Channel(channel);
    for (CProcess* process : {&x, &y}) {
      process->ProcessName.clear();
      process->locations.clear();
    }
    if (!(x == y) || a.locations.size() != b.locations.size())
      return false;
    for (size_t l = 0; l < a.locations.size(); ++l) {
      if (!SameLocation(a.locations[l], b.locations[l]))
        return false;
    }
    return true;
  }

  // The initial values move with the exchange.
  bool Variables() {
    for (int32_t id = 1; id <= static_cast<int32_t>(system_.variables.size()); ++id) {
      const CVariable& variable = Variable(id);
      if (variable.Type != VarType::kInteger)
        continue;
      const int32_t init = IsIdentity(id) ? Value(variable.InitValue) : variable.InitValue;
      if (Variable(Var(id)).InitValue != init) {
        reason_ = "the initial value of " + variable.Name + " is not exchanged with " + Name(0) +
                  " and " + Name(exchanged_);
        return false;
      }
    }
    return true;
  }

  // The places of every expression without exchange (blame for misplaced identities), and the
  // broadcast rule.
  bool Uses() {
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      const CProcess& process = system_.processes[p];
      const int32_t member = processMember_[p + 1];
      for (const CLocation& location : process.locations) {
        for (int32_t id : location.invariantExpIds) {
          if (!MatchExpression(id, id, Place::kPlain, 0))
            return Failed("an invariant of " + process.ProcessName);
        }
        for (const CJump& jump : location.jumps) {
          if (!SameJump(jump, jump))
            return Failed("a jump of " + process.ProcessName);
          if (!BroadcastReceive(jump, member))
            return Failed("a broadcast receive of " + process.ProcessName +
                          " touches a member's variables");
        }
      }
    }
    return true;
  }
  bool Failed(const std::string& where) {
    reason_ = blame_ != 0
                  ? Variable(blame_).Name + " is not used only as an identity (" + where + ")"
                  : where + " cannot be exchanged";
    return false;
  }

  // Receivers of a broadcast update in process order: a member's receive may assign only its
  // own variables, and no receive may read another member's.
  bool BroadcastReceive(const CJump& jump, int32_t member) const {
    if (!jump.Broadcast || jump.Syn <= 0 || jump.SynType == 1)
      return true;
    for (const Assignment& assignment : jump.assignments) {
      if (member >= 0 &&
          (assignment.varId == 0 || member_[static_cast<size_t>(assignment.varId)] != member))
        return false;
    }
    std::vector<int32_t> expressions = jump.guardExpIds;
    for (const Assignment& assignment : jump.assignments)
      expressions.push_back(assignment.expId);
    for (int32_t id : expressions) {
      if (!system_.expressions.Contains(id))
        continue;
      for (const ExpBinding& binding : system_.expressions[id].Bindings()) {
        if (binding.variable >= 1 && static_cast<size_t>(binding.variable) < member_.size()) {
          const int32_t owner = member_[static_cast<size_t>(binding.variable)];
          if (owner >= 0 && owner != member)
            return false;
        }
      }
    }
    return true;
  }

  const CSystem& system_;
  const SymmetrySet& set_;
  std::vector<int32_t> member_;         // by variable id: the member owning it, or -1
  std::vector<int32_t> role_;           // by variable id: its role among its member's own
  std::vector<bool> identity_;          // by variable id: an identity variable (still)
  std::vector<int32_t> processMember_;  // by process number: its member, or -1
  std::map<int32_t, std::pair<int32_t, int32_t>> channelOwner_;  // its member and role
  int32_t exchanged_ = 0;
  int32_t blame_ = 0;
  std::string reason_;
  std::vector<std::string> dropped_;
};

// The members whose identity a variable of the set's identities (not a member's own) starts at,
// with that variable's name, when at least two other members remain; none otherwise.
std::vector<std::pair<size_t, std::string>> NamedByInitialValues(const CSystem& system,
                                                                 const SymmetrySet& set) {
  std::set<int32_t> own;
  for (const SymmetryMember& member : set.members)
    own.insert(member.own.begin(), member.own.end());
  std::vector<std::pair<size_t, std::string>> named;
  for (int32_t id : set.identities) {
    const CVariable& variable = system.variables[static_cast<size_t>(id) - 1];
    for (size_t m = 0; m < set.members.size(); ++m) {
      const bool listed = std::any_of(named.begin(), named.end(),
                                      [m](const auto& entry) { return entry.first == m; });
      if (!own.contains(id) && set.members[m].value == variable.InitValue && !listed)
        named.emplace_back(m, variable.Name);
    }
  }
  if (set.members.size() < named.size() + 2)
    named.clear();
  return named;
}

// Verifies one set, narrowing its identities; a member that an identity variable starts at stays
// in place (leaves the set, with a line in `notes`), since the initial state names it. The reason
// why the set is left out, or none.
std::optional<std::string> Verify(const CSystem& system, SymmetrySet& set,
                                  std::vector<std::string>& notes) {
  SetCheck check(system, set);
  if (!check.NarrowIdentities())
    return check.Reason();
  set.identities = check.Identities();
  const std::vector<std::pair<size_t, std::string>> named = NamedByInitialValues(system, set);
  if (!named.empty()) {
    std::vector<SymmetryMember> members;
    for (size_t m = 0; m < set.members.size(); ++m) {
      const auto entry =
          std::find_if(named.begin(), named.end(), [m](const auto& n) { return n.first == m; });
      if (entry == named.end()) {
        members.push_back(set.members[m]);
        continue;
      }
      notes.push_back(
          "symmetry: " +
          system.processes[static_cast<size_t>(set.members[m].process) - 1].ProcessName +
          " stays in place: " + entry->second + " starts at its identity");
    }
    set.members = std::move(members);
    return Verify(system, set, notes);
  }
  SetCheck narrowed(system, set);
  if (narrowed.Exchanges())
    return std::nullopt;
  std::string reason = narrowed.Reason();
  for (const std::string& dropped : check.Dropped())
    reason += "; " + dropped;
  return reason;
}

}  // namespace

std::vector<std::string> VerifySymmetry(CSystem& system) {
  std::vector<std::string> lines;
  std::vector<SymmetrySet> kept;
  for (SymmetrySet& set : system.symmetry) {
    std::vector<std::string> notes;
    const std::optional<std::string> reason = Verify(system, set, notes);
    if (!reason) {
      lines.insert(lines.end(), notes.begin(), notes.end());
      kept.push_back(std::move(set));
      continue;
    }
    lines.push_back("symmetry: processes of " + set.name + " are not interchangeable: " + *reason);
  }
  system.symmetry = std::move(kept);
  return lines;
}

}  // namespace tickcheck
