// Loading of the properties into the model records.
#include <string>

#include "model/expression_record.h"
#include "model/format2.h"
#include "model/profile.h"
#include "model/system.h"

namespace tickcheck {
namespace {

// The file writes R with the operands exchanged (R = 2 means bound > value); each code maps to
// the relation value OP bound. R = 5 is `<=`, like the others an exchange of operands.
int32_t RelationFromFile(int32_t r) {
  switch (r) {
    case 1:
      return ExpType::kEqual;
    case 2:
      return ExpType::kGreater;
    case 3:
      return ExpType::kAtLeast;
    case 4:
      return ExpType::kLess;
    case 5:
      return ExpType::kAtMost;
    case 6:
      return ExpType::kNotEqual;
    default:
      return CAtomProperty::kNeverHolds;
  }
}

}  // namespace

std::optional<Refusal> CSystem::LoadProperties(const ProfileIndex& file, MessageSink& messages) {
  propertyCount = file.Int("Property", "PropertyNum");
  for (int32_t i = 1; i <= propertyCount; ++i) {
    const std::string section = "Property" + std::to_string(i);
    CProperty property;
    property.Type = file.Int(section, "Type" + std::to_string(i));
    if (property.Type == -1)
      return std::nullopt;
    if (format == 2) {
      const std::string key = "Expr" + std::to_string(i);
      property.expression = file.Int(section, key);
      if (property.expression != -1) {
        const std::string problem = PropertyExpressionProblem(*this, property.expression);
        if (!problem.empty()) {
          return Refusal{"ERROR! Model refused: [" + section + "] " + key + "=" +
                         std::to_string(property.expression) + ": " + problem};
        }
        properties.push_back(std::move(property));
        continue;
      }
    }
    for (int32_t j = 1; j <= kMaxListLength; ++j) {
      const std::string suffix = std::to_string(i) + "-1-" + std::to_string(j);
      if (file.Int(section, "K" + suffix) == -1)
        break;
      CAtomProperty atom;
      atom.negated = file.Int(section, "N" + suffix);
      const int32_t v = file.Int(section, "V" + suffix);
      if (v > 0) {
        // Classified by the variable's Type: the same as "v is at most the number of integer
        // variables" when those are declared first, and right when they are not.
        const bool integer = static_cast<size_t>(v) <= variables.size() &&
                             variables[static_cast<size_t>(v) - 1].Type == VarType::kInteger;
        atom.kind = integer ? CAtomProperty::kIntegerVariable : CAtomProperty::kClock;
        atom.variable = v;
        atom.bound = file.Int(section, "B" + suffix);
        atom.relation = RelationFromFile(file.Int(section, "R" + suffix));
        if (atom.relation == CAtomProperty::kNeverHolds)
          messages.Problem("ERROR! In Load atom relation!");
      } else {
        atom.kind = CAtomProperty::kLocation;
        atom.process = v == INT32_MIN ? 0 : -v;
        atom.location = file.Int(section, "B" + suffix);
      }
      property.atoms.push_back(atom);
    }
    properties.push_back(std::move(property));
  }
  return std::nullopt;
}

}  // namespace tickcheck
