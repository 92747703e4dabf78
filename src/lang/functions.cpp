#include "lang/functions.h"

#include <cstdint>
#include <memory>

#include "lang/fold.h"
#include "lang/resolve.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

Statement ExpressionStatement(Term term) {
  Statement statement;
  statement.kind = Statement::Kind::kExpression;
  statement.terms = {std::move(term)};
  return statement;
}

Term Assign(Term place, Term value, SourcePos pos) {
  Term assign;
  assign.kind = Term::Kind::kAssign;
  assign.operands = {std::move(place), std::move(value)};
  assign.pos = pos;
  return assign;
}

// Records what `term` assigns outside the frame of the function that holds it.
void CollectWrites(const Term& term, const Network& network, Function& function) {
  auto wrote = [&function](const Term& place) {
    if (place.space == Space::kGlobal)
      function.writesGlobals = true;
    else if (place.space == Space::kReference)
      function.writesReferences[static_cast<size_t>(place.value)] = true;
  };
  if (term.kind == Term::Kind::kAssign || term.kind == Term::Kind::kIncrement)
    wrote(term.operands[0]);
  if (term.kind == Term::Kind::kCall) {
    const Function& callee = network.functions[static_cast<size_t>(term.value)];
    function.writesGlobals = function.writesGlobals || callee.writesGlobals;
    for (size_t k = 0; k < callee.parameters.size(); ++k) {
      const Parameter& parameter = callee.parameters[k];
      if (parameter.reference && callee.writesReferences[static_cast<size_t>(parameter.first)])
        wrote(term.operands[k]);
    }
  }
  for (const Term& operand : term.operands)
    CollectWrites(operand, network, function);
}

void CollectWrites(const Statement& statement, const Network& network, Function& function) {
  for (const Term& term : statement.terms)
    CollectWrites(term, network, function);
  for (const Statement& inner : statement.body)
    CollectWrites(inner, network, function);
}

class FunctionElaborator {
 public:
  FunctionElaborator(Network& network, Diagnostics& diagnostics)
      : network_(network), diagnostics_(diagnostics) {}

  void Run(const SyntaxFunction& syntax, Scope& scope, const std::string& qualifiedName) {
    Resolver outer(scope, network_, diagnostics_, Position::kFunction);
    const std::optional<TypeRef> result = outer.ResolveType(syntax.result, "");
    if (!result)
      return;
    if (!(*result)->IsValue() && (*result)->kind != Type::Kind::kVoid) {
      diagnostics_.Error(syntax.result.pos,
                         "a function returns an integer, a bool, a scalar value "
                         "or nothing (void), not " +
                             TypeText(**result));
      return;
    }
    result_ = *result;
    function_.name = qualifiedName;
    function_.pos = syntax.name.pos;
    if ((*result)->IsValue())
      function_.result = CellsOf(**result)[0];
    Symbol symbol{.kind = Symbol::Kind::kFunction, .type = *result};
    std::vector<TypeRef> types;
    for (const SyntaxVariable& parameter : syntax.parameters) {
      const std::string& name = parameter.declarator.name.text;
      std::optional<TypeRef> type = outer.ResolveType(parameter.type, "");
      if (type)
        type = outer.ArrayOf(*type, parameter.declarator.sizes, name);
      if (!type)
        return;
      const Type::Kind kind = (*type)->Innermost().kind;
      if (kind == Type::Kind::kClock || kind == Type::Kind::kChannel || kind == Type::Kind::kVoid) {
        diagnostics_.Error(parameter.declarator.name.pos,
                           "a function's parameter cannot be " + TypeText((*type)->Innermost()));
        return;
      }
      const bool reference = parameter.reference || (*type)->kind == Type::Kind::kArray;
      symbol.signature.push_back({name, *type, reference, parameter.type.isConst});
      types.push_back(*type);
    }
    id_ = static_cast<int32_t>(network_.functions.size());
    symbol.value = id_;
    network_.functions.emplace_back();
    network_.functions.back().name = qualifiedName;
    if (!scope.Declare(syntax.name, symbol, diagnostics_))
      return;

    Scope parameters(&scope);
    for (size_t k = 0; k < syntax.parameters.size(); ++k) {
      const ParameterSignature& signature = symbol.signature[k];
      Symbol local{.type = types[k], .readOnly = signature.readOnly};
      if (signature.reference) {
        local.kind = Symbol::Kind::kReference;
        local.value = function_.references++;
        function_.parameters.push_back({true, local.value, types[k]->cells});
      } else {
        local.kind = Symbol::Kind::kLocal;
        local.value = Slots(*types[k]);
        function_.parameters.push_back({false, local.value, types[k]->cells});
      }
      parameters.Declare(syntax.parameters[k].declarator.name, std::move(local), diagnostics_);
    }
    function_.writesReferences.assign(static_cast<size_t>(function_.references), false);
    function_.body = Elaborate(syntax.body, parameters);
    CollectWrites(function_.body, network_, function_);
    network_.functions[static_cast<size_t>(id_)] = std::move(function_);
  }

