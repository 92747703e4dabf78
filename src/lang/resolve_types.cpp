// The resolver's types: ranges, typedef names, scalar sets, records, array dimensions, and the
// constant cells of initialisers.
#include <set>

#include "lang/resolve.h"

namespace tickcheck::lang {
namespace {

std::string RangeText(int64_t lower, int64_t upper) {
  return std::to_string(lower) + " .. " + std::to_string(upper);
}

}  // namespace

std::optional<TypeRef> Resolver::ResolveType(const SyntaxType& syntax, const std::string& name) {
  switch (syntax.kind) {
    case SyntaxType::Kind::kInt:
      return IntType(kIntLower, kIntUpper);
    case SyntaxType::Kind::kBool:
      return BoolType();
    case SyntaxType::Kind::kRange: {
      const std::optional<int32_t> lower = Constant(*syntax.lower, "a range's bound");
      const std::optional<int32_t> upper = Constant(*syntax.upper, "a range's bound");
      if (!lower || !upper)
        return std::nullopt;
      if (*lower > *upper) {
        diagnostics_.Error(syntax.pos, "the range " + RangeText(*lower, *upper) + " is empty");
        return std::nullopt;
      }
      return IntType(*lower, *upper);
    }
    case SyntaxType::Kind::kNamed: {
      const Symbol* symbol = scope_->Find(syntax.name);
      if (symbol == nullptr || symbol->kind != Symbol::Kind::kType) {
        diagnostics_.Error(syntax.pos, symbol == nullptr ? "unknown type " + syntax.name
                                                         : syntax.name + " is not a type");
        return std::nullopt;
      }
      return symbol->type;
    }
    case SyntaxType::Kind::kScalar: {
      const std::optional<int32_t> size = Constant(*syntax.upper, "the size of a scalar set");
      if (!size)
        return std::nullopt;
      if (*size < 1 || *size > kMaxArraySize) {
        diagnostics_.Error(syntax.pos, "the size of a scalar set (" + std::to_string(*size) +
                                           ") must lie in 1 .. " + std::to_string(kMaxArraySize));
        return std::nullopt;
      }
      const auto set = static_cast<int32_t>(network_.scalars.size());
      network_.scalars.push_back(
          {name.empty() ? "scalar[" + std::to_string(*size) + "]" : name, *size, {}, {}, {}});
      return ScalarType(set, *size);
    }
    case SyntaxType::Kind::kStruct: {
      std::vector<Field> fields;
      std::set<std::string> names;
      bool ok = true;
      for (const SyntaxVariable& syntaxField : syntax.fields) {
        const std::string& fieldName = syntaxField.declarator.name.text;
        std::optional<TypeRef> type = ResolveType(syntaxField.type, "");
        if (type)
          type = ArrayOf(*type, syntaxField.declarator.sizes, fieldName);
        if (!type) {
          ok = false;
          continue;
        }
        const Type::Kind kind = (*type)->Innermost().kind;
        if (kind == Type::Kind::kClock || kind == Type::Kind::kChannel ||
            kind == Type::Kind::kVoid) {
          diagnostics_.Error(syntaxField.declarator.name.pos,
                             "a record field cannot be " + TypeText((*type)->Innermost()));
          ok = false;
          continue;
        }
        if (!names.insert(fieldName).second) {
          diagnostics_.Error(syntaxField.declarator.name.pos,
                             "the field " + fieldName + " is declared twice");
          ok = false;
          continue;
        }
        fields.push_back({fieldName, std::move(*type), 0});
      }
      if (!ok)
        return std::nullopt;
      return RecordType(std::move(fields));
    }
    case SyntaxType::Kind::kClock:
      return ClockType();
    case SyntaxType::Kind::kChannel:
      return ChannelType(syntax.broadcast, syntax.urgent);
    case SyntaxType::Kind::kVoid:
      return VoidType();
  }
  return std::nullopt;
}

std::optional<Resolver::Dimension> Resolver::DimensionOf(const SyntaxArraySize& size,
                                                         const std::string& name) {
  std::optional<TypeRef> type;
  if (!size.type.empty()) {
    type = ResolveType(size.type[0], "");
    if (!type)
      return std::nullopt;
  } else if (size.size.kind == SyntaxExpr::Kind::kName) {
    const Symbol* symbol = scope_->Find(size.size.text);
    if (symbol != nullptr && symbol->kind == Symbol::Kind::kType)
      type = symbol->type;
  }
  if (type) {
    const Type& index = **type;
    if (!index.IsValue() || int64_t{index.upper} - index.lower + 1 > kMaxArraySize) {
      diagnostics_.Error(size.pos, "the array " + name + " needs an index type of 1 .. " +
                                       std::to_string(kMaxArraySize) +
                                       " values (a range, bool or a scalar set), not " +
                                       TypeText(index));
      return std::nullopt;
    }
    return Dimension{index.lower, index.upper, index.scalarSet, true};
  }
  const std::optional<int32_t> count = Constant(size.size, "the size of " + name);
  if (!count)
    return std::nullopt;
  if (*count < 1 || *count > kMaxArraySize) {
    diagnostics_.Error(size.pos, "the size of " + name + " (" + std::to_string(*count) +
                                     ") must lie in 1 .. " + std::to_string(kMaxArraySize));
    return std::nullopt;
  }
  return Dimension{0, *count - 1, -1};
}

std::optional<TypeRef> Resolver::ArrayOf(TypeRef element, const std::vector<SyntaxArraySize>& sizes,
                                         const std::string& name) {
  if (!sizes.empty() && element->kind == Type::Kind::kVoid) {
    diagnostics_.Error(sizes[0].pos, "an array of void");
    return std::nullopt;
  }
  std::vector<Dimension> dimensions;
  for (const SyntaxArraySize& size : sizes) {
    const std::optional<Dimension> dimension = DimensionOf(size, name);
    if (!dimension)
      return std::nullopt;
    dimensions.push_back(*dimension);
  }
  TypeRef type = std::move(element);
  for (size_t k = dimensions.size(); k-- > 0;) {
    const Dimension& dimension = dimensions[k];
    if (int64_t{type->cells} * (int64_t{dimension.upper} - dimension.lower + 1) > kMaxArraySize) {
      diagnostics_.Error(sizes[0].pos, "the array " + name + " has more than " +
                                           std::to_string(kMaxArraySize) + " elements");
      return std::nullopt;
    }
    type = ArrayType(std::move(type), dimension.lower, dimension.upper, dimension.scalarSet,
                     dimension.typed);
  }
  return type;
}

std::optional<std::vector<int32_t>> Resolver::ConstantCells(const SyntaxInit& init,
                                                            const Type& type,
                                                            const std::string& name) {
  std::vector<int32_t> cells;
  if (type.kind == Type::Kind::kArray || type.kind == Type::Kind::kRecord) {
    const bool array = type.kind == Type::Kind::kArray;
    const size_t count = array ? static_cast<size_t>(type.Length()) : type.fields.size();
    if (init.value) {
      diagnostics_.Error(init.pos, (array ? "the array " : "the record ") + name +
                                       " needs a list { ... } of " + std::to_string(count) +
                                       (array ? " initial values" : " field values"));
      return std::nullopt;
    }
    if (init.list.size() != count) {
      diagnostics_.Error(init.pos, (array ? "the array " : "the record ") + name + " has " +
                                       std::to_string(count) +
                                       (array ? " elements but " : " fields but ") +
                                       std::to_string(init.list.size()) + " initial values");
      return std::nullopt;
    }
    bool ok = true;
    for (size_t k = 0; k < count; ++k) {
      const Type& part = array ? *type.element : *type.fields[k].type;
      const std::string partName =
          array ? name + "[" + std::to_string(type.lower + static_cast<int32_t>(k)) + "]"
                : name + "." + type.fields[k].name;
      std::optional<std::vector<int32_t>> partCells = ConstantCells(init.list[k], part, partName);
      if (!partCells) {
        ok = false;
        continue;
      }
      cells.insert(cells.end(), partCells->begin(), partCells->end());
    }
    if (!ok)
      return std::nullopt;
    return cells;
  }
  if (!init.value) {
    diagnostics_.Error(init.pos, name + " is not an array: give one initial value");
    return std::nullopt;
  }
  const std::optional<Term> value = ValueFor(*init.value, type, name);
  if (!value)
    return std::nullopt;
  if (!value->IsConst()) {
    diagnostics_.Error(init.value->pos, "the value of " + name + " must be a constant expression");
    return std::nullopt;
  }
  int32_t cell = value->value;
  if (type.boolean)
    cell = cell != 0 ? 1 : 0;
  if (cell < type.lower || cell > type.upper) {
    diagnostics_.Error(init.value->pos, "the initial value " + std::to_string(cell) + " of " +
                                            name + " is outside its range " +
                                            RangeText(type.lower, type.upper));
    return std::nullopt;
  }
  return std::vector<int32_t>{cell};
}

std::optional<Symbol> Resolver::ConstantSymbol(const SyntaxDeclarator& declarator,
                                               const TypeRef& type) {
  const std::string& name = declarator.name.text;
  if (!declarator.init) {
    diagnostics_.Error(declarator.name.pos, "the constant " + name + " needs a value");
    return std::nullopt;
  }
  if (!type->IsValue() && type->kind != Type::Kind::kArray && type->kind != Type::Kind::kRecord) {
    diagnostics_.Error(declarator.name.pos, "a constant cannot be " + TypeText(*type));
    return std::nullopt;
  }
  const std::optional<std::vector<int32_t>> cells = ConstantCells(*declarator.init, *type, name);
  if (!cells)
    return std::nullopt;
  Symbol symbol{.kind = Symbol::Kind::kConst, .type = type, .readOnly = true};
  if (type->IsValue()) {
    symbol.value = (*cells)[0];
  } else {
    symbol.value = static_cast<int32_t>(network_.constants.size());
    network_.constants.insert(network_.constants.end(), cells->begin(), cells->end());
  }
  return symbol;
}

}  // namespace tickcheck::lang
