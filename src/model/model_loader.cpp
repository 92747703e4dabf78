// Loading of the model records: variables, processes with their locations and jumps, the
// constraint lists and the expression table.
#include <algorithm>
#include <optional>
#include <string>

#include "model/constraint.h"
#include "model/format2.h"
#include "model/profile.h"
#include "model/symmetry.h"
#include "model/symmetry_check.h"
#include "model/system.h"

namespace tickcheck {
namespace {

// One past the last number of a list entry.
constexpr int32_t kListLimit = kMaxListLength + 1;

std::string Num(int32_t value) {
  return std::to_string(value);
}

class ModelLoader {
 public:
  ModelLoader(CSystem& system, const ProfileIndex& file, MessageSink& messages)
      : system_(system), file_(file), messages_(messages) {}

  std::optional<Refusal> Load() {
    const int32_t format = file_.Int("General", "Format");
    if (format != -1 && format != 1 && format != 2) {
      Refuse("General", "Format", format, "unknown model-file format (1 or 2)");
      return refusal_;
    }
    system_.format = format == 2 ? 2 : 1;
    system_.processNumber = file_.Int("General", "ProcessNumber");
    if (system_.processNumber >= kListLimit) {
      Refuse("General", "ProcessNumber", system_.processNumber,
             "more than " + Num(kListLimit - 1) + " processes");
      return refusal_;
    }
    if (!LoadVariables())
      return refusal_;
    for (int32_t p = 1; p <= system_.processNumber; ++p) {
      if (!LoadProcess(p))
        return refusal_;
    }
    system_.usualBroadcast = file_.Int("General", "BroadcastRule") == 1;
    LoadUrgentChannels();
    system_.expressionCount = file_.Int("Expressions", "TotalExpNum");
    for (const Reference& reference : references_) {
      if (reference.id < 0 || reference.id >= system_.expressionCount) {
        Refuse(reference.section, reference.key, reference.id,
               "no such expression (TotalExpNum is " + Num(system_.expressionCount) + ")");
        return refusal_;
      }
    }
    messages_.Stage("expNum:" + Num(system_.expressionCount));
    system_.expressions.Load(file_, system_.expressionCount, messages_, system_.format);
    if (!CheckClockComparisons())
      return refusal_;
    if (system_.format == 2) {
      LoadLoops();
      CheckFormat2Records(system_, messages_);
      refusal_ = CheckFormat2Uses(system_);
      if (!refusal_)
        refusal_ = LoadSymmetry(file_, system_);
      if (!refusal_)
        system_.symmetryNotes = VerifySymmetry(system_);
    }
    return refusal_;
  }

 private:
  // An expression id read from the file, checked once the table's size is known.
  struct Reference {
    int32_t id;
    std::string section;
    std::string key;
  };

  void Refuse(const std::string& section, const std::string& key, int32_t value,
              const std::string& reason) {
    refusal_ = Refusal{"ERROR! Model refused: [" + section + "] " + key + "=" + Num(value) + ": " +
                       reason};
  }

  bool IsVariable(int32_t id) const {
    return id >= 1 && static_cast<size_t>(id) <= system_.variables.size();
  }
  CVariable& Variable(int32_t id) { return system_.variables[static_cast<size_t>(id) - 1]; }

  bool LoadVariables() {
    for (int32_t v = 1; v < kListLimit; ++v) {
      CVariable variable;
      variable.Name = file_.String("Variable", "Name" + Num(v));
      if (variable.Name.empty())
        break;
      variable.InitValue = file_.Int("Variable", "InitValue" + Num(v));
      variable.Max = file_.Int("Variable", "Max" + Num(v));
      variable.Min = file_.Int("Variable", "Min" + Num(v));
      variable.Type = file_.Int("Variable", "Type" + Num(v));
      switch (variable.Type) {
        case VarType::kClock:
          ++system_.clockCount;
          break;
        case VarType::kInteger:
          variable.intValueIndex = system_.intVarCount++;
          break;
        case VarType::kOther:
          ++system_.otherVarCount;
          break;
        default:
          refusal_ = Refusal{"Variable Type Error!"};
          return false;
      }
      variable.bitWidth = BitLength(variable.Max);
      if (system_.format == 2 && variable.Type == VarType::kInteger) {
        if (std::optional<Refusal> refusal = CheckFormat2Variable(variable, v)) {
          refusal_ = std::move(refusal);
          return false;
        }
        variable.bitWidth = SpanBitLength(int64_t{variable.Max} - variable.Min);
        variable.encodingOffset = variable.Min;
      }
      system_.variables.push_back(std::move(variable));
    }
    return true;
  }

