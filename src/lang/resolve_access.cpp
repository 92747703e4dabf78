// The resolver's names and places: variables, constants, array elements, record fields, local
// slots, references, clocks and channels, the processes' names in queries, and calls.
#include <algorithm>

#include "lang/fold.h"
#include "lang/resolve.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

bool IsAccess(const SyntaxExpr& expr) {
  return expr.kind == SyntaxExpr::Kind::kName || expr.kind == SyntaxExpr::Kind::kIndex ||
         expr.kind == SyntaxExpr::Kind::kMember;
}

Term PlaceTerm(Space space, int32_t first, const Type& type, SourcePos pos) {
  return Term::Place(space, first, CellsOf(type), pos);
}

// True when the term depends on constants and binders only.
bool IsStatic(const Term& term) {
  if (term.kind == Term::Kind::kRead || term.kind == Term::Kind::kCall ||
      term.kind == Term::Kind::kAssign || term.kind == Term::Kind::kIncrement) {
    return false;
  }
  return std::all_of(term.operands.begin(), term.operands.end(), IsStatic);
}

std::string RangeText(int32_t lower, int32_t upper) {
  return std::to_string(lower) + " .. " + std::to_string(upper);
}

}  // namespace

std::optional<Resolver::Resolved> Resolver::Access(const SyntaxExpr& expr) {
  switch (expr.kind) {
    case SyntaxExpr::Kind::kName:
      return Named(expr);
    case SyntaxExpr::Kind::kIndex:
      return Indexed(expr);
    case SyntaxExpr::Kind::kMember:
      return Member(expr);
    default:
      diagnostics_.Error(expr.pos, "expected a variable, an array element or a record field");
      return std::nullopt;
  }
}

std::optional<Resolver::Resolved> Resolver::Named(const SyntaxExpr& expr) {
  const Symbol* symbol = scope_->Find(expr.text);
  if (symbol == nullptr) {
    diagnostics_.Error(expr.pos, Allows(Position::kQuery)
                                     ? "unknown name " + expr.text +
                                           " (a process's own names are written Process." +
                                           expr.text + ")"
                                     : "unknown name " + expr.text);
    return std::nullopt;
  }
  Resolved resolved;
  resolved.name = expr.text;
  resolved.described = Describe(*symbol, expr.text);
  resolved.type = symbol->type;
  resolved.readOnly = symbol->readOnly;
  switch (symbol->kind) {
    case Symbol::Kind::kConst:
      resolved.readOnly = true;
      if (symbol->type->IsValue()) {
        resolved.term = Term::Const(symbol->value, expr.pos);
        return resolved;
      }
      resolved.kind = Resolved::Kind::kPlace;
      resolved.term = PlaceTerm(Space::kConstant, symbol->value, *symbol->type, expr.pos);
      return resolved;
    case Symbol::Kind::kVariable:
    case Symbol::Kind::kLocal:
    case Symbol::Kind::kReference:
      resolved.kind = Resolved::Kind::kPlace;
      resolved.term = PlaceTerm(symbol->kind == Symbol::Kind::kVariable ? Space::kGlobal
                                : symbol->kind == Symbol::Kind::kLocal  ? Space::kLocal
                                                                        : Space::kReference,
                                symbol->value, *symbol->type, expr.pos);
      return resolved;
    case Symbol::Kind::kClock:
    case Symbol::Kind::kChannel: {
      const bool clock = symbol->kind == Symbol::Kind::kClock;
      if (clock && Allows(Position::kFunction)) {
        diagnostics_.Error(expr.pos, "a function cannot use the clock " + expr.text);
        return std::nullopt;
      }
      resolved.kind = clock ? Resolved::Kind::kClock : Resolved::Kind::kChannel;
      resolved.term.kind = Term::Kind::kClock;
      resolved.term.value = symbol->value;
      resolved.term.size = symbol->type->kind == Type::Kind::kArray ? symbol->type->cells : 0;
      resolved.term.pos = expr.pos;
      return resolved;
    }
    case Symbol::Kind::kBinder:
      resolved.readOnly = true;
      resolved.term.kind = Term::Kind::kBound;
      resolved.term.value = symbol->value;
      resolved.term.pos = expr.pos;
      return resolved;
    case Symbol::Kind::kType:
    case Symbol::Kind::kTemplate:
    case Symbol::Kind::kInstance:
    case Symbol::Kind::kFunction:
      break;
  }
  diagnostics_.Error(expr.pos, resolved.described + " is not a value");
  return std::nullopt;
}

