#include "lang/types.h"

namespace tickcheck::lang {
namespace {

TypeRef Make(Type type) {
  return std::make_shared<const Type>(std::move(type));
}

void CollectNames(const Type& type, const std::string& name, std::vector<std::string>& out) {
  switch (type.kind) {
    case Type::Kind::kArray:
      for (int32_t index = type.lower; index <= type.upper; ++index)
        CollectNames(*type.element, name + "[" + std::to_string(index) + "]", out);
      return;
    case Type::Kind::kRecord:
      for (const Field& field : type.fields)
        CollectNames(*field.type, name + "." + field.name, out);
      return;
    default:
      out.push_back(name);
  }
}

void CollectCells(const Type& type, std::vector<CellType>& out) {
  switch (type.kind) {
    case Type::Kind::kArray:
      for (int32_t k = 0; k < type.Length(); ++k)
        CollectCells(*type.element, out);
      return;
    case Type::Kind::kRecord:
      for (const Field& field : type.fields)
        CollectCells(*field.type, out);
      return;
    default:
      out.push_back({type.lower, type.upper, type.boolean});
  }
}

}  // namespace

const Type& Type::Innermost() const {
  const Type* type = this;
  while (type->kind == Kind::kArray)
    type = type->element.get();
  return *type;
}

const Field* Type::FieldNamed(const std::string& name) const {
  for (const Field& field : fields) {
    if (field.name == name)
      return &field;
  }
  return nullptr;
}

TypeRef IntType(int32_t lower, int32_t upper) {
  Type type;
  type.lower = lower;
  type.upper = upper;
  return Make(std::move(type));
}

TypeRef BoolType() {
  Type type;
  type.upper = 1;
  type.boolean = true;
  return Make(std::move(type));
}

TypeRef ScalarType(int32_t set, int32_t size) {
  Type type;
  type.kind = Type::Kind::kScalar;
  type.upper = size - 1;
  type.scalarSet = set;
  return Make(std::move(type));
}

TypeRef ArrayType(TypeRef element, int32_t lower, int32_t upper, int32_t scalarSet,
                  bool typedIndex) {
  Type type;
  type.kind = Type::Kind::kArray;
  type.typedIndex = typedIndex;
  type.lower = lower;
  type.upper = upper;
  type.scalarSet = scalarSet;
  type.cells = element->cells * (upper - lower + 1);
  type.element = std::move(element);
  return Make(std::move(type));
}

TypeRef RecordType(std::vector<Field> fields) {
  Type type;
  type.kind = Type::Kind::kRecord;
  type.cells = 0;
  for (Field& field : fields) {
    field.offset = type.cells;
    type.cells += field.type->cells;
  }
  type.fields = std::move(fields);
  return Make(std::move(type));
}

TypeRef ClockType() {
  Type type;
  type.kind = Type::Kind::kClock;
  return Make(std::move(type));
}

TypeRef ChannelType(bool broadcast, bool urgent) {
  Type type;
  type.kind = Type::Kind::kChannel;
  type.broadcast = broadcast;
  type.urgent = urgent;
  return Make(std::move(type));
}

TypeRef VoidType() {
  Type type;
  type.kind = Type::Kind::kVoid;
  type.cells = 0;
  return Make(std::move(type));
}

bool SameType(const Type& a, const Type& b) {
  if (a.kind != b.kind || a.lower != b.lower || a.upper != b.upper || a.boolean != b.boolean ||
      a.scalarSet != b.scalarSet || a.fields.size() != b.fields.size() ||
      a.broadcast != b.broadcast || a.urgent != b.urgent) {
    return false;
  }
  if (a.kind == Type::Kind::kArray && !SameType(*a.element, *b.element))
    return false;
  for (size_t f = 0; f < a.fields.size(); ++f) {
    if (a.fields[f].name != b.fields[f].name || !SameType(*a.fields[f].type, *b.fields[f].type))
      return false;
  }
  return true;
}

std::vector<CellType> CellsOf(const Type& type) {
  std::vector<CellType> cells;
  CollectCells(type, cells);
  return cells;
}

std::vector<std::string> CellNames(const Type& type, const std::string& name) {
  std::vector<std::string> names;
  CollectNames(type, name, names);
  return names;
}

std::string TypeText(const Type& type) {
  switch (type.kind) {
    case Type::Kind::kInt:
      if (type.boolean)
        return "bool";
      return "int[" + std::to_string(type.lower) + "," + std::to_string(type.upper) + "]";
    case Type::Kind::kScalar:
      return "scalar[" + std::to_string(type.upper + 1) + "]";
    case Type::Kind::kArray:
      return "an array of " + std::to_string(type.Length()) + " " +
             (type.element->kind == Type::Kind::kArray ? "arrays" : TypeText(*type.element));
    case Type::Kind::kRecord:
      return "a record";
    case Type::Kind::kClock:
      return "a clock";
    case Type::Kind::kChannel:
      return "a channel";
    case Type::Kind::kVoid:
      return "void";
  }
  return "";
}

int32_t DefaultValue(const CellType& cell) {
  return cell.lower <= 0 && 0 <= cell.upper ? 0 : cell.lower;
}

}  // namespace tickcheck::lang