  void LoadLoops() {
    for (int32_t k = 1; k < kListLimit; ++k) {
      LoopSource loop{file_.String("Loops", "Function" + Num(k)),
                      file_.Int("Loops", "Line" + Num(k))};
      if (loop.function.empty())
        break;
      system_.loops.push_back(std::move(loop));
    }
  }

  void LoadConstraintList(int32_t number, std::vector<int32_t>& list) {
    LoadConstraint(number, file_, list);
    for (size_t k = 0; k < list.size(); ++k) {
      references_.push_back(
          {list[k], "Constraint" + Num(number), "CmpExp-" + Num(static_cast<int32_t>(k) + 1)});
    }
  }

  bool LoadProcess(int32_t p) {
    CProcess process;
    process.ProcessName = file_.String("Process" + Num(p), "ProcessName");
    process.InitLocation = file_.Int("Process" + Num(p), "InitLocation");
    const std::string locationSection = "Location" + Num(p);
    for (int32_t l = 1; l < kListLimit; ++l) {
      CLocation location;
      location.Name = file_.String(locationSection, "Name" + Num(l));
      if (location.Name.empty())
        break;
      if (!LoadActiveClocks(p, l, location))
        return false;
      const int32_t invariant = file_.Int(locationSection, "Invariable" + Num(l));
      location.noInvariant = invariant == -1 || invariant == 0;
      location.committed = file_.Int(locationSection, "Committed" + Num(l)) == 1;
      location.urgent = file_.Int(locationSection, "Urgent" + Num(l)) == 1;
      if (!location.noInvariant)
        LoadConstraintList(invariant, location.invariantExpIds);
      process.locations.push_back(std::move(location));
    }
    process.locationCount = static_cast<int32_t>(process.locations.size());
    if (!LoadJumps(p, process))
      return false;
    system_.processes.push_back(std::move(process));
    return true;
  }

  bool LoadActiveClocks(int32_t p, int32_t l, CLocation& location) {
    const std::string section = "Location" + Num(p);
    for (int32_t k = 1; k < kListLimit; ++k) {
      const std::string key = "ActiveClock" + Num(l) + "-" + Num(k);
      const int32_t clock = file_.Int(section, key);
      if (clock == -1)
        break;
      if (!IsVariable(clock)) {
        Refuse(section, key, clock, "no such variable");
        return false;
      }
      if (Variable(clock).Type != VarType::kClock) {
        Refuse(section, key, clock, "variable " + Variable(clock).Name + " is not a clock");
        return false;
      }
      const std::string prefix = "Location" + Num(l) + ".Var" + Num(clock);
      const LUBound bound{clock, file_.Int(section, prefix + ".L"),
                          file_.Int(section, prefix + ".U")};
      if (bound.U > bound.L)
        location.allUAtMostL = false;
      const auto at =
          std::upper_bound(location.activeClocks.begin(), location.activeClocks.end(), clock);
      const auto position = at - location.activeClocks.begin();
      location.activeClocks.insert(at, clock);
      location.luBounds.insert(location.luBounds.begin() + position, bound);
      Variable(clock).ownerProcess = p;
    }
    return true;
  }