 private:
  // Allocates the slots of a value of `type`; answers the first.
  int32_t Slots(const Type& type) {
    const auto first = static_cast<int32_t>(function_.slots.size());
    for (const CellType& cell : CellsOf(type))
      function_.slots.push_back(cell);
    return first;
  }

  Resolver ResolverIn(const Scope& scope) {
    return Resolver(scope, network_, diagnostics_, Position::kFunction, id_);
  }

  // A statement in a scope of its own.
  Statement Nested(const SyntaxStatement& syntax, const Scope& scope) {
    auto inner = std::make_unique<Scope>(&scope);
    Statement statement = Elaborate(syntax, *inner);
    scopes_.push_back(std::move(inner));
    return statement;
  }

  Statement Elaborate(const SyntaxStatement& syntax, Scope& scope) {
    Statement statement;
    statement.line = syntax.pos.line;
    switch (syntax.kind) {
      case SyntaxStatement::Kind::kEmpty:
        return statement;
      case SyntaxStatement::Kind::kBlock: {
        auto inner = std::make_unique<Scope>(&scope);
        for (const SyntaxStatement& item : syntax.body)
          statement.body.push_back(Elaborate(item, *inner));
        scopes_.push_back(std::move(inner));
        return statement;
      }
      case SyntaxStatement::Kind::kExpression:
        if (std::optional<Term> effect = ResolverIn(scope).Effect(syntax.expression[0]))
          return ExpressionStatement(std::move(*effect));
        return statement;
      case SyntaxStatement::Kind::kDeclaration:
        return Declaration(syntax.declaration[0], scope);
      case SyntaxStatement::Kind::kIf: {
        statement.kind = Statement::Kind::kIf;
        std::optional<Term> condition = ResolverIn(scope).Condition(syntax.expression[0]);
        statement.terms.push_back(condition ? std::move(*condition) : Term::Const(0));
        for (const SyntaxStatement& branch : syntax.body)
          statement.body.push_back(Nested(branch, scope));
        return statement;
      }
      case SyntaxStatement::Kind::kWhile:
      case SyntaxStatement::Kind::kDoWhile: {
        statement.kind = syntax.kind == SyntaxStatement::Kind::kWhile ? Statement::Kind::kWhile
                                                                      : Statement::Kind::kDoWhile;
        std::optional<Term> condition = ResolverIn(scope).Condition(syntax.expression[0]);
        statement.terms.push_back(condition ? std::move(*condition) : Term::Const(0));
        ++loops_;
        statement.body.push_back(Nested(syntax.body[0], scope));
        --loops_;
        return statement;
      }
      case SyntaxStatement::Kind::kFor:
        return For(syntax, scope);
      case SyntaxStatement::Kind::kForRange:
        return ForRange(syntax, scope);
      case SyntaxStatement::Kind::kBreak:
      case SyntaxStatement::Kind::kContinue: {
        const bool isBreak = syntax.kind == SyntaxStatement::Kind::kBreak;
        if (loops_ == 0) {
          diagnostics_.Error(syntax.pos,
                             std::string(isBreak ? "break" : "continue") + " outside a loop");
          return statement;
        }
        statement.kind = isBreak ? Statement::Kind::kBreak : Statement::Kind::kContinue;
        return statement;
      }
      case SyntaxStatement::Kind::kReturn:
        return Return(syntax, scope);
    }
    return statement;
  }

