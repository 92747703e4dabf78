#pragma once
// The types of the modelling language, as elaboration checks them. A value of a type is a run
// of cells (32-bit integers): an integer, a bool or a scalar value is one cell, an array its
// elements' cells one after the other, a record its fields' cells in declaration order. Clocks
// and channels are counted the same way, in their own numbering.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lang/network.h"

namespace tickcheck::lang {

struct Type;
using TypeRef = std::shared_ptr<const Type>;

struct Field {
  std::string name;
  TypeRef type;
  int32_t offset = 0;  // the field's first cell in the record
};

struct Type {
  enum class Kind { kInt, kScalar, kArray, kRecord, kClock, kChannel, kVoid };
  Kind kind = Kind::kInt;
  // kInt and kScalar: the values (a scalar set of n values holds 0 .. n - 1); kArray: the values
  // of its index, one element each.
  int32_t lower = 0;
  int32_t upper = 0;
  bool boolean = false;       // kInt: `bool`
  int32_t scalarSet = -1;     // kScalar: its set; kArray: the set of its index, -1 for integers
  bool typedIndex = false;    // kArray: its index was given as a type (`a[id_t]`), not a size
  TypeRef element;            // kArray
  std::vector<Field> fields;  // kRecord
  bool broadcast = false;     // kChannel
  bool urgent = false;        // kChannel
  int32_t cells = 1;          // the cells (or clocks, or channels) of one value

  int32_t Length() const { return upper - lower + 1; }  // kArray: its elements
  bool IsValue() const { return kind == Kind::kInt || kind == Kind::kScalar; }
  // The innermost element type of nested arrays (the type itself when it is none).
  const Type& Innermost() const;
  // The type of a field, or null when the record has none of that name.
  const Field* FieldNamed(const std::string& name) const;
};

TypeRef IntType(int32_t lower, int32_t upper);
TypeRef BoolType();
TypeRef ScalarType(int32_t set, int32_t size);
TypeRef ArrayType(TypeRef element, int32_t lower, int32_t upper, int32_t scalarSet,
                  bool typedIndex = false);
TypeRef RecordType(std::vector<Field> fields);  // offsets and cells are computed
TypeRef ClockType();
TypeRef ChannelType(bool broadcast, bool urgent);
TypeRef VoidType();

// The most cells (or clocks, or channels) one declared name may hold.
inline constexpr int32_t kMaxArraySize = 4096;

// The declared range of `int`.
inline constexpr int32_t kIntLower = -32768;
inline constexpr int32_t kIntUpper = 32767;

// Whether two types have the same structure and the same ranges.
bool SameType(const Type& a, const Type& b);

// The cell types of a value of `type`, in order (kInt and kScalar cells only).
std::vector<CellType> CellsOf(const Type& type);

// The names of the cells of a value of `type` named `name`: `name`, `name[1]`, `name.f`,
// `name[0][2].f`, in cell order; array elements are named by their index values.
std::vector<std::string> CellNames(const Type& type, const std::string& name);

// The type as a message writes it: "int[0,3]", "bool", "scalar[4]", "an array of 3 int[0,3]",
// "a record", "a clock", "a channel".
std::string TypeText(const Type& type);

// The value a cell holds when nothing initialises it: 0 when its range holds 0, else its lower
// bound.
int32_t DefaultValue(const CellType& cell);

}  // namespace tickcheck::lang
