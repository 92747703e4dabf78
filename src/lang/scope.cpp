#include "lang/scope.h"

namespace tickcheck::lang {
namespace {

bool IsArray(const Symbol& symbol) {
  return symbol.type && symbol.type->kind == Type::Kind::kArray;
}

}  // namespace

std::string Describe(const Symbol& symbol, const std::string& name) {
  switch (symbol.kind) {
    case Symbol::Kind::kConst:
      return (IsArray(symbol) ? "the constant array " : "the constant ") + name;
    case Symbol::Kind::kType:
      return "the type " + name;
    case Symbol::Kind::kVariable:
    case Symbol::Kind::kLocal:
    case Symbol::Kind::kReference:
      if (symbol.type->kind == Type::Kind::kRecord)
        return "the record " + name;
      return (IsArray(symbol) ? "the array " : "the variable ") + name;
    case Symbol::Kind::kClock:
      return (IsArray(symbol) ? "the clock array " : "the clock ") + name;
    case Symbol::Kind::kChannel:
      return (IsArray(symbol) ? "the channel array " : "the channel ") + name;
    case Symbol::Kind::kFunction:
      return "the function " + name;
    case Symbol::Kind::kTemplate:
      return "the process template " + name;
    case Symbol::Kind::kInstance:
      return "the process " + name;
    case Symbol::Kind::kBinder:
      return "the name " + name;
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