  Statement Return(const SyntaxStatement& syntax, const Scope& scope) {
    Statement statement;
    statement.kind = Statement::Kind::kReturn;
    statement.line = syntax.pos.line;
    if (result_->kind == Type::Kind::kVoid) {
      if (!syntax.expression.empty())
        diagnostics_.Error(syntax.expression[0].pos,
                           function_.name + " is void: its return gives no value");
      return statement;
    }
    if (syntax.expression.empty()) {
      diagnostics_.Error(syntax.pos, function_.name + " must return a value");
      return statement;
    }
    if (std::optional<Term> value =
            ResolverIn(scope).ValueFor(syntax.expression[0], *result_, "the result"))
      statement.terms.push_back(std::move(*value));
    return statement;
  }

  Statement For(const SyntaxStatement& syntax, const Scope& scope) {
    auto inner = std::make_unique<Scope>(&scope);
    Statement block;
    block.line = syntax.pos.line;
    for (const SyntaxStatement& init : syntax.init)
      block.body.push_back(Elaborate(init, *inner));
    Statement loop;
    loop.kind = Statement::Kind::kFor;
    loop.line = syntax.pos.line;
    Resolver resolver = ResolverIn(*inner);
    std::optional<Term> condition =
        syntax.condition ? resolver.Condition(*syntax.condition) : Term::Const(1);
    loop.terms.push_back(condition ? std::move(*condition) : Term::Const(0));
    if (syntax.step) {
      if (std::optional<Term> step = resolver.Effect(*syntax.step))
        loop.terms.push_back(std::move(*step));
    }
    ++loops_;
    loop.body.push_back(Nested(syntax.body[0], *inner));
    --loops_;
    block.body.push_back(std::move(loop));
    scopes_.push_back(std::move(inner));
    return block;
  }

  // for (i : T) body: i takes T's values in turn, from a slot whose range reaches one beyond T's
  // last value, where the loop ends.
  Statement ForRange(const SyntaxStatement& syntax, const Scope& scope) {
    Statement block;
    block.line = syntax.pos.line;
    const std::optional<TypeRef> type = ResolverIn(scope).ResolveType(syntax.binderType[0], "");
    if (!type)
      return block;
    const Type& range = **type;
    if (!range.IsValue() ||
        (range.kind == Type::Kind::kInt && range.lower == kIntLower && range.upper == kIntUpper)) {
      diagnostics_.Error(syntax.binder.pos, "for (" + syntax.binder.text +
                                                " : ...) needs a bounded type such as int[0,3], "
                                                "bool or a scalar set, not " +
                                                TypeText(range));
      return block;
    }
    const auto slot = static_cast<int32_t>(function_.slots.size());
    const int64_t beyond = int64_t{range.upper} + 1;
    function_.slots.push_back(
        {range.lower, static_cast<int32_t>(std::min<int64_t>(beyond, INT32_MAX)), false});
    auto inner = std::make_unique<Scope>(&scope);
    inner->Declare(
        syntax.binder,
        Symbol{.kind = Symbol::Kind::kLocal, .type = *type, .value = slot, .readOnly = true},
        diagnostics_);
    const SourcePos pos = syntax.binder.pos;
    const Term place = Term::Place(Space::kLocal, slot, {function_.slots.back()}, pos);
    block.body.push_back(ExpressionStatement(Assign(place, Term::Const(range.lower, pos), pos)));
    Statement loop;
    loop.kind = Statement::Kind::kFor;
    loop.line = syntax.pos.line;
    loop.terms.push_back(
        Term::Binary(ExpType::kAtMost, Term::Read(place, pos), Term::Const(range.upper, pos), pos));
    Term step;
    step.kind = Term::Kind::kIncrement;
    step.value = 1;
    step.size = 1;
    step.operands = {place};
    step.pos = pos;
    loop.terms.push_back(std::move(step));
    ++loops_;
    loop.body.push_back(Nested(syntax.body[0], *inner));
    --loops_;
    block.body.push_back(std::move(loop));
    scopes_.push_back(std::move(inner));
    return block;
  }

