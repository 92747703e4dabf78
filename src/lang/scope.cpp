#include "lang/scope.h"

namespace tickcheck::lang {

std::string Describe(const Symbol& symbol, const std::string& name) {
  switch (symbol.kind) {
    case Symbol::Kind::kConst:
      return "the constant " + name;
    case Symbol::Kind::kType:
      return "the type " + name;
    case Symbol::Kind::kInt:
      return (symbol.size > 0 ? "the array " : "the variable ") + name;
    case Symbol::Kind::kClock:
      return (symbol.size > 0 ? "the clock array " : "the clock ") + name;
    case Symbol::Kind::kChannel:
      return (symbol.size > 0 ? "the channel array " : "the channel ") + name;
    case Symbol::Kind::kTemplate:
      return "the process template " + name;
    case Symbol::Kind::kInstance:
      return "the process " + name;
  }
  return name;
}

const Symbol* Scope::Find(const std::string& name) const {
  const auto found = symbols_.find(name);
  if (found != symbols_.end())
    return &found->second;
  return parent_ != nullptr ? parent_->Find(name) : nullptr;
}

bool Scope::Declare(const SyntaxName& name, Symbol symbol, Diagnostics& diagnostics) {
  const auto found = symbols_.find(name.text);
  if (found != symbols_.end()) {
    diagnostics.Error(name.pos, name.text + " is already declared at line " +
                                    std::to_string(found->second.pos.line) + ", column " +
                                    std::to_string(found->second.pos.column));
    return false;
  }
  symbol.pos = name.pos;
  symbols_.emplace(name.text, std::move(symbol));
  return true;
}

}  // namespace tickcheck::lang
