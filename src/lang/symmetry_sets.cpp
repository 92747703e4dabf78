#include "lang/symmetry_sets.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

// The scalar set whose values process `process` was instantiated for, or -1.
int32_t ScalarSetOf(const Network& network, int32_t process) {
  for (size_t s = 0; s < network.scalars.size(); ++s) {
    for (const auto& [member, value] : network.scalars[s].processes) {
      if (member == process)
        return static_cast<int32_t>(s);
    }
  }
  return -1;
}

// Calls `visit` on every term of the process's edges and locations, sub-terms included.
template <typename Visit>
void ForEachTerm(const Term& term, const Visit& visit) {
  visit(term);
  for (const Term& operand : term.operands)
    ForEachTerm(operand, visit);
}
template <typename Visit>
void ForEachProcessTerm(const Network& network, const Visit& visit) {
  for (size_t p = 0; p < network.processes.size(); ++p) {
    const auto each = [&](const Term& term) { visit(static_cast<int32_t>(p), term); };
    for (const Location& location : network.processes[p].locations)
      ForEachTerm(location.invariant, each);
    for (const Edge& edge : network.processes[p].edges) {
      ForEachTerm(edge.guard, each);
      for (const Term& update : edge.updates)
        ForEachTerm(update, each);
    }
  }
}

// The integer variable v of an array index `(v - lower) * stride`, plus a field's offset, as the
// resolver writes it (under index checks; no subtraction when lower is 0, no product when stride
// is 1), or -1.
int32_t IndexVariable(const Term& index, int32_t lower, int32_t stride) {
  const Term* term = &index;
  const auto binary = [&term](int32_t op, int32_t constant) {
    return term->kind == Term::Kind::kBinary && term->value == op && term->operands.size() == 2 &&
           term->operands[1].IsConst() && term->operands[1].value == constant;
  };
  while (term->kind == Term::Kind::kCheck && !term->operands.empty())
    term = &term->operands[0];
  if (term->kind == Term::Kind::kBinary && term->value == ExpType::kAdd &&
      term->operands.size() == 2 && term->operands[1].IsConst() && term->operands[1].value >= 0 &&
      term->operands[1].value < stride)
    term = &term->operands[0];
  if (binary(ExpType::kMultiply, stride))
    term = &term->operands[0];
  while (term->kind == Term::Kind::kCheck && !term->operands.empty())
    term = &term->operands[0];
  if (binary(ExpType::kSubtract, lower))
    term = &term->operands[0];
  else if (lower != 0)
    return -1;
  return term->kind == Term::Kind::kRead && !term->operands.empty()
             ? term->operands[0].FixedVariable()
             : -1;
}

// The integer variables that index, by variables (not by constants), an array of `arrays`: a
// synchronisation's channel or a place's cells.
std::set<int32_t> IndexingVariables(const Network& network, const std::vector<RangeArray>& arrays) {
  std::set<int32_t> found;
  const auto array = [&arrays](ScalarSet::Indexed::Kind kind, int32_t first) {
    const auto at = std::find_if(arrays.begin(), arrays.end(), [&](const RangeArray& a) {
      return a.kind == kind && a.first == first;
    });
    return at == arrays.end() ? nullptr : &*at;
  };
  const auto note = [&found](const RangeArray* indexed, const Term& index) {
    if (indexed == nullptr)
      return;
    if (const int32_t v = IndexVariable(index, indexed->lower, indexed->stride); v >= 0)
      found.insert(v);
  };
  ForEachProcessTerm(network, [&](int32_t, const Term& term) {
    if (term.kind == Term::Kind::kPlace && term.space == Space::kGlobal &&
        term.operands.size() == 1)
      note(array(ScalarSet::Indexed::Kind::kVariables, term.value), term.operands[0]);
  });
  for (const Process& process : network.processes) {
    for (const Edge& edge : process.edges) {
      if (edge.sync && edge.sync->index && !edge.sync->channels.empty())
        note(array(ScalarSet::Indexed::Kind::kChannels, edge.sync->channels[0]), *edge.sync->index);
    }
  }
  return found;
}