void Resolver::AddOffset(Resolved& base, Term contribution, int32_t extent) {
  Term& term = base.term;
  // A reference's number is not a cell: its offsets all stay offsets.
  const bool reference = term.kind == Term::Kind::kPlace && term.space == Space::kReference;
  if (contribution.IsConst() && term.operands.empty() && !reference) {
    term.value += contribution.value;
    term.size = extent;
    return;
  }
  if (term.operands.empty()) {
    term.operands.push_back(std::move(contribution));
    return;
  }
  term.operands[0] = *FoldBinary(ExpType::kAdd, std::move(term.operands[0]),
                                 std::move(contribution), term.pos, nullptr);
}

std::optional<Resolver::Resolved> Resolver::Indexed(const SyntaxExpr& expr) {
  const SyntaxExpr& baseExpr = expr.operands[0];
  if (!IsAccess(baseExpr)) {
    diagnostics_.Error(baseExpr.pos, "only a declared array can be indexed");
    return std::nullopt;
  }
  std::optional<Resolved> base = Access(baseExpr);
  if (!base)
    return std::nullopt;
  if (base->type->kind != Type::Kind::kArray) {
    diagnostics_.Error(baseExpr.pos, base->name + " is not an array");
    return std::nullopt;
  }
  const Type& array = *base->type;
  std::optional<Typed> index = Value(expr.operands[1]);
  if (!index)
    return std::nullopt;
  const bool scalarIndex = index->type->kind == Type::Kind::kScalar;
  if (array.scalarSet >= 0 ? !(scalarIndex && index->type->scalarSet == array.scalarSet)
                           : scalarIndex || !RequireInteger(*index, expr.operands[1].pos)) {
    diagnostics_.Error(expr.operands[1].pos,
                       array.scalarSet >= 0
                           ? base->name +
                                 " is indexed by a scalar set: its index must be a value "
                                 "of that set"
                           : base->name + " is indexed by integers, not by a scalar set");
    return std::nullopt;
  }
  Term shifted = *FoldBinary(ExpType::kSubtract, std::move(index->term),
                             Term::Const(array.lower, expr.pos), expr.pos, nullptr);
  if (shifted.IsConst() && (shifted.value < 0 || shifted.value >= array.Length())) {
    diagnostics_.Error(expr.operands[1].pos,
                       "the index " + std::to_string(int64_t{shifted.value} + array.lower) +
                           " is outside the array " + base->name + " (" +
                           RangeText(array.lower, array.upper) + ")");
    return std::nullopt;
  }
  if (base->kind == Resolved::Kind::kClock && !IsStatic(shifted)) {
    diagnostics_.Error(expr.operands[1].pos, "a clock array needs a constant index");
    return std::nullopt;
  }
  const int32_t width = array.element->cells;
  // An index into the whole of a variable needs no check of its own: an offset outside the
  // variable is an index error when it is evaluated. A reference's cells lie inside its
  // argument's, whose extent is not the reference's: its indices are always checked.
  const bool whole =
      base->term.operands.empty() && base->term.size == array.cells &&
      !(base->kind == Resolved::Kind::kPlace && base->term.space == Space::kReference);
  if (!shifted.IsConst() && !whole) {
    Term check;
    check.kind = Term::Kind::kCheck;
    check.size = array.Length();
    check.operands = {std::move(shifted)};
    check.pos = expr.operands[1].pos;
    shifted = std::move(check);
  }
  Term contribution = *FoldBinary(ExpType::kMultiply, std::move(shifted),
                                  Term::Const(width, expr.pos), expr.pos, nullptr);
  AddOffset(*base, std::move(contribution), width);
  base->type = array.element;
  if (base->kind == Resolved::Kind::kPlace) {
    base->term.cells = CellsOf(*base->type);
  } else if (base->term.operands.empty() && base->type->kind != Type::Kind::kArray) {
    base->term.size = 0;  // one clock or channel
  }
  return base;
}

