#include "model/model_writer.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include "model/profile.h"

namespace tickcheck {
namespace {

// What one key must read back as.
struct Expectation {
  enum class Kind { kInt, kString, kMissing, kRecord };
  Kind kind;
  std::string section;
  std::string key;
  int32_t number = 0;
  std::string text;  // the name, or the record's bytes
};

class ModelText {
 public:
  explicit ModelText(bool recordsInOwnSections) : recordsInOwnSections_(recordsInOwnSections) {}

  void Section(const std::string& name) {
    out_ << '[' << name << "]\n";
    section_ = name;
  }
  void Int(const std::string& key, std::optional<int32_t> value) {
    if (!value)
      return;
    out_ << key << '=' << *value << '\n';
    Expect(Expectation::Kind::kInt, key, *value, {});
  }
  void String(const std::string& key, const std::string& value) {
    out_ << key << '=' << value << '\n';
    Expect(Expectation::Kind::kString, key, 0, value);
  }
  void Missing(const std::string& section, const std::string& key) {
    expectations_.push_back({Expectation::Kind::kMissing, section, key, 0, {}});
  }
  void Record(int32_t index, const ExpressionRecord& record, bool first) {
    if (recordsInOwnSections_ && !first)
      Section("Expressions");
    const std::string key = "exp-" + std::to_string(index);
    const std::string bytes = EncodeExpressionRecord(record);
    out_ << key << '=';
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out_ << '\n';
    Expect(Expectation::Kind::kRecord, key, 0, bytes);
  }

  std::string Contents() const { return out_.str(); }
  const std::vector<Expectation>& Expectations() const { return expectations_; }

 private:
  void Expect(Expectation::Kind kind, const std::string& key, int32_t number,
              const std::string& text) {
    // The first occurrence of a key wins when the file is read, so only it is checked.
    if (!seen_.insert(section_ + '\n' + key).second)
      return;
    expectations_.push_back({kind, section_, key, number, text});
  }

