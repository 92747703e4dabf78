#pragma once
// The names visible at one point of a model: the global declarations, inside a process instance
// its parameters and local declarations, inside a function its parameters and the locals of each
// enclosing block; inner names shadow outer ones.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/syntax.h"
#include "lang/types.h"

namespace tickcheck::lang {

// One parameter of a function, as its calls check their arguments.
struct ParameterSignature {
  std::string name;
  TypeRef type;
  bool reference = false;  // also every array parameter
  bool readOnly = false;   // `const`
};

struct Symbol {
  enum class Kind {
    kConst,     // a constant: `value` for one cell, else its first constant cell
    kType,      // a typedef
    kVariable,  // global integer cells from `value`
    kClock,     // clocks from `value`
    kChannel,   // channels from `value`
    kFunction,  // function `value` of the network
    kTemplate,
    kInstance,
    kBinder,     // binder `value` (select names and quantifiers)
    kLocal,      // slots from `value` of the function being elaborated
    kReference,  // reference parameter `value` of the function being elaborated
  };
  Kind kind = Kind::kConst;
  SourcePos pos{};
  TypeRef type{};
  int32_t value = 0;
  bool readOnly = false;  // kVariable, kLocal, kReference: `const`, or a loop's name
  const SyntaxTemplate* templ = nullptr;        // kTemplate, and the template of a kInstance
  std::vector<int32_t> arguments{};             // kInstance
  const SyntaxInstance* partial = nullptr;      // kInstance of a partial instance
  std::vector<ParameterSignature> signature{};  // kFunction; `type` is its result
};

// What a symbol is, for messages: "the constant N", "the clock x", ...
std::string Describe(const Symbol& symbol, const std::string& name);

class Scope {
 public:
  explicit Scope(const Scope* parent = nullptr) : parent_(parent) {}

  // The innermost symbol of that name, or null.
  const Symbol* Find(const std::string& name) const;
  // Declares `name` in this scope; a name already declared in this same scope is an error
  // (answering false).
  bool Declare(const SyntaxName& name, Symbol symbol, Diagnostics& diagnostics);
  const std::map<std::string, Symbol>& Symbols() const { return symbols_; }
  const Scope* Parent() const { return parent_; }

 private:
  const Scope* parent_;
  std::map<std::string, Symbol> symbols_;
};

}  // namespace tickcheck::lang