std::optional<Resolver::Resolved> Resolver::Member(const SyntaxExpr& expr) {
  if (Allows(Position::kQuery) && processes_ != nullptr) {
    bool isProcess = false;
    std::optional<Resolved> member = ProcessMember(expr, isProcess);
    if (isProcess)
      return member;
  }
  const SyntaxExpr& baseExpr = expr.operands[0];
  if (expr.number == 1) {
    diagnostics_.Error(
        expr.pos, "only a query may call a process's function (" + WrittenName(expr) + "(...))");
    return std::nullopt;
  }
  if (!IsAccess(baseExpr)) {
    diagnostics_.Error(baseExpr.pos, "only a record has fields");
    return std::nullopt;
  }
  std::optional<Resolved> base = Access(baseExpr);
  if (!base)
    return std::nullopt;
  if (base->kind != Resolved::Kind::kPlace || base->type->kind != Type::Kind::kRecord) {
    diagnostics_.Error(baseExpr.pos, base->name + " is not a record");
    return std::nullopt;
  }
  const Field* field = base->type->FieldNamed(expr.text);
  if (field == nullptr) {
    diagnostics_.Error(expr.pos, "the record " + base->name + " has no field " + expr.text);
    return std::nullopt;
  }
  AddOffset(*base, Term::Const(field->offset, expr.pos), field->type->cells);
  base->type = field->type;
  base->term.cells = CellsOf(*base->type);
  base->name += "." + expr.text;
  return base;
}

std::optional<Resolver::Resolved> Resolver::ProcessMember(const SyntaxExpr& expr, bool& isProcess) {
  const SyntaxExpr& base = expr.operands[0];
  if (base.kind == SyntaxExpr::Kind::kName) {
    const Symbol* symbol = scope_->Find(base.text);
    if (symbol != nullptr && symbol->kind != Symbol::Kind::kTemplate &&
        symbol->kind != Symbol::Kind::kInstance) {
      return std::nullopt;
    }
    isProcess = true;
    return MemberOf(base.text, expr);
  }
  if (base.kind != SyntaxExpr::Kind::kCall)
    return std::nullopt;
  isProcess = true;
  // The arguments: constants, or quantifiers' names whose every value is tried.
  std::vector<Term> arguments;
  std::vector<int32_t> binders;
  for (const SyntaxExpr& operand : base.operands) {
    std::optional<Typed> argument = Value(operand);
    if (!argument)
      return std::nullopt;
    if (argument->term.kind == Term::Kind::kBound) {
      if (std::find(binders.begin(), binders.end(), argument->term.value) == binders.end())
        binders.push_back(argument->term.value);
    } else if (!argument->term.IsConst()) {
      diagnostics_.Error(operand.pos,
                         "a process's argument must be a constant or a quantifier's name");
      return std::nullopt;
    }
    arguments.push_back(std::move(argument->term));
  }
  std::vector<int32_t> values;
  for (int32_t binder : binders)
    values.push_back(network_.binders[static_cast<size_t>(binder)].lower);
  std::optional<Resolved> chosen;
  while (true) {
    std::string name = base.text + "(";
    Term condition = Term::Const(1, expr.pos);
    for (size_t i = 0; i < arguments.size(); ++i) {
      int32_t value = arguments[i].value;
      if (arguments[i].kind == Term::Kind::kBound) {
        const size_t k = static_cast<size_t>(
            std::find(binders.begin(), binders.end(), arguments[i].value) - binders.begin());
        value = values[k];
      }
      name.append(i > 0 ? "," : "").append(std::to_string(value));
    }
    name += ")";
    for (size_t k = 0; k < binders.size(); ++k) {
      Term bound;
      bound.kind = Term::Kind::kBound;
      bound.value = binders[k];
      condition = *FoldBinary(ExpType::kAnd, std::move(condition),
                              Term::Binary(ExpType::kEqual, std::move(bound),
                                           Term::Const(values[k], expr.pos), expr.pos),
                              expr.pos, nullptr);
    }
    std::optional<Resolved> member = MemberOf(name, expr);
    if (!member)
      return std::nullopt;
    if (!chosen) {
      chosen = std::move(member);
    } else if (member->kind != Resolved::Kind::kValue &&
               !(member->kind == Resolved::Kind::kPlace && member->type->IsValue())) {
      diagnostics_.Error(expr.pos,
                         "a process's " + expr.text + " needs a constant process argument");
      return std::nullopt;
    } else {
      // The members of the values tried so far stand behind the condition of each.
      auto asValue = [&](const Resolved& resolved) {
        return resolved.kind == Resolved::Kind::kPlace ? Term::Read(resolved.term, expr.pos)
                                                       : resolved.term;
      };
      Term previous = asValue(*chosen);
      chosen->kind = Resolved::Kind::kValue;
      chosen->term =
          FoldCond(std::move(condition), asValue(*member), std::move(previous), expr.pos);
    }
    size_t k = values.size();
    while (k-- > 0) {
      if (values[k] < network_.binders[static_cast<size_t>(binders[k])].upper) {
        ++values[k];
        break;
      }
      values[k] = network_.binders[static_cast<size_t>(binders[k])].lower;
    }
    if (k == static_cast<size_t>(-1))
      break;
  }
  return chosen;
}

