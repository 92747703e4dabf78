#include "model/symmetry.h"

#include <algorithm>
#include <set>

namespace tickcheck {
namespace {

std::string Num(int64_t value) {
  return std::to_string(value);
}

class SymmetryLoader {
 public:
  SymmetryLoader(const ProfileIndex& file, CSystem& system) : file_(file), system_(system) {}

  std::optional<Refusal> Load() {
    for (int32_t s = 1; s <= kMaxListLength; ++s) {
      SymmetrySet set;
      set.name = file_.String("Symmetry", "Set" + Num(s));
      if (set.name.empty())
        break;
      if (!LoadSet(s, set))
        return refusal_;
      system_.symmetry.push_back(std::move(set));
    }
    return refusal_;
  }

 private:
  bool Refuse(const std::string& key, int64_t value, const std::string& reason) {
    refusal_ =
        Refusal{"ERROR! Model refused: [Symmetry] " + key + "=" + Num(value) + ": " + reason};
    return false;
  }
  bool Present(const std::string& key) const { return !file_.String("Symmetry", key).empty(); }
  const CVariable* Variable(int32_t id) const {
    if (id < 1 || static_cast<size_t>(id) > system_.variables.size())
      return nullptr;
    return &system_.variables[static_cast<size_t>(id) - 1];
  }

  bool LoadSet(int32_t s, SymmetrySet& set) {
    const std::string prefix = Num(s) + "-";
    std::set<int32_t> values;
    for (int32_t k = 1; k <= kMaxListLength; ++k) {
      const std::string member = prefix + Num(k);
      if (!Present("Process" + member))
        break;
      SymmetryMember read;
      read.process = file_.Int("Symmetry", "Process" + member);
      if (read.process < 1 || read.process > system_.processNumber ||
          !processes_.insert(read.process).second) {
        return Refuse("Process" + member, read.process,
                      "not a process of the model, or a member twice");
      }
      if (!Present("Value" + member))
        return Refuse("Process" + member, read.process, "member without Value" + member);
      read.value = file_.Int("Symmetry", "Value" + member);
      if (!values.insert(read.value).second)
        return Refuse("Value" + member, read.value, "the identity of two members");
      for (int32_t j = 1; Present("Own" + member + "-" + Num(j)); ++j) {
        const std::string key = "Own" + member + "-" + Num(j);
        const int32_t id = file_.Int("Symmetry", key);
        if (!OwnVariable(set, read, key, id))
          return false;
        read.own.push_back(id);
      }
      if (!set.members.empty() && read.own.size() != set.members[0].own.size()) {
        return Refuse("Process" + member, read.process,
                      "a member with another number of own variables than member 1");
      }
      for (int32_t j = 1; Present("Channel" + member + "-" + Num(j)); ++j) {
        const std::string key = "Channel" + member + "-" + Num(j);
        const int32_t channel = file_.Int("Symmetry", key);
        if (!OwnChannel(set, read, key, channel))
          return false;
        read.channels.push_back(channel);
      }
      if (!set.members.empty() && read.channels.size() != set.members[0].channels.size()) {
        return Refuse("Process" + member, read.process,
                      "a member with another number of own channels than member 1");
      }
      set.members.push_back(std::move(read));
    }
    if (set.members.size() < 2)
      return Refuse("Set" + Num(s), static_cast<int64_t>(set.members.size()),
                    "a set needs at least two members (Process" + prefix + "1, ...)");
    for (int32_t j = 1; Present("Identity" + prefix + Num(j)); ++j) {
      const std::string key = "Identity" + prefix + Num(j);
      const int32_t id = file_.Int("Symmetry", key);
      const CVariable* variable = Variable(id);
      if (variable == nullptr || variable->Type != VarType::kInteger)
        return Refuse(key, id, "not an integer variable");
      set.identities.push_back(id);
    }
    return true;
  }

  bool OwnVariable(const SymmetrySet& set, const SymmetryMember& member, const std::string& key,
                   int32_t id) {
    const CVariable* variable = Variable(id);
    if (variable == nullptr ||
        (variable->Type != VarType::kInteger && variable->Type != VarType::kClock)) {
      return Refuse(key, id, "not an integer variable or a clock");
    }
    if (!owned_.insert(id).second)
      return Refuse(key, id, "the own variable of two members");
    if (set.members.empty())
      return true;
    const std::vector<int32_t>& roles = set.members[0].own;
    if (member.own.size() >= roles.size())
      return Refuse(key, id, "member 1 has fewer own variables");
    const CVariable& role = *Variable(roles[member.own.size()]);
    if (role.Type != variable->Type || role.Min != variable->Min || role.Max != variable->Max)
      return Refuse(key, id, "not of the type, Min and Max of member 1's variable " + role.Name);
    return true;
  }