// Adds to `found` the constants of `a` (a term of a member whose parameter is `va`) that stand
// for the parameter: equal to it where `b`, the same term of another member, holds that member's
// value `vb`.
void PairParameters(const Term& a, const Term& b, int32_t va, int32_t vb,
                    std::set<const Term*>& found) {
  if (a.IsConst() && b.IsConst() && a.value == va && b.value == vb)
    found.insert(&a);
  if (a.kind != b.kind || a.operands.size() != b.operands.size())
    return;
  for (size_t k = 0; k < a.operands.size(); ++k)
    PairParameters(a.operands[k], b.operands[k], va, vb, found);
}

// The constants in the members' terms that stand for their parameter. Once the parameter is
// substituted, a literal equal to one member's identity (`c == 0` in the member for 0) looks
// like it; the same term of another member tells them apart.
std::set<const Term*> ParameterConstants(const Network& network,
                                         const std::vector<int32_t>& members,
                                         const std::vector<int32_t>& values) {
  std::set<const Term*> found;
  for (size_t k = 0; k < members.size(); ++k) {
    const size_t next = (k + 1) % members.size();
    const Process& a = network.processes[static_cast<size_t>(members[k])];
    const Process& b = network.processes[static_cast<size_t>(members[next])];
    const int32_t va = values[k];
    const int32_t vb = values[next];
    for (size_t l = 0; l < a.locations.size() && l < b.locations.size(); ++l)
      PairParameters(a.locations[l].invariant, b.locations[l].invariant, va, vb, found);
    for (size_t e = 0; e < a.edges.size() && e < b.edges.size(); ++e) {
      PairParameters(a.edges[e].guard, b.edges[e].guard, va, vb, found);
      for (size_t u = 0; u < a.edges[e].updates.size() && u < b.edges[e].updates.size(); ++u)
        PairParameters(a.edges[e].updates[u], b.edges[e].updates[u], va, vb, found);
    }
  }
  return found;
}

// The integer variables that may hold values of an integer parameter: those that a member
// assigns its parameter's value or compares with it (== or !=), those in `seeds`, and then those
// assigned from, assigned to or compared with such a variable. The checker keeps those used only
// so.
std::set<int32_t> IntegerIdentities(const Network& network, const std::vector<int32_t>& members,
                                    const std::vector<int32_t>& values, std::set<int32_t> seeds) {
  const std::set<const Term*> parameters = ParameterConstants(network, members, values);
  std::set<int32_t> identities = std::move(seeds);
  const auto read = [](const Term& term) {
    return term.kind == Term::Kind::kRead && !term.operands.empty()
               ? term.operands[0].FixedVariable()
               : -1;
  };
  for (bool grew = true; grew;) {
    grew = false;
    ForEachProcessTerm(network, [&](int32_t, const Term& term) {
      const bool assign = term.kind == Term::Kind::kAssign && term.value == 0;
      const bool compare = term.kind == Term::Kind::kBinary &&
                           (term.value == ExpType::kEqual || term.value == ExpType::kNotEqual);
      if ((!assign && !compare) || term.operands.size() != 2)
        return;
      const int32_t left = assign ? term.operands[0].FixedVariable() : read(term.operands[0]);
      const int32_t right = read(term.operands[1]);
      const auto parameter = [&](const Term& side) { return parameters.contains(&side); };
      const auto add = [&](int32_t variable) {
        if (variable >= 0 && identities.insert(variable).second)
          grew = true;
      };
      if (parameter(term.operands[1]) || (right >= 0 && identities.contains(right)))
        add(left);
      if ((!assign && parameter(term.operands[0])) || (left >= 0 && identities.contains(left)))
        add(right);
    });
  }
  return identities;
}

