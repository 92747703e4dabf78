#pragma once
// The syntax tree of a model and of a query, as the parser reads them: names are still text and
// expressions are still untyped. Every node keeps the position where it starts.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "lang/diagnostics.h"

namespace tickcheck::lang {

struct SyntaxExpr {
  enum class Kind {
    kNumber,       // `number`
    kBool,         // `number` is 1 for true, 0 for false
    kName,         // `text`
    kIndex,        // operands[0][operands[1]]
    kUnary,        // `text` one of "-", "!" (also `not`), applied to operands[0]
    kBinary,       // `text` an operator ("+", "&&", "imply", "<=", ...) on operands[0], [1]
    kConditional,  // operands[0] ? operands[1] : operands[2]
    kCall,         // `text`(operands...): a process of a query such as P(2)
    kMember,       // operands[0].`text`: a location or local name of a process, in queries
  };
  Kind kind = Kind::kNumber;
  std::string text;
  int64_t number = 0;
  std::vector<SyntaxExpr> operands;
  SourcePos pos;
};

struct SyntaxName {
  std::string text;
  SourcePos pos;
};

struct SyntaxType {
  enum class Kind { kInt, kRange, kBool, kNamed };
  Kind kind = Kind::kInt;
  std::optional<SyntaxExpr> lower, upper;  // kRange
  std::string name;                        // kNamed
  SourcePos pos;
};

// One declared name with its optional array size and initialiser (a list for arrays).
struct SyntaxDeclarator {
  SyntaxName name;
  std::optional<SyntaxExpr> size;
  std::vector<SyntaxExpr> init;
  bool initIsList = false;
};

struct SyntaxDeclaration {
  enum class Kind { kConst, kTypedef, kVariable, kClock, kChannel };
  Kind kind = Kind::kVariable;
  SyntaxType type;         // kConst, kTypedef, kVariable
  bool broadcast = false;  // kChannel
  std::vector<SyntaxDeclarator> names;
  SourcePos pos;
};

struct SyntaxLocation {
  SyntaxName name;
  std::optional<SyntaxExpr> invariant;
};

struct SyntaxSync {
  SyntaxExpr channel;
  bool send = true;
  SourcePos pos;
};

struct SyntaxAssignment {
  SyntaxExpr target;
  SyntaxExpr value;
  SourcePos pos;
};

struct SyntaxEdge {
  SyntaxName from, to;
  std::optional<SyntaxExpr> guard;
  std::optional<SyntaxSync> sync;
  std::vector<SyntaxAssignment> assignments;
};

struct SyntaxParameter {
  SyntaxType type;
  SyntaxName name;
};

struct SyntaxTemplate {
  SyntaxName name;
  std::vector<SyntaxParameter> parameters;
  std::vector<SyntaxDeclaration> declarations;
  std::vector<SyntaxLocation> locations;
  std::optional<SyntaxName> init;
  std::vector<SyntaxEdge> edges;
  SourcePos end;  // the closing brace
};

// `name = template(arguments);`
struct SyntaxInstance {
  SyntaxName name;
  SyntaxName templateName;
  std::vector<SyntaxExpr> arguments;
};

struct SyntaxSystem {
  std::vector<SyntaxName> entries;
  SourcePos pos;
};

using SyntaxItem = std::variant<SyntaxDeclaration, SyntaxTemplate, SyntaxInstance>;

struct SyntaxModel {
  std::vector<SyntaxItem> items;  // in source order
  std::optional<SyntaxSystem> system;
  SourcePos end;  // end of the text
};

}  // namespace tickcheck::lang
