#include "lang/elaborate.h"

#include <limits>
#include <map>
#include <set>
#include <string>

#include "lang/resolve.h"
#include "lang/scope.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

struct TypeRange {
  int32_t lower = std::numeric_limits<int32_t>::min();
  int32_t upper = std::numeric_limits<int32_t>::max();
  bool bounded = false;
};

std::string RangeText(int64_t lower, int64_t upper) {
  return std::to_string(lower) + " .. " + std::to_string(upper);
}

class Elaborator {
 public:
  explicit Elaborator(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

  std::optional<Network> Run(const SyntaxModel& model) {
    for (const SyntaxItem& item : model.items) {
      if (const auto* declaration = std::get_if<SyntaxDeclaration>(&item)) {
        Declare(*declaration, globals_, "", -1);
      } else if (const auto* templ = std::get_if<SyntaxTemplate>(&item)) {
        globals_.Declare(templ->name, Symbol{.kind = Symbol::Kind::kTemplate, .templ = templ},
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
    network_.globals = Bindings(globals_);
    return std::move(network_);
  }

 private:
  static std::map<std::string, Binding> Bindings(const Scope& scope) {
    std::map<std::string, Binding> bindings;
    for (const auto& [name, symbol] : scope.Symbols()) {
      switch (symbol.kind) {
        case Symbol::Kind::kConst:
          bindings[name] = {Binding::Kind::kConst, symbol.value, 0};
          break;
        case Symbol::Kind::kInt:
          bindings[name] = {Binding::Kind::kInt, symbol.first, symbol.size};
          break;
        case Symbol::Kind::kClock:
          bindings[name] = {Binding::Kind::kClock, symbol.first, symbol.size};
          break;
        case Symbol::Kind::kChannel:
          bindings[name] = {Binding::Kind::kChannel, symbol.first, symbol.size};
          break;
        default:
          break;
      }
    }
    return bindings;
  }

  std::optional<TypeRange> Range(const SyntaxType& type, const Scope& scope) {
    switch (type.kind) {
      case SyntaxType::Kind::kInt:
        return TypeRange{};
      case SyntaxType::Kind::kBool:
        return TypeRange{0, 1, true};
      case SyntaxType::Kind::kRange: {
        Resolver resolver(scope, network_, diagnostics_);
        const std::optional<int32_t> lower = resolver.Constant(*type.lower, "a range's bound");
        const std::optional<int32_t> upper = resolver.Constant(*type.upper, "a range's bound");
        if (!lower || !upper)
          return std::nullopt;
        if (*lower > *upper) {
          diagnostics_.Error(type.pos, "the range " + RangeText(*lower, *upper) + " is empty");
          return std::nullopt;
        }
        return TypeRange{*lower, *upper, true};
      }
      case SyntaxType::Kind::kNamed: {
        const Symbol* symbol = scope.Find(type.name);
        if (symbol == nullptr || symbol->kind != Symbol::Kind::kType) {
          diagnostics_.Error(type.pos, symbol == nullptr ? "unknown type " + type.name
                                                         : type.name + " is not a type");
          return std::nullopt;
        }
        return TypeRange{symbol->lower, symbol->upper, symbol->bounded};
      }
    }
    return std::nullopt;
  }

  // The size of an array declarator: 0 for a single variable.
  std::optional<int32_t> Size(const SyntaxDeclarator& declarator, const Scope& scope) {
    if (!declarator.size)
      return 0;
    const std::optional<int32_t> size =
        Resolver(scope, network_, diagnostics_)
            .Constant(*declarator.size, "the size of " + declarator.name.text);
    if (!size)
      return std::nullopt;
    if (*size < 1 || *size > kMaxArraySize) {
      diagnostics_.Error(declarator.size->pos, "the size of " + declarator.name.text + " (" +
                                                   std::to_string(*size) + ") must lie in 1 .. " +
                                                   std::to_string(kMaxArraySize));
      return std::nullopt;
    }
    return *size;
  }

  static std::string ElementName(const std::string& name, int32_t size, int32_t k) {
    return size == 0 ? name : name + "[" + std::to_string(k) + "]";
  }

  void Declare(const SyntaxDeclaration& declaration, Scope& scope, const std::string& prefix,
               int32_t process) {
    switch (declaration.kind) {
      case SyntaxDeclaration::Kind::kConst:
        return Constants(declaration, scope);
      case SyntaxDeclaration::Kind::kTypedef: {
        const std::optional<TypeRange> range = Range(declaration.type, scope);
        if (range) {
          scope.Declare(declaration.names[0].name,
                        Symbol{.kind = Symbol::Kind::kType,
                               .lower = range->lower,
                               .upper = range->upper,
                               .bounded = range->bounded},
                        diagnostics_);
        }
        return;
      }
      case SyntaxDeclaration::Kind::kVariable:
        return Variables(declaration, scope, prefix);
      case SyntaxDeclaration::Kind::kClock:
      case SyntaxDeclaration::Kind::kChannel:
        for (const SyntaxDeclarator& declarator : declaration.names) {
          const std::optional<int32_t> size = Size(declarator, scope);
          if (!size)
            continue;
          Symbol symbol;
          symbol.size = *size;
          const std::string name = prefix + declarator.name.text;
          if (declaration.kind == SyntaxDeclaration::Kind::kClock) {
            symbol.kind = Symbol::Kind::kClock;
            symbol.first = static_cast<int32_t>(network_.clocks.size());
            for (int32_t k = 0; k < std::max(*size, 1); ++k)
              network_.clocks.push_back({ElementName(name, *size, k), process});
          } else {
            symbol.kind = Symbol::Kind::kChannel;
            symbol.broadcast = declaration.broadcast;
            symbol.first = static_cast<int32_t>(network_.channels.size());
            for (int32_t k = 0; k < std::max(*size, 1); ++k)
              network_.channels.push_back({ElementName(name, *size, k), declaration.broadcast});
          }
          scope.Declare(declarator.name, std::move(symbol), diagnostics_);
        }
        return;
    }
  }

  void Constants(const SyntaxDeclaration& declaration, Scope& scope) {
    const std::optional<TypeRange> range = Range(declaration.type, scope);
    for (const SyntaxDeclarator& declarator : declaration.names) {
      const std::optional<int32_t> value =
          Resolver(scope, network_, diagnostics_)
              .Constant(declarator.init[0], "the value of " + declarator.name.text);
      if (!range || !value)
        continue;
      if (*value < range->lower || *value > range->upper) {
        diagnostics_.Error(declarator.init[0].pos, "the value " + std::to_string(*value) + " of " +
                                                       declarator.name.text +
                                                       " is outside its type's range " +
                                                       RangeText(range->lower, range->upper));
        continue;
      }
      scope.Declare(declarator.name, Symbol{.kind = Symbol::Kind::kConst, .value = *value},
                    diagnostics_);
    }
  }

  void Variables(const SyntaxDeclaration& declaration, Scope& scope, const std::string& prefix) {
    const std::optional<TypeRange> range = Range(declaration.type, scope);
    if (!range)
      return;
    if (!range->bounded) {
      diagnostics_.Error(declaration.type.pos,
                         "a variable needs a bounded type, for example int[0,10] or bool");
      return;
    }
    if (range->lower < 0) {
      diagnostics_.Error(declaration.type.pos,
                         "the range " + RangeText(range->lower, range->upper) +
                             " has a negative lower bound: variables hold values from 0 up");
      return;
    }
    for (const SyntaxDeclarator& declarator : declaration.names) {
      const std::optional<int32_t> size = Size(declarator, scope);
      if (!size)
        continue;
      const int32_t count = std::max(*size, 1);
      std::vector<int32_t> initial(static_cast<size_t>(count), range->lower);
      if (!Initial(declarator, *size, *range, scope, initial))
        continue;
      Symbol symbol{.kind = Symbol::Kind::kInt,
                    .lower = range->lower,
                    .upper = range->upper,
                    .first = static_cast<int32_t>(network_.variables.size()),
                    .size = *size};
      for (int32_t k = 0; k < count; ++k) {
        network_.variables.push_back({ElementName(prefix + declarator.name.text, *size, k),
                                      range->lower, range->upper, initial[static_cast<size_t>(k)]});
      }
      scope.Declare(declarator.name, std::move(symbol), diagnostics_);
    }
  }

  bool Initial(const SyntaxDeclarator& declarator, int32_t size, const TypeRange& range,
               const Scope& scope, std::vector<int32_t>& initial) {
    if (declarator.init.empty())
      return true;
    const std::string& name = declarator.name.text;
    if (declarator.initIsList != (size > 0)) {
      diagnostics_.Error(declarator.init[0].pos,
                         size > 0 ? "the array " + name + " needs a list { ... } of " +
                                        std::to_string(size) + " initial values"
                                  : name + " is not an array: give one initial value");
      return false;
    }
    if (size > 0 && static_cast<int32_t>(declarator.init.size()) != size) {
      diagnostics_.Error(declarator.init[0].pos,
                         "the array " + name + " has " + std::to_string(size) + " elements but " +
                             std::to_string(declarator.init.size()) + " initial values");
      return false;
    }
    bool ok = true;
    for (size_t k = 0; k < declarator.init.size(); ++k) {
      const std::optional<int32_t> value =
          Resolver(scope, network_, diagnostics_).Constant(declarator.init[k], "an initial value");
      if (!value) {
        ok = false;
      } else if (*value < range.lower || *value > range.upper) {
        diagnostics_.Error(declarator.init[k].pos, "the initial value " + std::to_string(*value) +
                                                       " of " + name + " is outside its range " +
                                                       RangeText(range.lower, range.upper));
        ok = false;
      } else {
        initial[k] = *value;
      }
    }
    return ok;
  }

  // Arguments of the template for `name`, checked against the parameters' types.
  std::optional<std::vector<int32_t>> Arguments(const SyntaxTemplate& templ, const SyntaxName& at,
                                                const std::vector<SyntaxExpr>& expressions) {
    if (expressions.size() != templ.parameters.size()) {
      diagnostics_.Error(at.pos, templ.name.text + " takes " +
                                     std::to_string(templ.parameters.size()) + " arguments, " +
                                     std::to_string(expressions.size()) + " given");
      return std::nullopt;
    }
    std::vector<int32_t> values;
    for (size_t i = 0; i < expressions.size(); ++i) {
      const SyntaxParameter& parameter = templ.parameters[i];
      const std::optional<TypeRange> range = Range(parameter.type, globals_);
      const std::optional<int32_t> value =
          Resolver(globals_, network_, diagnostics_)
              .Constant(expressions[i], "an argument of " + templ.name.text);
      if (!range || !value)
        return std::nullopt;
      if (*value < range->lower || *value > range->upper) {
        diagnostics_.Error(expressions[i].pos, "the argument " + std::to_string(*value) +
                                                   " is outside the range " +
                                                   RangeText(range->lower, range->upper) +
                                                   " of the parameter " + parameter.name.text);
        return std::nullopt;
      }
      values.push_back(*value);
    }
    return values;
  }

  const SyntaxTemplate* TemplateNamed(const SyntaxName& name) {
    const Symbol* symbol = globals_.Find(name.text);
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
    std::optional<std::vector<int32_t>> arguments =
        Arguments(*templ, instance.templateName, instance.arguments);
    if (!arguments)
      return;
    globals_.Declare(
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
      const Symbol* symbol = globals_.Find(entry.text);
      if (symbol == nullptr) {
        diagnostics_.Error(entry.pos, "unknown name " + entry.text);
      } else if (symbol->kind == Symbol::Kind::kInstance) {
        Instantiate(*symbol->templ, entry.text, symbol->arguments, entry.pos);
      } else if (symbol->kind == Symbol::Kind::kTemplate) {
        Expand(*symbol->templ, entry);
      } else {
        diagnostics_.Error(
            entry.pos, Describe(*symbol, entry.text) + " is not a process template or instance");
      }
    }
  }

  // Instantiates a template over every combination of its parameters' values.
  void Expand(const SyntaxTemplate& templ, const SyntaxName& entry) {
    std::vector<TypeRange> ranges;
    int64_t count = 1;
    for (const SyntaxParameter& parameter : templ.parameters) {
      const std::optional<TypeRange> range = Range(parameter.type, globals_);
      if (!range)
        return;
      if (!range->bounded) {
        diagnostics_.Error(entry.pos, templ.name.text + " has the parameter " +
                                          parameter.name.text +
                                          " without a bounded type: name its instances, for "
                                          "example P1 = " +
                                          templ.name.text + "(...);");
        return;
      }
      count *= int64_t{range->upper} - range->lower + 1;
      if (count + static_cast<int64_t>(network_.processes.size()) > kMaxProcesses) {
        diagnostics_.Error(entry.pos, "the system would have more than " +
                                          std::to_string(kMaxProcesses) + " processes");
        return;
      }
      ranges.push_back(*range);
    }
    std::vector<int32_t> values;
    for (const TypeRange& range : ranges)
      values.push_back(range.lower);
    for (int64_t n = 0; n < count; ++n) {
      std::string name = templ.name.text;
      if (!values.empty()) {
        name += "(";
        for (size_t i = 0; i < values.size(); ++i)
          name.append(i > 0 ? "," : "").append(std::to_string(values[i]));
        name += ")";
      }
      Instantiate(templ, name, values, entry.pos);
      // The last parameter varies fastest.
      for (size_t i = values.size(); i-- > 0;) {
        if (values[i] < ranges[i].upper) {
          ++values[i];
          break;
        }
        values[i] = ranges[i].lower;
      }
    }
  }

  void Instantiate(const SyntaxTemplate& templ, const std::string& name,
                   const std::vector<int32_t>& arguments, SourcePos pos) {
    if (network_.processes.size() >= static_cast<size_t>(kMaxProcesses)) {
      diagnostics_.Error(
          pos, "the system would have more than " + std::to_string(kMaxProcesses) + " processes");
      return;
    }
    const auto index = static_cast<int32_t>(network_.processes.size());
    Scope local(&globals_);
    for (size_t i = 0; i < templ.parameters.size(); ++i) {
      local.Declare(templ.parameters[i].name,
                    Symbol{.kind = Symbol::Kind::kConst, .value = arguments[i]}, diagnostics_);
    }
    for (const SyntaxDeclaration& declaration : templ.declarations)
      Declare(declaration, local, name + ".", index);

    Process process;
    process.name = name;
    process.pos = templ.name.pos;
    std::map<std::string, int32_t> locations;
    Resolver resolver(local, network_, diagnostics_);
    for (const SyntaxLocation& syntax : templ.locations) {
      const auto [at, added] =
          locations.emplace(syntax.name.text, static_cast<int32_t>(process.locations.size()));
      if (!added) {
        const SourcePos first = templ.locations[static_cast<size_t>(at->second)].name.pos;
        diagnostics_.Error(syntax.name.pos, "the location " + syntax.name.text +
                                                " is already declared at line " +
                                                std::to_string(first.line) + ", column " +
                                                std::to_string(first.column));
        continue;
      }
      Location location{syntax.name.text, {}, syntax.name.pos};
      if (syntax.invariant)
        Invariant(*syntax.invariant, resolver, location.invariant);
      process.locations.push_back(std::move(location));
    }
    if (templ.locations.empty())
      diagnostics_.Error(templ.name.pos, templ.name.text + " declares no location (state ...;)");
    auto locationOf = [&](const SyntaxName& syntax) -> std::optional<int32_t> {
      const auto found = locations.find(syntax.text);
      if (found != locations.end())
        return found->second;
      diagnostics_.Error(syntax.pos, "unknown location " + syntax.text);
      return std::nullopt;
    };
    if (!templ.init) {
      diagnostics_.Error(templ.name.pos, templ.name.text + " has no init location (init ...;)");
    } else if (const std::optional<int32_t> init = locationOf(*templ.init)) {
      process.init = *init;
    }
    for (const SyntaxEdge& syntax : templ.edges) {
      const std::optional<int32_t> from = locationOf(syntax.from);
      const std::optional<int32_t> to = locationOf(syntax.to);
      std::optional<Edge> edge = MakeEdge(syntax, resolver);
      if (from && to && edge) {
        edge->from = *from;
        edge->to = *to;
        process.edges.push_back(std::move(*edge));
      }
    }
    network_.processes.push_back(std::move(process));
    network_.locals.push_back(Bindings(local));
  }

  void Invariant(const SyntaxExpr& syntax, Resolver& resolver, std::vector<Term>& out) {
    std::optional<Term> condition = resolver.Condition(syntax);
    if (!condition)
      return;
    std::vector<Term> pending{std::move(*condition)};
    while (!pending.empty()) {
      Term term = std::move(pending.back());
      pending.pop_back();
      if (term.kind == Term::Kind::kBinary && term.value == ExpType::kAnd) {
        pending.push_back(std::move(term.operands[1]));
        pending.push_back(std::move(term.operands[0]));
        continue;
      }
      if (term.IsConst() && term.value != 0)
        continue;
      const bool upperBound = term.IsClockComparison() &&
                              (term.value == ExpType::kLess || term.value == ExpType::kAtMost) &&
                              term.operands[1].IsConst();
      if (!upperBound) {
        diagnostics_.Error(term.pos,
                           "an invariant must be a conjunction of upper bounds on clocks "
                           "(x < c or x <= c, with c a constant)");
        return;
      }
      out.push_back(std::move(term));
    }
  }

  std::optional<Edge> MakeEdge(const SyntaxEdge& syntax, Resolver& resolver) {
    Edge edge;
    edge.pos = syntax.from.pos;
    bool ok = true;
    edge.guard = Term::Const(1, syntax.from.pos);
    if (syntax.guard) {
      std::optional<Term> guard = resolver.Condition(*syntax.guard);
      ok = ok && guard.has_value();
      if (guard)
        edge.guard = std::move(*guard);
    }
    if (syntax.sync) {
      std::optional<Sync> sync = resolver.Channel(syntax.sync->channel);
      if (sync) {
        sync->send = syntax.sync->send;
        sync->pos = syntax.sync->pos;
        const bool broadcast = network_.channels[static_cast<size_t>(sync->channels[0])].broadcast;
        if (broadcast && !sync->send && sync->index) {
          diagnostics_.Error(syntax.sync->channel.pos,
                             "a broadcast receive needs a constant channel index");
          sync.reset();
        }
      }
      ok = ok && sync.has_value();
      edge.sync = std::move(sync);
    }
    for (const SyntaxAssignment& assignment : syntax.assignments) {
      std::optional<Term> target = resolver.Target(assignment.target);
      std::optional<Term> value = resolver.Value(assignment.value);
      if (!target || !value) {
        ok = false;
        continue;
      }
      if (target->kind == Term::Kind::kClock && (!value->IsConst() || value->value < 0)) {
        diagnostics_.Error(assignment.value.pos,
                           "a clock can only be set to a constant of at least 0");
        ok = false;
        continue;
      }
      edge.assignments.push_back({std::move(*target), std::move(*value), assignment.pos});
    }
    if (!ok)
      return std::nullopt;
    return edge;
  }

  Diagnostics& diagnostics_;
  Network network_;
  Scope globals_;
};

}  // namespace

std::optional<Network> Elaborate(const SyntaxModel& model, Diagnostics& diagnostics) {
  return Elaborator(diagnostics).Run(model);
}

}  // namespace tickcheck::lang
