#pragma once
// The names visible at one point of a model: the global declarations, and inside a process
// instance its parameters and local declarations, which shadow global names.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

struct Symbol {
  enum class Kind { kConst, kType, kInt, kClock, kChannel, kTemplate, kInstance };
  Kind kind = Kind::kConst;
  SourcePos pos{};
  int32_t value = 0;             // kConst
  int32_t lower = 0, upper = 0;  // kType and kInt: the range
  bool bounded = true;           // kType: false for plain `int`
  int32_t first = 0;             // kInt, kClock, kChannel: the first variable, clock or channel
  int32_t size = 0;              // kInt, kClock, kChannel: the array's size, 0 for one
  bool broadcast = false;        // kChannel
  const SyntaxTemplate* templ = nullptr;  // kTemplate, and the template of a kInstance
  std::vector<int32_t> arguments{};       // kInstance
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

 private:
  const Scope* parent_;
  std::map<std::string, Symbol> symbols_;
};

}  // namespace tickcheck::lang
