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

// The atoms of one formula of property i: keys K, N, V, B and R followed by
// "<i>-<formula>-<j>", read until the first missing K.
std::vector<CAtomProperty> LoadAtoms(const CSystem& system, const ProfileIndex& file,
                                     const std::string& section, int32_t i, int32_t formula,
                                     MessageSink& messages) {
  std::vector<CAtomProperty> atoms;
  for (int32_t j = 1; j <= kMaxListLength; ++j) {
    const std::string suffix =
        std::to_string(i) + "-" + std::to_string(formula) + "-" + std::to_string(j);
    if (file.Int(section, "K" + suffix) == -1)
      break;
    CAtomProperty atom;
    atom.negated = file.Int(section, "N" + suffix);
    const int32_t v = file.Int(section, "V" + suffix);
    if (v > 0) {
      // Classified by the variable's Type: the same as "v is at most the number of integer
      // variables" when those are declared first, and right when they are not.
      const bool integer = static_cast<size_t>(v) <= system.variables.size() &&
                           system.variables[static_cast<size_t>(v) - 1].Type == VarType::kInteger;
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
    atoms.push_back(atom);
  }
  return atoms;
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
    const std::string livenessKey = "Liveness" + std::to_string(i);
    const int32_t liveness = file.Int(section, livenessKey);
    if (liveness != -1) {
      const std::string refused =
          "ERROR! Model refused: [" + section + "] " + livenessKey + "=" + std::to_string(liveness);
      if (liveness < 1 || liveness > 3)
        return Refusal{refused + ": unknown liveness property (1 E[], 2 A<>, 3 -->)"};
      if (property.Type != CProperty::kLivenessType) {
        return Refusal{refused + ": a liveness property has Type" + std::to_string(i) + "=" +
                       std::to_string(CProperty::kLivenessType) + ", not " +
                       std::to_string(property.Type)};
      }
      property.liveness = static_cast<Liveness>(liveness);
    }
    // Formula 1 is the property, formula 2 the second formula of a leads-to; each is an
    // expression (format 2) or a conjunction of atoms.
    const int32_t formulas = property.liveness == Liveness::kLeadsTo ? 2 : 1;
    for (int32_t formula = 1; formula <= formulas; ++formula) {
      int32_t expression = -1;
      if (format == 2) {
        const std::string key =
            formula == 1 ? "Expr" + std::to_string(i) : "Expr" + std::to_string(i) + "-2";
        expression = file.Int(section, key);
        if (expression != -1) {
          const std::string problem = PropertyExpressionProblem(*this, expression);
          if (!problem.empty()) {
            return Refusal{"ERROR! Model refused: [" + section + "] " + key + "=" +
                           std::to_string(expression) + ": " + problem};
          }
        }
      }
      std::vector<CAtomProperty> atoms;
      if (expression == -1)
        atoms = LoadAtoms(*this, file, section, i, formula, messages);
      (formula == 1 ? property.expression : property.thenExpression) = expression;
      (formula == 1 ? property.atoms : property.thenAtoms) = std::move(atoms);
    }
    properties.push_back(std::move(property));
  }
  return std::nullopt;
}

}  // namespace tickcheck