std::optional<Resolver::Resolved> Resolver::MemberOf(const std::string& name,
                                                     const SyntaxExpr& expr) {
  const int32_t process = processes_->find(name);
  if (process < 0) {
    diagnostics_.Error(expr.operands[0].pos, "no process is named " + name);
    return std::nullopt;
  }
  const std::vector<Location>& locations =
      network_.processes[static_cast<size_t>(process)].locations;
  for (size_t l = 0; l < locations.size(); ++l) {
    if (locations[l].name != expr.text)
      continue;
    Resolved resolved;
    resolved.term.kind = Term::Kind::kLocation;
    resolved.term.value = process;
    resolved.term.size = static_cast<int32_t>(l);
    resolved.term.pos = expr.pos;
    resolved.type = BoolType();
    resolved.readOnly = true;
    resolved.name = name + "." + expr.text;
    resolved.described = "the location " + resolved.name;
    return resolved;
  }
  const Scope& scope = processes_->scope(process);
  if (scope.Find(expr.text) == nullptr) {
    diagnostics_.Error(expr.pos, "unknown name " + name + "." + expr.text);
    return std::nullopt;
  }
  if (expr.number == 1) {
    SyntaxExpr call{SyntaxExpr::Kind::kCall, expr.text, 0, {}, expr.pos, {}, {}};
    call.operands.assign(expr.operands.begin() + 1, expr.operands.end());
    std::optional<Typed> value = Call(call, &scope);
    if (!value)
      return std::nullopt;
    Resolved resolved;
    resolved.term = std::move(value->term);
    resolved.type = std::move(value->type);
    resolved.readOnly = true;
    resolved.name = name + "." + expr.text + "(...)";
    resolved.described = "the call " + resolved.name;
    return resolved;
  }
  const Scope* outer = scope_;
  scope_ = &scope;
  SyntaxExpr member{SyntaxExpr::Kind::kName, expr.text, 0, {}, expr.pos, {}, {}};
  std::optional<Resolved> resolved = Named(member);
  scope_ = outer;
  if (resolved)
    resolved->name = name + "." + expr.text;
  return resolved;
}

std::optional<Typed> Resolver::Read(const Resolved& resolved, const SyntaxExpr& expr, Mode mode) {
  switch (resolved.kind) {
    case Resolved::Kind::kValue:
      return Typed{resolved.term, resolved.type};
    case Resolved::Kind::kPlace: {
      if (!resolved.type->IsValue()) {
        diagnostics_.Error(expr.pos, resolved.type->kind == Type::Kind::kArray
                                         ? "the array " + resolved.name + " needs an index"
                                         : "the record " + resolved.name + " needs a field (" +
                                               resolved.name + ".name)");
        return std::nullopt;
      }
      const Term& place = resolved.term;
      if (place.space == Space::kConstant && place.operands.empty()) {
        return Typed{Term::Const(network_.constants[static_cast<size_t>(place.value)], expr.pos),
                     resolved.type};
      }
      return Typed{Term::Read(place, expr.pos), resolved.type};
    }
    case Resolved::Kind::kClock:
      if (resolved.type->kind == Type::Kind::kArray) {
        diagnostics_.Error(expr.pos, resolved.described + " needs an index");
        return std::nullopt;
      }
      if (mode != Mode::kComparand) {
        diagnostics_.Error(expr.pos, "the clock " + resolved.name + " is used as an integer value");
        return std::nullopt;
      }
      return Typed{resolved.term, resolved.type};
    case Resolved::Kind::kChannel:
      break;
  }
  diagnostics_.Error(expr.pos, "the channel " + resolved.name + " is used as a value");
  return std::nullopt;
}

std::optional<Resolver::Resolved> Resolver::Target(const SyntaxExpr& expr,
                                                   const std::string& what) {
  if (!IsAccess(expr)) {
    diagnostics_.Error(expr.pos, what +
                                     " needs a variable, an array element, a record field or "
                                     "a clock to assign");
    return std::nullopt;
  }
  std::optional<Resolved> target = Access(expr);
  if (!target)
    return std::nullopt;
  switch (target->kind) {
    case Resolved::Kind::kValue:
    case Resolved::Kind::kPlace:
      if (target->readOnly || target->kind == Resolved::Kind::kValue) {
        diagnostics_.Error(expr.pos, "cannot assign to " + target->described);
        return std::nullopt;
      }
      return target;
    case Resolved::Kind::kClock:
      if (target->type->kind == Type::Kind::kArray) {
        diagnostics_.Error(expr.pos, target->described + " needs an index");
        return std::nullopt;
      }
      return target;
    case Resolved::Kind::kChannel:
      break;
  }
  diagnostics_.Error(expr.pos, "the channel " + target->name + " is used as a value");
  return std::nullopt;
}