// Removes from every set the roles (of `own` or `channels`) of which some member's variable or
// channel is claimed by more than one member of all sets.
void DropSharedRoles(std::vector<SymmetrySetSpec>& sets,
                     std::vector<int32_t> SymmetryMemberSpec::*roles) {
  std::map<int32_t, int32_t> claims;
  for (const SymmetrySetSpec& set : sets) {
    for (const SymmetryMemberSpec& member : set.members) {
      for (int32_t id : member.*roles)
        ++claims[id];
    }
  }
  for (SymmetrySetSpec& set : sets) {
    for (size_t role = (set.members[0].*roles).size(); role-- > 0;) {
      const bool shared =
          std::any_of(set.members.begin(), set.members.end(),
                      [&](const SymmetryMemberSpec& m) { return claims[(m.*roles)[role]] > 1; });
      if (!shared)
        continue;
      for (SymmetryMemberSpec& member : set.members)
        (member.*roles).erase((member.*roles).begin() + static_cast<std::ptrdiff_t>(role));
    }
  }
}

// The parameter of template `name` that tells its instances apart: the only one whose value
// differs between them (the others, constants equal in every instance, change nothing); its
// one parameter when it has one. None when no single parameter does.
std::optional<size_t> IdentityPosition(const Network& network, const std::string& name) {
  std::vector<const Process*> instances;
  for (const Process& process : network.processes) {
    if (process.templateName == name)
      instances.push_back(&process);
  }
  const size_t count = instances[0]->arguments.size();
  if (count == 1)
    return 0;
  std::optional<size_t> position;
  for (size_t a = 0; a < count; ++a) {
    const bool varies = std::any_of(instances.begin(), instances.end(), [&](const Process* p) {
      return p->arguments.size() != count || p->arguments[a] != instances[0]->arguments[a];
    });
    if (varies && position)
      return std::nullopt;
    if (varies)
      position = a;
  }
  return position;
}

}  // namespace