  bool recordsInOwnSections_;
  std::ostringstream out_;
  std::string section_;
  std::set<std::string> seen_;
  std::vector<Expectation> expectations_;
};

std::string Num(int64_t value) {
  return std::to_string(value);
}

void WriteProcesses(const ModelSpec& model, ModelText& text) {
  for (size_t pi = 0; pi < model.processes.size(); ++pi) {
    const ProcessSpec& process = model.processes[pi];
    const std::string p = Num(static_cast<int64_t>(pi) + 1);
    if (process.name || process.initLocation) {
      text.Section("Process" + p);
      if (process.name)
        text.String("ProcessName", *process.name);
      text.Int("InitLocation", process.initLocation);
    }
    const std::string locationSection = "Location" + p;
    if (!process.locations.empty())
      text.Section(locationSection);
    for (size_t li = 0; li < process.locations.size(); ++li) {
      const LocationSpec& location = process.locations[li];
      const std::string l = Num(static_cast<int64_t>(li) + 1);
      text.String("Name" + l, location.name);
      for (size_t k = 0; k < location.activeClocks.size(); ++k) {
        const ActiveClockSpec& clock = location.activeClocks[k];
        text.Int("ActiveClock" + l + "-" + Num(static_cast<int64_t>(k) + 1), clock.clock);
        const std::string prefix = "Location" + l + ".Var" + Num(clock.clock);
        text.Int(prefix + ".L", clock.L);
        text.Int(prefix + ".U", clock.U);
      }
      text.Missing(
          locationSection,
          "ActiveClock" + l + "-" + Num(static_cast<int64_t>(location.activeClocks.size()) + 1));
      text.Int("Invariable" + l, location.invariant);
      text.Int("Committed" + l, location.committed);
      text.Int("Urgent" + l, location.urgent);
    }
    text.Missing(locationSection, "Name" + Num(static_cast<int64_t>(process.locations.size()) + 1));

    const std::string jumpSection = "Jump" + p;
    if (!process.jumps.empty())
      text.Section(jumpSection);
    for (size_t mi = 0; mi < process.jumps.size(); ++mi) {
      const JumpSpec& jump = process.jumps[mi];
      const std::string m = Num(static_cast<int64_t>(mi) + 1);
      text.Int("From" + m, jump.from);
      text.Int("To" + m, jump.to);
      text.Int("Guard" + m, jump.guard);
      text.Int("iUrgent" + m, jump.urgent);
      text.Int("Syn" + m, jump.syn);
      text.Int("SynType" + m, jump.synType);
      text.Int("Broadcast" + m, jump.broadcast);
      for (size_t n = 0; n < jump.assignments.size(); ++n) {
        const std::string mn = m + "-" + Num(static_cast<int64_t>(n) + 1);
        text.Int("Assign" + mn, jump.assignments[n].variable);
        text.Int("exp" + mn, jump.assignments[n].expression);
      }
      text.Missing(jumpSection,
                   "Assign" + m + "-" + Num(static_cast<int64_t>(jump.assignments.size()) + 1));
    }
    text.Missing(jumpSection, "From" + Num(static_cast<int64_t>(process.jumps.size()) + 1));
  }
}

// The atoms of one formula, keys K, N, V, B and R followed by `prefix` and the atom's number.
void WriteAtoms(const std::vector<AtomSpec>& atoms, const std::string& section,
                const std::string& prefix, ModelText& text) {
  for (size_t j = 0; j < atoms.size(); ++j) {
    const AtomSpec& atom = atoms[j];
    const std::string suffix = prefix + Num(static_cast<int64_t>(j) + 1);
    text.Int("K" + suffix, 1);
    text.Int("N" + suffix, atom.negated);
    text.Int("V" + suffix, atom.variable);
    text.Int("B" + suffix, atom.bound);
    text.Int("R" + suffix, atom.relation);
  }
  text.Missing(section, "K" + prefix + Num(static_cast<int64_t>(atoms.size()) + 1));
}

void WriteProperties(const ModelSpec& model, ModelText& text) {
  if (!model.propertyNum && model.properties.empty())
    return;
  text.Section("Property");
  text.Int("PropertyNum",
           model.propertyNum.value_or(static_cast<int32_t>(model.properties.size())));
  for (size_t pi = 0; pi < model.properties.size(); ++pi) {
    const PropertySpec& property = model.properties[pi];
    const std::string i = Num(static_cast<int64_t>(pi) + 1);
    const std::string section = "Property" + i;
    text.Section(section);
    text.Int("Type" + i, property.type);
    text.Int("Liveness" + i, property.liveness);
    text.Int("Expr" + i, property.expression);
    text.Int("Expr" + i + "-2", property.thenExpression);
    WriteAtoms(property.atoms, section, i + "-1-", text);
    if (!property.thenAtoms.empty())
      WriteAtoms(property.thenAtoms, section, i + "-2-", text);
  }
}

std::string Compose(const ModelSpec& model, bool recordsInOwnSections,
                    std::vector<Expectation>& expectations) {
  ModelText text(recordsInOwnSections);
  text.Section("General");
  text.Int("ProcessNumber",
           model.processNumber.value_or(static_cast<int32_t>(model.processes.size())));
  text.Int("Format", model.format);
  text.Int("BroadcastRule", model.broadcastRule);

  if (!model.variables.empty())
    text.Section("Variable");
  for (size_t vi = 0; vi < model.variables.size(); ++vi) {
    const VariableSpec& variable = model.variables[vi];
    const std::string v = Num(static_cast<int64_t>(vi) + 1);
    text.String("Name" + v, variable.name);
    text.Int("Type" + v, variable.type);
    text.Int("InitValue" + v, variable.initValue);
    text.Int("Min" + v, variable.min);
    text.Int("Max" + v, variable.max);
  }
  text.Missing("Variable", "Name" + Num(static_cast<int64_t>(model.variables.size()) + 1));

  WriteProcesses(model, text);

  if (!model.urgentChannels.empty())
    text.Section("Channels");
  for (int32_t channel : model.urgentChannels)
    text.Int("Urgent" + Num(channel), 1);

  for (size_t ni = 0; ni < model.constraints.size(); ++ni) {
    const std::string section = "Constraint" + Num(static_cast<int64_t>(ni) + 1);
    text.Section(section);
    const std::vector<int32_t>& ids = model.constraints[ni];
    for (size_t k = 0; k < ids.size(); ++k)
      text.Int("CmpExp-" + Num(static_cast<int64_t>(k) + 1), ids[k]);
    text.Missing(section, "CmpExp-" + Num(static_cast<int64_t>(ids.size()) + 1));
  }

  WriteProperties(model, text);

  if (!model.loops.empty()) {
    text.Section("Loops");
    for (size_t k = 0; k < model.loops.size(); ++k) {
      const std::string id = Num(static_cast<int64_t>(k) + 1);
      text.String("Function" + id, model.loops[k].function);
      text.Int("Line" + id, model.loops[k].line);
    }
    text.Missing("Loops", "Function" + Num(static_cast<int64_t>(model.loops.size()) + 1));
  }

  if (!model.symmetry.empty()) {
    text.Section("Symmetry");
    for (size_t s = 0; s < model.symmetry.size(); ++s) {
      const SymmetrySetSpec& set = model.symmetry[s];
      const std::string id = Num(static_cast<int64_t>(s) + 1);
      text.String("Set" + id, set.name);
      for (size_t k = 0; k < set.members.size(); ++k) {
        const SymmetryMemberSpec& member = set.members[k];
        const std::string m = id + "-" + Num(static_cast<int64_t>(k) + 1);
        text.Int("Process" + m, member.process);
        text.Int("Value" + m, member.value);
        for (size_t j = 0; j < member.own.size(); ++j)
          text.Int("Own" + m + "-" + Num(static_cast<int64_t>(j) + 1), member.own[j]);
        for (size_t j = 0; j < member.channels.size(); ++j)
          text.Int("Channel" + m + "-" + Num(static_cast<int64_t>(j) + 1), member.channels[j]);
      }
      for (size_t j = 0; j < set.identities.size(); ++j)
        text.Int("Identity" + id + "-" + Num(static_cast<int64_t>(j) + 1), set.identities[j]);
    }
    text.Missing("Symmetry", "Set" + Num(static_cast<int64_t>(model.symmetry.size()) + 1));
  }

  // The binary records come last, so that a record's bytes can never hide a later section.
  const int32_t total = model.totalExpNum.value_or(
      model.expressions.empty() ? 0 : model.expressions.rbegin()->first + 1);
  text.Section("Expressions");
  text.Int("TotalExpNum", total);
  bool first = true;
  for (const auto& [index, record] : model.expressions) {
    text.Record(index, record, first);
    first = false;
  }
  // Gaps among the first written indices must read as missing; further ones are not checked, so
  // that a table with scattered huge indices stays cheap to write.
  const int32_t checkedEnd =
      model.expressions.empty() ? 0 : std::min(model.expressions.rbegin()->first, 1024);
  for (int32_t index = 0; index < total && index < checkedEnd; ++index) {
    if (model.expressions.count(index) == 0)
      text.Missing("Expressions", "exp-" + Num(index));
  }
  expectations = text.Expectations();
  return text.Contents();
}

// Reads every expectation back from the index of the composed bytes, which answers exactly like
// the lookups of the loaders.
std::string Verify(const std::vector<Expectation>& expectations, const ProfileIndex& file) {
  for (const Expectation& e : expectations) {
    const std::string where = "[" + e.section + "] " + e.key;
    switch (e.kind) {
      case Expectation::Kind::kInt: {
        const int32_t read = file.Int(e.section, e.key);
        if (read != e.number || !file.ValueOffset(e.section, e.key))
          return where + " reads back as " + Num(read) + " instead of " + Num(e.number);
        break;
      }
      case Expectation::Kind::kString: {
        const std::string read = file.String(e.section, e.key);
        if (read != e.text)
          return where + " reads back as \"" + read + "\" instead of \"" + e.text + "\"";
        break;
      }
      case Expectation::Kind::kMissing: {
        if (file.ValueOffset(e.section, e.key))
          return where + " must be absent but is found";
        break;
      }
      case Expectation::Kind::kRecord: {
        const std::optional<long> offset = file.ValueOffset(e.section, e.key);
        if (!offset ||
            file.Bytes().compare(static_cast<size_t>(*offset), e.text.size(), e.text) != 0)
          return where + ": the binary record does not read back as written";
        break;
      }
    }
  }
  return {};
}

}  // namespace

ModelFileText ComposeModelFile(const ModelSpec& model) {
  ModelFileText result;
  // A record whose bytes happen to look like a line break followed by `[` ends its section for
  // every later key; giving each record a section of its own keeps the others readable.
  for (const bool recordsInOwnSections : {false, true}) {
    std::vector<Expectation> expectations;
    result.bytes = Compose(model, recordsInOwnSections, expectations);
    result.failure = Verify(expectations, ProfileIndex::OfBytes("model file", result.bytes));
    if (result.failure.empty())
      return result;
  }
  result.bytes.clear();
  return result;
}

std::string WriteModelFile(const ModelSpec& model, const std::string& path) {
  const ModelFileText text = ComposeModelFile(model);
  if (!text.failure.empty())
    return "model file " + path + ": " + text.failure;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out)
    return "cannot create " + path;
  out.write(text.bytes.data(), static_cast<std::streamsize>(text.bytes.size()));
  if (!out.flush())
    return "cannot write " + path;
  return {};
}

}  // namespace tickcheck
