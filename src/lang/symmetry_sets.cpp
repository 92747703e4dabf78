#include "lang/symmetry_sets.h"

#include <algorithm>
#include <map>
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

// The integer variables that may hold values of an integer parameter: those that a member
// assigns its parameter's value or compares with it (== or !=), and then those assigned from,
// assigned to or compared with such a variable. The checker keeps those used only so.
std::set<int32_t> IntegerIdentities(const Network& network, const std::vector<int32_t>& members) {
  std::set<int32_t> identities;
  const auto read = [](const Term& term) {
    return term.kind == Term::Kind::kRead && !term.operands.empty()
               ? term.operands[0].FixedVariable()
               : -1;
  };
  for (bool grew = true; grew;) {
    grew = false;
    ForEachProcessTerm(network, [&](int32_t process, const Term& term) {
      const bool assign = term.kind == Term::Kind::kAssign && term.value == 0;
      const bool compare = term.kind == Term::Kind::kBinary &&
                           (term.value == ExpType::kEqual || term.value == ExpType::kNotEqual);
      if ((!assign && !compare) || term.operands.size() != 2)
        return;
      const int32_t left = assign ? term.operands[0].FixedVariable() : read(term.operands[0]);
      const int32_t right = read(term.operands[1]);
      const bool member = std::find(members.begin(), members.end(), process) != members.end();
      const auto parameter = [&](const Term& side) {
        return member && side.IsConst() &&
               side.value == network.processes[static_cast<size_t>(process)].arguments[0];
      };
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
  for (const Process& first : network.processes) {
    if (!templates.insert(first.templateName).second)
      continue;
    std::vector<int32_t> members;
    std::set<int32_t> values;
    bool fits = first.arguments.size() == 1;
    for (size_t p = 0; p < network.processes.size() && fits; ++p) {
      const Process& process = network.processes[p];
      if (process.templateName != first.templateName)
        continue;
      fits = process.arguments.size() == 1 && values.insert(process.arguments[0]).second &&
             process.ownVariables.second - process.ownVariables.first ==
                 first.ownVariables.second - first.ownVariables.first &&
             process.ownClocks.second - process.ownClocks.first ==
                 first.ownClocks.second - first.ownClocks.first;
      members.push_back(static_cast<int32_t>(p));
    }
    if (!fits || members.size() < 2)
      continue;
    const int32_t scalar = ScalarSetOf(network, members[0]);
    // Integer identities from 1 up, one member each: arrays indexed by exactly that range are
    // the members' own (a range from 0 is also what an array sized by a constant has).
    const int32_t lowest = *values.begin();
    const int32_t highest = *values.rbegin();
    const bool rangeIndexed =
        lowest >= 1 && int64_t{highest} - lowest + 1 == static_cast<int64_t>(members.size());
    SymmetrySetSpec set;
    set.name = first.templateName;
    for (int32_t p : members) {
      const Process& process = network.processes[static_cast<size_t>(p)];
      SymmetryMemberSpec member;
      member.process = p + 1;
      member.value = process.arguments[0];
      for (int32_t v = process.ownVariables.first; v < process.ownVariables.second; ++v)
        member.own.push_back(v + 1);
      for (int32_t c = process.ownClocks.first; c < process.ownClocks.second; ++c)
        member.own.push_back(clockIds[static_cast<size_t>(c)]);
      if (scalar < 0 && rangeIndexed) {
        for (const RangeArray& array : network.rangeArrays) {
          if (array.lower != lowest || array.upper != highest)
            continue;
          const int32_t start = array.first + (member.value - array.lower) * array.stride;
          for (int32_t cell = start; cell < start + array.stride; ++cell) {
            if (!declared[static_cast<size_t>(cell)])
              member.own.push_back(cell + 1);
          }
        }
      }
      if (scalar >= 0) {
        for (const ScalarSet::Indexed& array :
             network.scalars[static_cast<size_t>(scalar)].arrays) {
          const int32_t start = array.first + member.value * array.stride;
          for (int32_t cell = start; cell < start + array.stride; ++cell) {
            if (array.kind == ScalarSet::Indexed::Kind::kVariables &&
                !declared[static_cast<size_t>(cell)])
              member.own.push_back(cell + 1);
            else if (array.kind == ScalarSet::Indexed::Kind::kClocks &&
                     !declaredClocks[static_cast<size_t>(cell)])
              member.own.push_back(clockIds[static_cast<size_t>(cell)]);
          }
        }
      }
      set.members.push_back(std::move(member));
    }
    if (scalar >= 0) {
      for (int32_t v : network.scalars[static_cast<size_t>(scalar)].variables)
        set.identities.push_back(v + 1);
    } else {
      for (int32_t v : IntegerIdentities(network, members))
        set.identities.push_back(v + 1);
    }
    sets.push_back(std::move(set));
  }
  // An array that two sets would claim (two templates over one scalar set or one range) belongs
  // to neither: its roles leave both sets.
  std::map<int32_t, int32_t> claims;
  for (const SymmetrySetSpec& set : sets) {
    for (const SymmetryMemberSpec& member : set.members) {
      for (int32_t id : member.own)
        ++claims[id];
    }
  }
  for (SymmetrySetSpec& set : sets) {
    for (size_t role = set.members[0].own.size(); role-- > 0;) {
      const bool shared = std::any_of(
          set.members.begin(), set.members.end(),
          [&](const SymmetryMemberSpec& member) { return claims[member.own[role]] > 1; });
      if (!shared)
        continue;
      for (SymmetryMemberSpec& member : set.members)
        member.own.erase(member.own.begin() + static_cast<std::ptrdiff_t>(role));
    }
  }
  return sets;
}

}  // namespace tickcheck::lang