std::vector<SymmetrySetSpec> SymmetrySets(const Network& network,
                                          const std::vector<int32_t>& clockIds) {
  std::vector<SymmetrySetSpec> sets;
  std::set<std::string> templates;
  // Cells that some process declared: a scalar-indexed array among them is already its own.
  std::vector<bool> declared(network.variables.size(), false);
  std::vector<bool> declaredClocks(network.clocks.size(), false);
  for (const Process& process : network.processes) {
    for (int32_t v = process.ownVariables.first; v < process.ownVariables.second; ++v)
      declared[static_cast<size_t>(v)] = true;
    for (int32_t c = process.ownClocks.first; c < process.ownClocks.second; ++c)
      declaredClocks[static_cast<size_t>(c)] = true;
  }
  // The templates with one parameter instantiated for at least two different values.
  struct Candidate {
    const Process* first = nullptr;
    std::vector<int32_t> members;
    std::set<int32_t> values;
    std::vector<int32_t> identities;  // per member, its identity
  };
  std::vector<Candidate> candidates;
  for (const Process& first : network.processes) {
    if (!templates.insert(first.templateName).second)
      continue;
    Candidate candidate{&first, {}, {}, {}};
    const std::optional<size_t> position = IdentityPosition(network, first.templateName);
    bool fits = position.has_value();
    for (size_t p = 0; p < network.processes.size() && fits; ++p) {
      const Process& process = network.processes[p];
      if (process.templateName != first.templateName)
        continue;
      candidate.identities.push_back(process.arguments[*position]);
      fits = candidate.values.insert(process.arguments[*position]).second &&
             process.ownVariables.second - process.ownVariables.first ==
                 first.ownVariables.second - first.ownVariables.first &&
             process.ownClocks.second - process.ownClocks.first ==
                 first.ownClocks.second - first.ownClocks.first;
      candidate.members.push_back(static_cast<int32_t>(p));
    }
    if (fits && candidate.members.size() >= 2)
      candidates.push_back(std::move(candidate));
  }
  // Integer identities from 0 up, one member each: arrays indexed by exactly that range are
  // the members' own, unless two templates have that range. A range from 0 is also what an array
  // sized by a constant has (`int list[N]`, often a queue of identities), so from 0 only arrays
  // declared with their index type (`bool flag[id_t]`) are.
  const auto rangeOf =
      [&network](const Candidate& c) -> std::optional<std::pair<int32_t, int32_t>> {
    const int32_t lowest = *c.values.begin();
    const int32_t highest = *c.values.rbegin();
    if (ScalarSetOf(network, c.members[0]) >= 0 || lowest < 0 ||
        int64_t{highest} - lowest + 1 != static_cast<int64_t>(c.members.size()))
      return std::nullopt;
    return std::pair{lowest, highest};
  };
  std::map<std::pair<int32_t, int32_t>, int32_t> ranges;
  for (const Candidate& c : candidates) {
    if (const auto range = rangeOf(c))
      ++ranges[*range];
  }
  for (const Candidate& candidate : candidates) {
    const Process& first = *candidate.first;
    const std::vector<int32_t>& members = candidate.members;
    const int32_t scalar = ScalarSetOf(network, members[0]);
    const auto range = rangeOf(candidate);
    const bool rangeIndexed = range && ranges[*range] == 1;
    const int32_t lowest = range ? range->first : 0;
    const int32_t highest = range ? range->second : 0;
    const auto owned = [&](const RangeArray& array) {
      return array.lower == lowest && array.upper == highest && (array.typed || lowest >= 1);
    };
    SymmetrySetSpec set;
    set.name = first.templateName;
    for (size_t k = 0; k < members.size(); ++k) {
      const int32_t p = members[k];
      const Process& process = network.processes[static_cast<size_t>(p)];
      SymmetryMemberSpec member;
      member.process = p + 1;
      member.value = candidate.identities[k];
      for (int32_t v = process.ownVariables.first; v < process.ownVariables.second; ++v)
        member.own.push_back(v + 1);
      for (int32_t c = process.ownClocks.first; c < process.ownClocks.second; ++c)
        member.own.push_back(clockIds[static_cast<size_t>(c)]);
      // The member's element of an array indexed by its identity: cells not declared by a
      // process (those are already some member's own), clocks likewise, and channels.
      const auto element = [&](ScalarSet::Indexed::Kind kind, int32_t start, int32_t stride) {
        for (int32_t cell = start; cell < start + stride; ++cell) {
          const auto at = static_cast<size_t>(cell);
          if (kind == ScalarSet::Indexed::Kind::kVariables && !declared[at])
            member.own.push_back(cell + 1);
          else if (kind == ScalarSet::Indexed::Kind::kClocks && !declaredClocks[at])
            member.own.push_back(clockIds[at]);
          else if (kind == ScalarSet::Indexed::Kind::kChannels)
            member.channels.push_back(cell + 1);
        }
      };
      if (scalar < 0 && rangeIndexed) {
        for (const RangeArray& array : network.rangeArrays) {
          if (owned(array))
            element(array.kind, array.first + (member.value - array.lower) * array.stride,
                    array.stride);
        }
      }
      if (scalar >= 0) {
        for (const ScalarSet::Indexed& array : network.scalars[static_cast<size_t>(scalar)].arrays)
          element(array.kind, array.first + member.value * array.stride, array.stride);
      }
      set.members.push_back(std::move(member));
    }
    if (scalar >= 0) {
      for (int32_t v : network.scalars[static_cast<size_t>(scalar)].variables)
        set.identities.push_back(v + 1);
    } else {
      std::vector<RangeArray> indexed;
      if (rangeIndexed) {
        std::copy_if(network.rangeArrays.begin(), network.rangeArrays.end(),
                     std::back_inserter(indexed), owned);
      }
      for (int32_t v : IntegerIdentities(network, members, candidate.identities,
                                         IndexingVariables(network, indexed)))
        set.identities.push_back(v + 1);
    }
    sets.push_back(std::move(set));
  }
  // An array that two sets would claim (two templates over one scalar set or one range) belongs
  // to neither: its roles leave both sets.
  DropSharedRoles(sets, &SymmetryMemberSpec::own);
  DropSharedRoles(sets, &SymmetryMemberSpec::channels);
  return sets;
}

}  // namespace tickcheck::lang
