#include "lang/elaborate.h"

#include <functional>
#include <map>
#include <set>
#include <string>

#include "lang/functions.h"
#include "lang/ranges.h"
#include "lang/resolve.h"
#include "lang/substitute.h"

namespace tickcheck::lang {
namespace {

std::string RangeText(int64_t lower, int64_t upper) {
  return std::to_string(lower) + " .. " + std::to_string(upper);
}

bool IsPlainInt(const Type& type) {
  return type.kind == Type::Kind::kInt && type.lower == kIntLower && type.upper == kIntUpper;
}

class Elaborator {
 public:
  explicit Elaborator(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

  std::optional<Elaboration> Run(const SyntaxModel& model) {
    result_.globals = std::make_unique<Scope>();
    Scope& globals = *result_.globals;
    for (const SyntaxItem& item : model.items) {
      if (const auto* declaration = std::get_if<SyntaxDeclaration>(&item)) {
        Declare(*declaration, globals, "", -1, "");
      } else if (const auto* templ = std::get_if<SyntaxTemplate>(&item)) {
        globals.Declare(templ->name, Symbol{.kind = Symbol::Kind::kTemplate, .templ = templ},
                        diagnostics_);
      } else {
        Instance(std::get<SyntaxInstance>(item));
      }
    }
    if (!model.system) {
      diagnostics_.Error(model.end, "the model has no system line (for example: system P;)");
    } else {
      System(*model.system);
    }
    if (!diagnostics_.Empty())
      return std::nullopt;
    return std::move(result_);
  }

 private:
  Network& network() { return result_.network; }
  const Scope& Globals() const { return *result_.globals; }

  // Notes, for the symmetry of scalar sets and integer identities, the cells of a value of `type`
  // from `first` on.
  void NoteScalars(const Type& type, int32_t first, ScalarSet::Indexed::Kind kind) {
    if (type.kind == Type::Kind::kScalar && kind == ScalarSet::Indexed::Kind::kVariables) {
      network().scalars[static_cast<size_t>(type.scalarSet)].variables.push_back(first);
    } else if (type.kind == Type::Kind::kArray) {
      if (type.scalarSet >= 0) {
        network().scalars[static_cast<size_t>(type.scalarSet)].arrays.push_back(
            {kind, first, type.element->cells});
      } else {
        network().rangeArrays.push_back(
            {kind, first, type.element->cells, type.lower, type.upper, type.typedIndex});
      }
      for (int32_t k = 0; k < type.Length(); ++k)
        NoteScalars(*type.element, first + k * type.element->cells, kind);
    } else if (type.kind == Type::Kind::kRecord) {
      for (const Field& field : type.fields)
        NoteScalars(*field.type, first + field.offset, kind);
    }
  }

  void Declare(const SyntaxDeclaration& declaration, Scope& scope, const std::string& prefix,
               int32_t process, const std::string& templateName) {
    if (declaration.kind == SyntaxDeclaration::Kind::kFunction) {
      const SyntaxFunction& function = declaration.function[0];
      ElaborateFunction(
          function, scope,
          templateName.empty() ? function.name.text : templateName + "." + function.name.text,
          network(), diagnostics_);
      return;
    }
    Resolver resolver(scope, network(), diagnostics_, Position::kConstant);
    if (declaration.kind == SyntaxDeclaration::Kind::kTypedef) {
      const SyntaxDeclarator& declarator = declaration.names[0];
      std::optional<TypeRef> type = resolver.ResolveType(declaration.type, declarator.name.text);
      if (type)
        type = resolver.ArrayOf(*type, declarator.sizes, declarator.name.text);
      if (type) {
        scope.Declare(declarator.name, Symbol{.kind = Symbol::Kind::kType, .type = *type},
                      diagnostics_);
      }
      return;
    }
    const std::optional<TypeRef> base = resolver.ResolveType(declaration.type, "");
    if (!base)
      return;
    for (const SyntaxDeclarator& declarator : declaration.names) {
      const std::optional<TypeRef> type =
          resolver.ArrayOf(*base, declarator.sizes, declarator.name.text);
      if (!type)
        continue;
      const std::string name = prefix + declarator.name.text;
      switch ((*type)->Innermost().kind) {
        case Type::Kind::kVoid:
          diagnostics_.Error(declarator.name.pos, "a variable cannot be void");
          break;
        case Type::Kind::kClock:
        case Type::Kind::kChannel:
          if (declarator.init) {
            diagnostics_.Error(declarator.init->pos,
                               TypeText((*type)->Innermost()) + " cannot be initialised");
            break;
          }
          ClocksOrChannels(declarator, *type, name, process, scope);
          break;
        default:
          if (declaration.type.isConst) {
            if (std::optional<Symbol> symbol = resolver.ConstantSymbol(declarator, *type))
              scope.Declare(declarator.name, std::move(*symbol), diagnostics_);
          } else {
            Variables(declarator, *type, name, resolver, scope);
          }
      }
    }
  }

  void ClocksOrChannels(const SyntaxDeclarator& declarator, const TypeRef& type,
                        const std::string& name, int32_t process, Scope& scope) {
    const Type& innermost = type->Innermost();
    const bool clock = innermost.kind == Type::Kind::kClock;
    Symbol symbol{.kind = clock ? Symbol::Kind::kClock : Symbol::Kind::kChannel, .type = type};
    symbol.value =
        static_cast<int32_t>(clock ? network().clocks.size() : network().channels.size());
    for (std::string& cell : CellNames(*type, name)) {
      if (clock)
        network().clocks.push_back({std::move(cell), process});
      else
        network().channels.push_back(
            {std::move(cell), innermost.broadcast, innermost.urgent, declarator.name.pos});
    }
    NoteScalars(*type, symbol.value,
                clock ? ScalarSet::Indexed::Kind::kClocks : ScalarSet::Indexed::Kind::kChannels);
    scope.Declare(declarator.name, std::move(symbol), diagnostics_);
  }

  void Variables(const SyntaxDeclarator& declarator, const TypeRef& type, const std::string& name,
                 Resolver& resolver, Scope& scope) {
    const std::vector<CellType> cells = CellsOf(*type);
    std::vector<int32_t> initial;
    if (declarator.init) {
      const std::optional<std::vector<int32_t>> values =
          resolver.ConstantCells(*declarator.init, *type, declarator.name.text);
      if (!values)
        return;
      initial = *values;
    } else {
      for (const CellType& cell : cells)
        initial.push_back(DefaultValue(cell));
    }
    const auto first = static_cast<int32_t>(network().variables.size());
    const std::vector<std::string> names = CellNames(*type, name);
    for (size_t k = 0; k < cells.size(); ++k) {
      network().variables.push_back(
          {names[k], cells[k].lower, cells[k].upper, initial[k], cells[k].boolean});
    }
    NoteScalars(*type, first, ScalarSet::Indexed::Kind::kVariables);
    scope.Declare(declarator.name,
                  Symbol{.kind = Symbol::Kind::kVariable, .type = type, .value = first},
                  diagnostics_);
  }

  // The types of a template's parameters: constants of a value type.
  std::optional<std::vector<TypeRef>> ParameterTypes(const SyntaxTemplate& templ) {
    return ParameterTypes(templ.parameters);
  }
  std::optional<std::vector<TypeRef>> ParameterTypes(
      const std::vector<SyntaxVariable>& parameters) {
    std::vector<TypeRef> types;
    Resolver resolver(Globals(), network(), diagnostics_, Position::kConstant);
    for (const SyntaxVariable& parameter : parameters) {
      if (parameter.reference) {
        diagnostics_.Error(parameter.declarator.name.pos,
                           "template parameters by reference are not supported");
        return std::nullopt;
      }
      if (!parameter.type.isConst) {
        diagnostics_.Error(parameter.type.pos,
                           "a template parameter must be declared const (constants only)");
        return std::nullopt;
      }
      const std::optional<TypeRef> type = resolver.ResolveType(parameter.type, "");
      if (!type)
        return std::nullopt;
      if (!(*type)->IsValue() || !parameter.declarator.sizes.empty()) {
        diagnostics_.Error(parameter.declarator.name.pos,
                           "a template parameter must be an integer, a bool or a scalar value");
        return std::nullopt;
      }
      types.push_back(*type);
    }
    return types;
  }

  // Arguments of the template for `name`, checked against the parameters' types; they are
  // evaluated in `scope` (the globals, or those with a partial instance's parameters).
  std::optional<std::vector<int32_t>> Arguments(const SyntaxTemplate& templ, const SyntaxName& at,
                                                const std::vector<SyntaxExpr>& expressions,
                                                const Scope* scope = nullptr) {
    if (expressions.size() != templ.parameters.size()) {
      diagnostics_.Error(at.pos, templ.name.text + " takes " +
                                     std::to_string(templ.parameters.size()) + " arguments, " +
                                     std::to_string(expressions.size()) + " given");
      return std::nullopt;
    }
    const std::optional<std::vector<TypeRef>> types = ParameterTypes(templ);
    if (!types)
      return std::nullopt;
    std::vector<int32_t> values;
    Resolver resolver(scope != nullptr ? *scope : Globals(), network(), diagnostics_,
                      Position::kConstant);
    for (size_t i = 0; i < expressions.size(); ++i) {
      const Type& type = *(*types)[i];
      const std::string& name = templ.parameters[i].declarator.name.text;
      const std::optional<Term> value =
          resolver.ValueFor(expressions[i], type, "the parameter " + name);
      if (!value)
        return std::nullopt;
      if (!value->IsConst()) {
        diagnostics_.Error(expressions[i].pos,
                           "an argument of " + templ.name.text + " must be a constant expression");
        return std::nullopt;
      }
      if (value->value < type.lower || value->value > type.upper) {
        diagnostics_.Error(expressions[i].pos, "the argument " + std::to_string(value->value) +
                                                   " is outside the range " +
                                                   RangeText(type.lower, type.upper) +
                                                   " of the parameter " + name);
        return std::nullopt;
      }
      values.push_back(value->value);
    }
    return values;
  }

  const SyntaxTemplate* TemplateNamed(const SyntaxName& name) {
    const Symbol* symbol = Globals().Find(name.text);
    if (symbol == nullptr) {
      diagnostics_.Error(name.pos, "unknown name " + name.text);
      return nullptr;
    }
    if (symbol->kind != Symbol::Kind::kTemplate) {
      diagnostics_.Error(name.pos, Describe(*symbol, name.text) + " is not a process template");
      return nullptr;
    }
    return symbol->templ;
  }

  void Instance(const SyntaxInstance& instance) {
    const SyntaxTemplate* templ = TemplateNamed(instance.templateName);
    if (templ == nullptr)
      return;
    if (instance.partial) {
      // Its arguments are evaluated for each value of its parameters when the system names it.
      if (!ParameterTypes(instance.parameters))
        return;
      result_.globals->Declare(
          instance.name,
          Symbol{.kind = Symbol::Kind::kInstance, .templ = templ, .partial = &instance},
          diagnostics_);
      return;
    }
    std::optional<std::vector<int32_t>> arguments =
        Arguments(*templ, instance.templateName, instance.arguments);
    if (!arguments)
      return;
    result_.globals->Declare(
        instance.name,
        Symbol{.kind = Symbol::Kind::kInstance, .templ = templ, .arguments = std::move(*arguments)},
        diagnostics_);
  }

  void System(const SyntaxSystem& system) {
    std::set<std::string> listed;
    for (const SyntaxName& entry : system.entries) {
      if (!listed.insert(entry.text).second) {
        diagnostics_.Error(entry.pos, entry.text + " is listed twice in the system");
        continue;
      }
      const Symbol* symbol = Globals().Find(entry.text);
      if (symbol == nullptr) {
        diagnostics_.Error(entry.pos, "unknown name " + entry.text);
      } else if (symbol->kind == Symbol::Kind::kInstance && symbol->partial != nullptr) {
        const SyntaxInstance& instance = *symbol->partial;
        Expand(
            instance.name.text, instance.parameters, entry,
            [&](const std::string& name, const std::vector<int32_t>& values) {
              const std::optional<std::vector<TypeRef>> types = ParameterTypes(instance.parameters);
              Scope bound(&Globals());
              for (size_t i = 0; i < values.size(); ++i) {
                bound.Declare(
                    instance.parameters[i].declarator.name,
                    Symbol{.kind = Symbol::Kind::kConst, .type = (*types)[i], .value = values[i]},
                    diagnostics_);
              }
              const std::optional<std::vector<int32_t>> arguments =
                  Arguments(*symbol->templ, instance.templateName, instance.arguments, &bound);
              if (arguments)
                Instantiate(*symbol->templ, name, *arguments, entry.pos);
            });
      } else if (symbol->kind == Symbol::Kind::kInstance) {
        Instantiate(*symbol->templ, entry.text, symbol->arguments, entry.pos);
      } else if (symbol->kind == Symbol::Kind::kTemplate) {
        const SyntaxTemplate& templ = *symbol->templ;
        Expand(templ.name.text, templ.parameters, entry,
               [&](const std::string& name, const std::vector<int32_t>& values) {
                 Instantiate(templ, name, values, entry.pos);
               });
      } else {
        diagnostics_.Error(
            entry.pos, Describe(*symbol, entry.text) + " is not a process template or instance");
      }
    }
  }

  // Makes a process for every combination of the values of `parameters` (of a template, or of a
  // partial instance), named `base(v1,v2,...)`, through `make`.
  void Expand(const std::string& base, const std::vector<SyntaxVariable>& parameters,
              const SyntaxName& entry,
              const std::function<void(const std::string&, const std::vector<int32_t>&)>& make) {
    const std::optional<std::vector<TypeRef>> types = ParameterTypes(parameters);
    if (!types)
      return;
    int64_t count = 1;
    for (size_t i = 0; i < types->size(); ++i) {
      const Type& type = *(*types)[i];
      if (IsPlainInt(type)) {
        diagnostics_.Error(entry.pos, base + " has the parameter " +
                                          parameters[i].declarator.name.text +
                                          " without a bounded type: name its instances, for "
                                          "example P1 = " +
                                          base + "(...);");
        return;
      }
      count *= int64_t{type.upper} - type.lower + 1;
      if (count + static_cast<int64_t>(network().processes.size()) > kMaxProcesses) {
        diagnostics_.Error(entry.pos, "the system would have more than " +
                                          std::to_string(kMaxProcesses) + " processes");
        return;
      }
    }
    std::vector<int32_t> values;
    for (const TypeRef& type : *types)
      values.push_back(type->lower);
    for (int64_t n = 0; n < count; ++n) {
      std::string name = base;
      if (!values.empty()) {
        name += "(";
        for (size_t i = 0; i < values.size(); ++i)
          name.append(i > 0 ? "," : "").append(std::to_string(values[i]));
        name += ")";
      }
      make(name, values);
      // The last parameter varies fastest.
      for (size_t i = values.size(); i-- > 0;) {
        if (values[i] < (*types)[i]->upper) {
          ++values[i];
          break;
        }
        values[i] = (*types)[i]->lower;
      }
    }
  }

  void Instantiate(const SyntaxTemplate& templ, const std::string& name,
                   const std::vector<int32_t>& arguments, SourcePos pos) {
    if (network().processes.size() >= static_cast<size_t>(kMaxProcesses)) {
      diagnostics_.Error(
          pos, "the system would have more than " + std::to_string(kMaxProcesses) + " processes");
      return;
    }
    const std::optional<std::vector<TypeRef>> types = ParameterTypes(templ);
    if (!types)
      return;
    const auto index = static_cast<int32_t>(network().processes.size());
    auto local = std::make_unique<Scope>(result_.globals.get());
    for (size_t i = 0; i < templ.parameters.size(); ++i) {
      const TypeRef& type = (*types)[i];
      local->Declare(templ.parameters[i].declarator.name,
                     Symbol{.kind = Symbol::Kind::kConst, .type = type, .value = arguments[i]},
                     diagnostics_);
      if (type->kind == Type::Kind::kScalar) {
        network().scalars[static_cast<size_t>(type->scalarSet)].processes.emplace_back(
            index, arguments[i]);
      }
    }
    const auto variablesBefore = static_cast<int32_t>(network().variables.size());
    const auto clocksBefore = static_cast<int32_t>(network().clocks.size());
    for (const SyntaxDeclaration& declaration : templ.declarations)
      Declare(declaration, *local, name + ".", index, templ.name.text);

    Process process;
    process.arguments = arguments;
    process.ownVariables = {variablesBefore, static_cast<int32_t>(network().variables.size())};
    process.ownClocks = {clocksBefore, static_cast<int32_t>(network().clocks.size())};
    process.name = name;
    process.templateName = templ.name.text;
    process.pos = templ.name.pos;
    Locations(templ, *local, process);
    auto locationOf = [&](const SyntaxName& syntax) -> std::optional<int32_t> {
      for (size_t l = 0; l < process.locations.size(); ++l) {
        if (process.locations[l].name == syntax.text)
          return static_cast<int32_t>(l);
      }
      diagnostics_.Error(syntax.pos, "unknown location " + syntax.text);
      return std::nullopt;
    };
    for (const SyntaxName& committed : templ.committed) {
      if (const std::optional<int32_t> l = locationOf(committed))
        process.locations[static_cast<size_t>(*l)].committed = true;
    }
    for (const SyntaxName& urgent : templ.urgent) {
      if (const std::optional<int32_t> l = locationOf(urgent))
        process.locations[static_cast<size_t>(*l)].urgent = true;
    }
    if (!templ.init) {
      diagnostics_.Error(templ.name.pos, templ.name.text + " has no init location (init ...;)");
    } else if (const std::optional<int32_t> init = locationOf(*templ.init)) {
      process.init = *init;
    }
    for (size_t e = 0; e < templ.edges.size(); ++e) {
      const SyntaxEdge& syntax = templ.edges[e];
      const std::optional<int32_t> from = locationOf(syntax.from);
      const std::optional<int32_t> to = locationOf(syntax.to);
      if (from && to)
        Edges(syntax, static_cast<int32_t>(e), *from, *to, *local, process);
    }
    network().processes.push_back(std::move(process));
    result_.processes.push_back(std::move(local));
  }

  void Locations(const SyntaxTemplate& templ, const Scope& local, Process& process) {
    std::map<std::string, size_t> declared;
    for (const SyntaxLocation& syntax : templ.locations) {
      const auto [at, added] = declared.emplace(syntax.name.text, process.locations.size());
      if (!added) {
        const SourcePos first = templ.locations[at->second].name.pos;
        diagnostics_.Error(syntax.name.pos, "the location " + syntax.name.text +
                                                " is already declared at line " +
                                                std::to_string(first.line) + ", column " +
                                                std::to_string(first.column));
        continue;
      }
      Location location;
      location.name = syntax.name.text;
      location.pos = syntax.name.pos;
      if (syntax.invariant) {
        Resolver resolver(local, network(), diagnostics_, Position::kInvariant);
        if (std::optional<Term> invariant = resolver.Condition(*syntax.invariant)) {
          if (const Term* effect = Resolver::SideEffect(*invariant, network()))
            diagnostics_.Error(effect->pos, "an invariant cannot have side effects");
          location.invariant = std::move(*invariant);
        }
      }
      process.locations.push_back(std::move(location));
    }
    if (templ.locations.empty())
      diagnostics_.Error(templ.name.pos, templ.name.text + " declares no location (state ...;)");
  }

  // The edges that one edge of the template stands for: one per combination of its select
  // values, the last name varying fastest.
  void Edges(const SyntaxEdge& syntax, int32_t source, int32_t from, int32_t to, const Scope& local,
             Process& process) {
    Scope scope(&local);
    std::vector<int32_t> binders;
    int64_t count = 1;
    for (const SyntaxSelect& select : syntax.selects) {
      Resolver resolver(local, network(), diagnostics_, Position::kConstant);
      const std::optional<TypeRef> type = resolver.ResolveType(select.type, "");
      if (!type)
        return;
      const std::optional<int32_t> binder = resolver.NewBinder(select.name, **type, "a select");
      if (!binder)
        return;
      count *= int64_t{(*type)->upper} - (*type)->lower + 1;
      if (count > kMaxSelectEdges) {
        diagnostics_.Error(select.name.pos, "the select of this edge stands for more than " +
                                                std::to_string(kMaxSelectEdges) + " edges");
        return;
      }
      scope.Declare(select.name,
                    Symbol{.kind = Symbol::Kind::kBinder, .type = *type, .value = *binder},
                    diagnostics_);
      binders.push_back(*binder);
    }
    Edge edge;
    edge.from = from;
    edge.to = to;
    edge.source = source;
    edge.pos = syntax.from.pos;
    bool ok = true;
    if (syntax.guard) {
      std::optional<Term> guard =
          Resolver(scope, network(), diagnostics_, Position::kGuard).Condition(*syntax.guard);
      if (guard) {
        if (const Term* effect = Resolver::SideEffect(*guard, network())) {
          diagnostics_.Error(effect->pos, "a guard cannot have side effects");
          ok = false;
        }
        edge.guard = std::move(*guard);
      }
      ok = ok && guard.has_value();
    }
    if (syntax.sync) {
      std::optional<Sync> sync =
          Resolver(scope, network(), diagnostics_, Position::kSync).Channel(syntax.sync->channel);
      if (sync) {
        sync->send = syntax.sync->send;
        sync->pos = syntax.sync->pos;
        if (sync->index) {
          if (const Term* effect = Resolver::SideEffect(*sync->index, network())) {
            diagnostics_.Error(effect->pos, "a sync cannot have side effects");
            ok = false;
          }
        }
      }
      ok = ok && sync.has_value();
      edge.sync = std::move(sync);
    }
    Resolver updates(scope, network(), diagnostics_, Position::kUpdate);
    for (const SyntaxExpr& update : syntax.updates) {
      std::optional<Term> effect = updates.Effect(update);
      ok = ok && effect.has_value();
      if (effect)
        edge.updates.push_back(std::move(*effect));
    }
    if (!ok)
      return;
    for (const SyntaxSelect& select : syntax.selects)
      edge.selectNames.push_back(select.name.text);
    std::vector<int32_t> values;
    for (int32_t binder : binders)
      values.push_back(network().binders[static_cast<size_t>(binder)].lower);
    for (int64_t n = 0; n < count; ++n) {
      Edge bound = edge;
      for (size_t k = 0; k < binders.size(); ++k) {
        bound.guard = Bind(bound.guard, binders[k], values[k], network());
        if (bound.sync) {
          bound.sync = Bind(*bound.sync, binders[k], values[k], network());
        }
        for (Term& update : bound.updates)
          update = Bind(update, binders[k], values[k], network());
      }
      bound.selectValues = values;
      if (Check(bound, syntax))
        process.edges.push_back(std::move(bound));
      for (size_t k = values.size(); k-- > 0;) {
        if (values[k] < network().binders[static_cast<size_t>(binders[k])].upper) {
          ++values[k];
          break;
        }
        values[k] = network().binders[static_cast<size_t>(binders[k])].lower;
      }
    }
  }

  // The checks that need the values of the select names.
  bool Check(const Edge& edge, const SyntaxEdge& syntax) {
    bool ok = true;
    for (size_t k = 0; k < edge.updates.size(); ++k) {
      const Term& update = edge.updates[k];
      if (update.kind != Term::Kind::kAssign || update.operands[0].kind != Term::Kind::kClock)
        continue;
      if (update.operands[0].size > 0) {
        diagnostics_.Error(update.operands[0].pos, "the index of the clock lies outside its array");
        ok = false;
        continue;
      }
      const Interval values = RangeOf(update.operands[1], network());
      if (values.lower < 0) {
        diagnostics_.Error(update.operands[1].pos,
                           "the clock " + WrittenName(syntax.updates[k].operands[0]) +
                               " may be set to a negative value (the value lies in " +
                               RangeText(values.lower, values.upper) +
                               " by the ranges of its variables)");
        ok = false;
      }
    }
    return ok;
  }

  Diagnostics& diagnostics_;
  Elaboration result_;
};

}  // namespace

std::optional<Elaboration> Elaborate(const SyntaxModel& model, Diagnostics& diagnostics) {
  return Elaborator(diagnostics).Run(model);
}

}  // namespace tickcheck::lang