  bool LoadJumps(int32_t p, CProcess& process) {
    const std::string section = "Jump" + Num(p);
    for (int32_t m = 1; m < kListLimit; ++m) {
      CJump jump;
      jump.number = m;
      jump.From = file_.Int(section, "From" + Num(m));
      if (jump.From == -1)
        break;
      if (jump.From < 1 || jump.From > process.locationCount) {
        Refuse(section, "From" + Num(m), jump.From,
               "process " + Num(p) + " has no location " + Num(jump.From));
        return false;
      }
      jump.To = file_.Int(section, "To" + Num(m));
      const int32_t guard = file_.Int(section, "Guard" + Num(m));
      jump.noGuard = guard == -1 || guard == 0;
      if (!jump.noGuard)
        LoadConstraintList(guard, jump.guardExpIds);
      jump.iUrgent = file_.Int(section, "iUrgent" + Num(m)) == 1;
      jump.Syn = file_.Int(section, "Syn" + Num(m));
      jump.SynType = file_.Int(section, "SynType" + Num(m));
      jump.Broadcast = file_.Int(section, "Broadcast" + Num(m)) >= 1;
      if (jump.Broadcast)
        process.broadcastChannels.push_back(jump.Syn);
      for (int32_t n = 1; n < kListLimit; ++n) {
        const std::string mn = Num(m) + "-" + Num(n);
        const int32_t variable = file_.Int(section, "Assign" + mn);
        if (variable == -1)
          break;
        const bool effect = variable == 0 && system_.format == 2;
        if (!effect && !IsVariable(variable)) {
          Refuse(section, "Assign" + mn, variable, "no such variable");
          return false;
        }
        if (!effect && Variable(variable).Type == VarType::kClock)
          jump.resetClockIds.push_back(variable);
        const int32_t expression = file_.Int(section, "exp" + mn);
        jump.assignments.push_back({variable, expression});
        references_.push_back({expression, section, "exp" + mn});
      }
      process.locations[static_cast<size_t>(jump.From) - 1].jumps.push_back(std::move(jump));
    }
    return true;
  }

  // Channels have no list of their own: the keys of the channels that some jump names are read.
  void LoadUrgentChannels() {
    std::vector<int32_t> channels;
    for (const CProcess& process : system_.processes) {
      for (const CLocation& location : process.locations) {
        for (const CJump& jump : location.jumps) {
          if (jump.Syn > 0)
            channels.push_back(jump.Syn);
        }
      }
    }
    std::sort(channels.begin(), channels.end());
    channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
    for (int32_t channel : channels) {
      if (file_.Int("Channels", "Urgent" + Num(channel)) == 1)
        system_.urgentChannels.push_back(channel);
    }
  }

  // A delay window is one interval: it cannot leave out the single delay at which a clock would
  // equal a bound, so clocks are compared with ==, <, <=, > and >= only, as in every timed
  // automaton. Integer variables may use != (they are tested on the state itself).
  bool CheckClockComparisons() {
    for (size_t p = 0; p < system_.processes.size(); ++p) {
      const CProcess& process = system_.processes[p];
      const std::string owner =
          "process " + Num(static_cast<int32_t>(p) + 1) + " (" + process.ProcessName + ")";
      for (size_t l = 0; l < process.locations.size(); ++l) {
        const CLocation& location = process.locations[l];
        const std::string where =
            owner + " location " + Num(static_cast<int32_t>(l) + 1) + " (" + location.Name + ")";
        if (!CheckClockComparisons(location.invariantExpIds, where + ", invariant"))
          return false;
        for (size_t j = 0; j < location.jumps.size(); ++j) {
          if (!CheckClockComparisons(
                  location.jumps[j].guardExpIds,
                  where + ", guard of its jump " + Num(static_cast<int32_t>(j) + 1))) {
            return false;
          }
        }
      }
    }
    return true;
  }

  bool CheckClockComparisons(const std::vector<int32_t>& ids, const std::string& where) {
    for (int32_t id : ids) {
      const CExpression& comparison = system_.expressions[id];
      const int32_t variable = comparison.LeftVariable();
      if (!IsVariable(variable) || Variable(variable).Type != VarType::kClock)
        continue;
      const int32_t code = comparison.RootType();
      if (code >= ExpType::kEqual && code <= ExpType::kAtLeast)
        continue;
      refusal_ = Refusal{"ERROR! Model refused: " + where + ": expression " + Num(id) +
                         " compares clock " + Variable(variable).Name + " with relation code " +
                         Num(code) + "; clocks allow only ==, <, <=, > and >="};
      return false;
    }
    return true;
  }

  CSystem& system_;
  const ProfileIndex& file_;
  MessageSink& messages_;
  std::vector<Reference> references_;
  std::optional<Refusal> refusal_;
};

}  // namespace

std::optional<Refusal> CSystem::Load(const ProfileIndex& file, MessageSink& messages) {
  return ModelLoader(*this, file, messages).Load();
}

}  // namespace tickcheck