  bool OwnChannel(const SymmetrySet& set, const SymmetryMember& member, const std::string& key,
                  int32_t channel) {
    if (channel < 1)
      return Refuse(key, channel, "not a channel");
    if (!ownedChannels_.insert(channel).second)
      return Refuse(key, channel, "the own channel of two members");
    if (set.members.empty())
      return true;
    const std::vector<int32_t>& roles = set.members[0].channels;
    if (member.channels.size() >= roles.size())
      return Refuse(key, channel, "member 1 has fewer own channels");
    const int32_t role = roles[member.channels.size()];
    if (system_.IsUrgentChannel(role) != system_.IsUrgentChannel(channel))
      return Refuse(key, channel,
                    "urgent where member 1's channel " + Num(role) + " is not, or the reverse");
    return true;
  }

  const ProfileIndex& file_;
  CSystem& system_;
  std::set<int32_t> processes_;
  std::set<int32_t> owned_;
  std::set<int32_t> ownedChannels_;
  std::optional<Refusal> refusal_;
};

}  // namespace

std::optional<Refusal> LoadSymmetry(const ProfileIndex& file, CSystem& system) {
  return SymmetryLoader(file, system).Load();
}

void ActiveClocksOf(const CSystem& model, std::span<const int32_t> locations,
                    std::vector<int32_t>& clocks) {
  clocks.clear();
  for (size_t p = 0; p < model.processes.size(); ++p) {
    const CLocation& location = model.processes[p].locations[static_cast<size_t>(locations[p]) - 1];
    for (int32_t clock : location.activeClocks) {
      if (std::find(clocks.begin(), clocks.end(), clock) == clocks.end())
        clocks.push_back(clock);
    }
  }
}

SymmetryIndex::SymmetryIndex(const CSystem& model)
    : model_(model),
      sets_(model.symmetry),
      owners_(model.variables.size() + 1),
      identitySet_(model.variables.size() + 1, -1),
      processMembers_(model.processes.size() + 1),
      clockPosition_(model.variables.size() + 1, -1) {
  for (size_t s = 0; s < sets_.size(); ++s) {
    const SymmetrySet& set = sets_[s];
    for (size_t k = 0; k < set.members.size(); ++k) {
      const SymmetryMember& member = set.members[k];
      processMembers_[static_cast<size_t>(member.process)] = {static_cast<int32_t>(s),
                                                              static_cast<int32_t>(k), -1};
      for (size_t j = 0; j < member.own.size(); ++j) {
        owners_[static_cast<size_t>(member.own[j])] = {
            static_cast<int32_t>(s), static_cast<int32_t>(k), static_cast<int32_t>(j)};
      }
    }
    for (int32_t id : set.identities)
      identitySet_[static_cast<size_t>(id)] = static_cast<int32_t>(s);
    memberOfValue_.emplace_back();
    for (size_t k = 0; k < set.members.size(); ++k)
      memberOfValue_.back().emplace_back(set.members[k].value, static_cast<int32_t>(k));
    std::sort(memberOfValue_.back().begin(), memberOfValue_.back().end());
  }
}

int32_t SymmetryIndex::MemberWithValue(int32_t set, int32_t value) const {
  const std::vector<std::pair<int32_t, int32_t>>& byValue =
      memberOfValue_[static_cast<size_t>(set)];
  const auto found =
      std::lower_bound(byValue.begin(), byValue.end(), std::pair<int32_t, int32_t>(value, -1));
  return found != byValue.end() && found->first == value ? found->second : -1;
}

MemberPermutation SymmetryIndex::Identity() const {
  MemberPermutation to(sets_.size());
  for (size_t s = 0; s < sets_.size(); ++s) {
    for (size_t k = 0; k < sets_[s].members.size(); ++k)
      to[s].push_back(static_cast<int32_t>(k));
  }
  return to;
}

int32_t SymmetryIndex::PermutedVariable(int32_t variable, const MemberPermutation& to) const {
  const Owner& owner = owners_[static_cast<size_t>(variable)];
  if (owner.set < 0)
    return variable;
  const int32_t target = to[static_cast<size_t>(owner.set)][static_cast<size_t>(owner.member)];
  return sets_[static_cast<size_t>(owner.set)]
      .members[static_cast<size_t>(target)]
      .own[static_cast<size_t>(owner.role)];
}

int32_t SymmetryIndex::ExchangedVariable(int32_t variable, int32_t set, int32_t a,
                                         int32_t b) const {
  const Owner& owner = owners_[static_cast<size_t>(variable)];
  if (owner.set != set || (owner.member != a && owner.member != b))
    return variable;
  const int32_t target = owner.member == a ? b : a;
  return sets_[static_cast<size_t>(set)]
      .members[static_cast<size_t>(target)]
      .own[static_cast<size_t>(owner.role)];
}

void SymmetryIndex::Exchange(DsState& state, std::vector<int32_t>& locations, int32_t set,
                             int32_t a, int32_t b) const {
  const SymmetrySet& members = sets_[static_cast<size_t>(set)];
  const SymmetryMember& first = members.members[static_cast<size_t>(a)];
  const SymmetryMember& second = members.members[static_cast<size_t>(b)];
  std::swap(locations[static_cast<size_t>(first.process) - 1],
            locations[static_cast<size_t>(second.process) - 1]);
  for (size_t j = 0; j < first.own.size(); ++j) {
    const CVariable& one = model_.variables[static_cast<size_t>(first.own[j]) - 1];
    if (one.Type != VarType::kInteger)
      continue;
    const CVariable& other = model_.variables[static_cast<size_t>(second.own[j]) - 1];
    std::swap(state.intValues[static_cast<size_t>(one.intValueIndex)],
              state.intValues[static_cast<size_t>(other.intValueIndex)]);
  }
  for (int32_t id : members.identities) {
    int32_t& value = state.intValues[static_cast<size_t>(
        model_.variables[static_cast<size_t>(id) - 1].intValueIndex)];
    if (value == first.value)
      value = second.value;
    else if (value == second.value)
      value = first.value;
  }
  // The exchanged members' clocks trade names: a role's clock is active in a location exactly
  // where every member's is, so the renamed list is the exchanged state's set of active clocks.
  for (int32_t& clock : state.activeClocks)
    clock = ExchangedVariable(clock, set, a, b);
}

void SymmetryIndex::Permute(const DsState& in, const MemberPermutation& to, DsState& out,
                            std::vector<int32_t>& locations) const {
  locations.assign(in.locations.begin(), in.locations.end());
  out.intValues = in.intValues;
  for (size_t s = 0; s < sets_.size(); ++s) {
    const std::vector<SymmetryMember>& members = sets_[s].members;
    for (size_t k = 0; k < members.size(); ++k) {
      const SymmetryMember& from = members[k];
      const SymmetryMember& target = members[static_cast<size_t>(to[s][k])];
      locations[static_cast<size_t>(target.process) - 1] =
          in.locations[static_cast<size_t>(from.process) - 1];
      for (size_t j = 0; j < from.own.size(); ++j) {
        const CVariable& variable = model_.variables[static_cast<size_t>(from.own[j]) - 1];
        if (variable.Type != VarType::kInteger)
          continue;
        const CVariable& moved = model_.variables[static_cast<size_t>(target.own[j]) - 1];
        out.intValues[static_cast<size_t>(moved.intValueIndex)] =
            in.intValues[static_cast<size_t>(variable.intValueIndex)];
      }
    }
    for (int32_t id : sets_[s].identities) {
      int32_t& value = out.intValues[static_cast<size_t>(
          model_.variables[static_cast<size_t>(id) - 1].intValueIndex)];
      const int32_t member = MemberWithValue(static_cast<int32_t>(s), value);
      if (member >= 0)
        value = members[static_cast<size_t>(to[s][static_cast<size_t>(member)])].value;
    }
  }
  out.locations = locations;
  inverse_.resize(to.size());
  for (size_t s = 0; s < to.size(); ++s) {
    inverse_[s].resize(to[s].size());
    for (size_t k = 0; k < to[s].size(); ++k)
      inverse_[s][static_cast<size_t>(to[s][k])] = static_cast<int32_t>(k);
  }
  for (size_t k = 0; k < in.activeClocks.size(); ++k)
    clockPosition_[static_cast<size_t>(in.activeClocks[k])] = static_cast<int32_t>(k);
  ActiveClocksOf(model_, locations, out.activeClocks);
  out.clockValues.resize(out.activeClocks.size());
  // A clock of the permuted state comes from the clock that the permutation takes to it: an own
  // clock from the corresponding clock of the member that moved there.
  for (size_t k = 0; k < out.activeClocks.size(); ++k) {
    int32_t source = out.activeClocks[k];
    const Owner& owner = owners_[static_cast<size_t>(source)];
    if (owner.set >= 0) {
      const int32_t from =
          inverse_[static_cast<size_t>(owner.set)][static_cast<size_t>(owner.member)];
      source = sets_[static_cast<size_t>(owner.set)]
                   .members[static_cast<size_t>(from)]
                   .own[static_cast<size_t>(owner.role)];
    }
    const int32_t position = clockPosition_[static_cast<size_t>(source)];
    out.clockValues[k] = position >= 0 ? in.clockValues[static_cast<size_t>(position)] : 0;
  }
  for (int32_t clock : in.activeClocks)
    clockPosition_[static_cast<size_t>(clock)] = -1;
}

}  // namespace tickcheck