  Statement Declaration(const SyntaxDeclaration& declaration, Scope& scope) {
    Statement block;
    Resolver resolver = ResolverIn(scope);
    std::optional<TypeRef> base = resolver.ResolveType(declaration.type, "");
    if (declaration.kind == SyntaxDeclaration::Kind::kTypedef) {
      const SyntaxDeclarator& declarator = declaration.names[0];
      base = base ? resolver.ArrayOf(*base, declarator.sizes, declarator.name.text) : base;
      if (base)
        scope.Declare(declarator.name, Symbol{.kind = Symbol::Kind::kType, .type = *base},
                      diagnostics_);
      return block;
    }
    if (!base)
      return block;
    for (const SyntaxDeclarator& declarator : declaration.names) {
      const std::optional<TypeRef> type =
          resolver.ArrayOf(*base, declarator.sizes, declarator.name.text);
      if (!type)
        continue;
      const Type::Kind kind = (*type)->Innermost().kind;
      if (kind == Type::Kind::kClock || kind == Type::Kind::kChannel || kind == Type::Kind::kVoid) {
        diagnostics_.Error(declarator.name.pos,
                           "a function cannot declare " + TypeText((*type)->Innermost()));
        continue;
      }
      if (declaration.type.isConst) {
        if (std::optional<Symbol> symbol = resolver.ConstantSymbol(declarator, *type))
          scope.Declare(declarator.name, std::move(*symbol), diagnostics_);
        continue;
      }
      const int32_t first = Slots(**type);
      const Term place = Term::Place(Space::kLocal, first, CellsOf(**type), declarator.name.pos);
      if (declarator.init) {
        Initialise(*declarator.init, place, **type, declarator.name.text, resolver, block.body);
      } else {
        for (size_t k = 0; k < place.cells.size(); ++k) {
          const Term cell = Term::Place(Space::kLocal, first + static_cast<int32_t>(k),
                                        {place.cells[k]}, declarator.name.pos);
          block.body.push_back(ExpressionStatement(
              Assign(cell, Term::Const(DefaultValue(place.cells[k])), declarator.name.pos)));
        }
      }
      scope.Declare(declarator.name,
                    Symbol{.kind = Symbol::Kind::kLocal, .type = *type, .value = first},
                    diagnostics_);
    }
    return block;
  }

  // The assignments that initialise the local `place` of `type` from `init`.
  void Initialise(const SyntaxInit& init, const Term& place, const Type& type,
                  const std::string& name, Resolver& resolver, std::vector<Statement>& out) {
    const SourcePos pos = init.pos;
    if (init.value) {
      if (type.IsValue()) {
        if (std::optional<Term> value = resolver.ValueFor(*init.value, type, name))
          out.push_back(ExpressionStatement(Assign(place, std::move(*value), pos)));
        return;
      }
      if (std::optional<Term> value = resolver.WholeValue(*init.value, type, name))
        out.push_back(ExpressionStatement(Assign(place, std::move(*value), pos)));
      return;
    }
    const bool array = type.kind == Type::Kind::kArray;
    const size_t count = array                              ? static_cast<size_t>(type.Length())
                         : type.kind == Type::Kind::kRecord ? type.fields.size()
                                                            : 0;
    if (count == 0 || init.list.size() != count) {
      diagnostics_.Error(pos, name + " needs " +
                                  (count == 0 ? std::string("one initial value")
                                              : std::to_string(count) + " initial values"));
      return;
    }
    for (size_t k = 0; k < count; ++k) {
      const Type& part = array ? *type.element : *type.fields[k].type;
      const int32_t offset = array ? static_cast<int32_t>(k) * part.cells : type.fields[k].offset;
      const Term partPlace =
          Term::Place(Space::kLocal, place.value + offset, CellsOf(part), place.pos);
      Initialise(init.list[k], partPlace, part, name, resolver, out);
    }
  }

  Network& network_;
  Diagnostics& diagnostics_;
  Function function_;
  TypeRef result_;
  int32_t id_ = -1;
  int loops_ = 0;
  std::vector<std::unique_ptr<Scope>> scopes_;
};

}  // namespace

void ElaborateFunction(const SyntaxFunction& syntax, Scope& scope, const std::string& qualifiedName,
                       Network& network, Diagnostics& diagnostics) {
  FunctionElaborator(network, diagnostics).Run(syntax, scope, qualifiedName);
}

}  // namespace tickcheck::lang