std::optional<Typed> Resolver::Call(const SyntaxExpr& expr, const Scope* functions) {
  const Symbol* symbol = (functions != nullptr ? functions : scope_)->Find(expr.text);
  if (symbol == nullptr) {
    diagnostics_.Error(expr.pos, "unknown name " + expr.text);
    return std::nullopt;
  }
  if (symbol->kind != Symbol::Kind::kFunction) {
    diagnostics_.Error(expr.pos, Describe(*symbol, expr.text) + " is not a function");
    return std::nullopt;
  }
  if (symbol->value == current_) {
    diagnostics_.Error(expr.pos, "recursion is not supported: " + expr.text + " calls itself");
    return std::nullopt;
  }
  const std::vector<ParameterSignature>& signature = symbol->signature;
  if (expr.operands.size() != signature.size()) {
    diagnostics_.Error(expr.pos, expr.text + " takes " + std::to_string(signature.size()) +
                                     " arguments, " + std::to_string(expr.operands.size()) +
                                     " given");
    return std::nullopt;
  }
  Term call;
  call.kind = Term::Kind::kCall;
  call.value = symbol->value;
  call.pos = expr.pos;
  bool ok = true;
  for (size_t k = 0; k < signature.size(); ++k) {
    const ParameterSignature& parameter = signature[k];
    const SyntaxExpr& argument = expr.operands[k];
    if (!parameter.reference && parameter.type->IsValue()) {
      std::optional<Term> value =
          ValueFor(argument, *parameter.type, "the parameter " + parameter.name);
      ok = ok && value.has_value();
      call.operands.push_back(value ? std::move(*value) : Term{});
      continue;
    }
    const std::string refused =
        "the argument for the " + std::string(parameter.reference ? "reference " : "") +
        "parameter " + parameter.name + " must be a variable, an array element or a record field";
    std::optional<Resolved> place = IsAccess(argument) ? Access(argument) : std::nullopt;
    if (!IsAccess(argument) || (place && place->kind != Resolved::Kind::kPlace)) {
      diagnostics_.Error(argument.pos, refused);
      ok = false;
      continue;
    }
    if (!place) {
      ok = false;
      continue;
    }
    if (!parameter.reference) {
      if (!SameShape(*place->type, *parameter.type)) {
        diagnostics_.Error(argument.pos, "the argument (" + TypeText(*place->type) +
                                             ") does not match the parameter " + parameter.name +
                                             " (" + TypeText(*parameter.type) + ")");
        ok = false;
        continue;
      }
      call.operands.push_back(Term::Read(std::move(place->term), argument.pos));
      continue;
    }
    if (place->readOnly && !parameter.readOnly) {
      diagnostics_.Error(argument.pos, "cannot pass " + place->described +
                                           " to the reference parameter " + parameter.name);
      ok = false;
      continue;
    }
    if (!SameType(*place->type, *parameter.type)) {
      diagnostics_.Error(argument.pos, "the argument (" + TypeText(*place->type) +
                                           ") does not match the type of the reference "
                                           "parameter " +
                                           parameter.name + " (" + TypeText(*parameter.type) + ")");
      ok = false;
      continue;
    }
    call.operands.push_back(std::move(place->term));
  }
  if (!ok)
    return std::nullopt;
  return Typed{std::move(call), symbol->type};
}

std::optional<Sync> Resolver::Channel(const SyntaxExpr& expr) {
  if (expr.kind != SyntaxExpr::Kind::kName && expr.kind != SyntaxExpr::Kind::kIndex) {
    diagnostics_.Error(expr.pos, "a sync needs a channel");
    return std::nullopt;
  }
  std::optional<Resolved> channel = Access(expr);
  if (!channel)
    return std::nullopt;
  if (channel->kind != Resolved::Kind::kChannel) {
    diagnostics_.Error(expr.pos, channel->described + " is not a channel");
    return std::nullopt;
  }
  if (channel->type->kind == Type::Kind::kArray) {
    diagnostics_.Error(expr.pos, channel->described + " needs an index");
    return std::nullopt;
  }
  Sync sync;
  sync.pos = expr.pos;
  const Term& term = channel->term;
  if (term.operands.empty()) {
    sync.channels = {term.value};
    return sync;
  }
  for (int32_t k = 0; k < term.size; ++k)
    sync.channels.push_back(term.value + k);
  sync.index = term.operands[0];
  return sync;
}

}  // namespace tickcheck::lang
