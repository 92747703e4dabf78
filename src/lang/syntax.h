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

struct SyntaxType;

struct SyntaxName {
  std::string text;
  SourcePos pos;
};

struct SyntaxExpr {
  enum class Kind {
    kNumber,       // `number`
    kBool,         // `number` is 1 for true, 0 for false
    kName,         // `text`
    kIndex,        // operands[0][operands[1]]
    kUnary,        // `text` one of "-", "!" (also `not`), "~", applied to operands[0]
    kBinary,       // `text` an operator ("+", "&&", "imply", "<=", "<<", ...) on operands[0], [1]
    kConditional,  // operands[0] ? operands[1] : operands[2]
    kCall,         // `text`(operands...): a function call, or a process of a query such as P(2)
    kMember,       // operands[0].`text`: a record field, or a process's location or name; with
                   // `number` 1, a call `P.f(operands[1]...)` of a process's function
    kAssign,       // operands[0] `text` operands[1]; `text` "=" (also ":="), "+=", "<<=", ...
    kIncrement,    // `text` "++" or "--" on operands[0]; `number` 1 before it, 0 after it
    kQuantifier,   // `text` "forall", "exists" or "sum" over `binder` : binderType[0]
    kDeadlock,     // `deadlock`, in queries
  };
  Kind kind = Kind::kNumber;
  std::string text;
  int64_t number = 0;
  std::vector<SyntaxExpr> operands;
  SourcePos pos;
  SyntaxName binder;                   // kQuantifier
  std::vector<SyntaxType> binderType;  // kQuantifier: one type
};

// One field of a record type, or one parameter of a function or template.
struct SyntaxVariable;

struct SyntaxType {
  enum class Kind {
    kInt,    // `int`: int[-32768,32767]
    kRange,  // `int[lower,upper]`
    kBool,
    kNamed,   // a typedef's `name`
    kScalar,  // `scalar[upper]`: `upper` opaque values
    kStruct,  // `struct { fields }`
    kClock,
    kChannel,  // `chan`, with `broadcast` and `urgent`
    kVoid,     // a function's result only
  };
  Kind kind = Kind::kInt;
  bool isConst = false;
  bool isMeta = false;
  bool urgent = false;     // kChannel
  bool broadcast = false;  // kChannel
  std::optional<SyntaxExpr> lower, upper;
  std::string name;                    // kNamed
  std::vector<SyntaxVariable> fields;  // kStruct
  SourcePos pos;
};

// The size of one array dimension: an expression (a constant, or a name that may name a type),
// or a type written out (`int[0,3]`, `scalar[2]`).
struct SyntaxArraySize {
  SyntaxExpr size;
  std::vector<SyntaxType> type;  // empty, or the one type written out
  SourcePos pos;
};

// An initialiser: one expression, or a list `{ ... }` of initialisers.
struct SyntaxInit {
  std::optional<SyntaxExpr> value;
  std::vector<SyntaxInit> list;
  SourcePos pos;
};

// One declared name with its array sizes (outermost first) and optional initialiser.
struct SyntaxDeclarator {
  SyntaxName name;
  std::vector<SyntaxArraySize> sizes;
  std::optional<SyntaxInit> init;
};

struct SyntaxVariable {
  SyntaxType type;
  bool reference = false;  // parameters: `int &x`
  SyntaxDeclarator declarator;
};

struct SyntaxDeclaration;

struct SyntaxStatement {
  enum class Kind {
    kEmpty,        // `;`
    kExpression,   // expression[0];
    kDeclaration,  // declaration[0] (local variables and constants)
    kBlock,        // { body... }
    kIf,           // if (expression[0]) body[0] else body[1]
    kWhile,        // while (expression[0]) body[0]
    kDoWhile,      // do body[0] while (expression[0]);
    kFor,          // for (init; condition; step) body[0]; each of the three optional
    kForRange,     // for (binder : binderType[0]) body[0]
    kBreak,
    kContinue,
    kReturn,  // return expression[0] (optional);
  };
  Kind kind = Kind::kEmpty;
  std::vector<SyntaxExpr> expression;
  std::vector<SyntaxStatement> body;
  std::vector<SyntaxDeclaration> declaration;
  std::vector<SyntaxStatement> init;    // kFor: an expression statement or a declaration
  std::optional<SyntaxExpr> condition;  // kFor
  std::optional<SyntaxExpr> step;       // kFor
  SyntaxName binder;                    // kForRange
  std::vector<SyntaxType> binderType;   // kForRange
  SourcePos pos;
};

struct SyntaxFunction {
  SyntaxType result;  // kVoid for none
  SyntaxName name;
  std::vector<SyntaxVariable> parameters;
  SyntaxStatement body;  // a kBlock
  SourcePos end;         // the closing brace
};

struct SyntaxDeclaration {
  enum class Kind {
    kVariables,  // `type` then `names`: variables, constants, clocks, channels
    kTypedef,    // `type` named by names[0] (with its array sizes)
    kFunction,   // function[0]
  };
  Kind kind = Kind::kVariables;
  SyntaxType type;
  std::vector<SyntaxDeclarator> names;
  std::vector<SyntaxFunction> function;
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

// `select i : T` on an edge.
struct SyntaxSelect {
  SyntaxName name;
  SyntaxType type;
};

struct SyntaxEdge {
  SyntaxName from, to;
  std::vector<SyntaxSelect> selects;
  std::optional<SyntaxExpr> guard;
  std::optional<SyntaxSync> sync;
  std::vector<SyntaxExpr> updates;  // the assign list, in order
};

struct SyntaxTemplate {
  SyntaxName name;
  std::vector<SyntaxVariable> parameters;
  std::vector<SyntaxDeclaration> declarations;
  std::vector<SyntaxLocation> locations;
  std::vector<SyntaxName> committed;  // `commit a, b;`
  std::vector<SyntaxName> urgent;     // `urgent a;`
  std::optional<SyntaxName> init;
  std::vector<SyntaxEdge> edges;
  SourcePos end;  // the closing brace
};

// `name = template(arguments);`, or a partial instance `name(parameters) = template(arguments);`
// whose arguments may use its parameters.
struct SyntaxInstance {
  SyntaxName name;
  SyntaxName templateName;
  std::vector<SyntaxExpr> arguments;
  bool partial = false;
  std::vector<SyntaxVariable> parameters;
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

// One query of a query file: `E<> f`, `A[] f`, `A<> f`, `E[] f` or `f --> g`.
struct SyntaxQuery {
  // E<>, A[], A<>, E[], and p --> q
  enum class Kind { kReachable, kInvariant, kEventually, kAlways, kLeadsTo };
  Kind kind = Kind::kReachable;
  SyntaxExpr formula;
  SyntaxExpr then;   // q of a leads-to
  std::string text;  // as written, comments left out and line breaks as single blanks
  SourcePos pos;
};

}  // namespace tickcheck::lang
