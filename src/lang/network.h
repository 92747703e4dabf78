#pragma once
// The instantiated model: every template instance is a process of its own, every name is
// resolved to a variable, clock, channel, local slot or function, constant expressions are
// folded, records and arrays are laid out as runs of cells, and each edge with `select` stands
// for one edge per combination of its values. The compiler's analyses and its code generation
// read this network; so does an independent explorer of the language's semantics, which gives
// every term below its meaning.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lang/diagnostics.h"

namespace tickcheck::lang {

// The values one cell may hold; a `bool` cell stores 1 for any value that is not 0.
struct CellType {
  int32_t lower = 0;
  int32_t upper = 0;
  bool boolean = false;
  bool operator==(const CellType&) const = default;
};

// Where the cells of a place are.
enum class Space {
  kGlobal,     // integer variables, by variable number
  kLocal,      // the slots of the frame of the function being evaluated
  kReference,  // the place bound to a reference parameter of that function, by its number
  kConstant,   // the network's constant cells (const arrays and records), read-only
};

enum class Quantifier { kForall, kExists, kSum };

// An expression. Evaluation is left to right; `&&`, `||` and `?:` evaluate lazily. Errors that
// end an evaluation: division or remainder by 0, a shift count outside 0 .. 31, an index outside
// its range (kCheck, and an offset outside a place's extent), a value outside the range of the
// cell it is stored in.
struct Term {
  enum class Kind {
    kConst,       // `value`
    kBound,       // the value of binder `value` (a quantifier's name)
    kPlace,       // cells of `space` from `value` + offset: see below; never evaluated alone
    kRead,        // the value of the one-cell place operands[0]
    kClock,       // clock `value`; with `size` > 0, clock `value` + operands[0] of an array of
                  // `size` clocks, the index depending on constants and binders only
    kNot,         // 1 when operands[0] is 0, else 0
    kNegate,      // -operands[0]
    kBitNot,      // ~operands[0]
    kBinary,      // operator `value` on operands[0] and operands[1]: a code of the model file's
                  // expression records (model/expression_record.h: relations 1 to 6, % && * + -
                  // / ||, and the bit operators 203 to 207)
    kCond,        // operands[0] ? operands[1] : operands[2]
    kCheck,       // operands[0] when it lies in 0 .. size - 1, else an index error
    kAssign,      // the place (or clock) operands[0] takes operands[1]; `value` 0 for `=`, or
                  // the operator of a compound assignment `op=`; its value is the stored value.
                  // A place of several cells takes the cells of the place read by operands[1]
                  // (a kRead of a place of the same width): a whole record or array.
    kIncrement,   // the one-cell place operands[0] + `value` (1 or -1); its value is the new one
                  // when `size` is 1 (prefix), the old one when 0 (postfix)
    kCall,        // function `value` on operands: per parameter a value, a kRead of several
                  // cells (a record by value) or a kPlace (a reference)
    kQuantifier,  // Quantifier(`value`) over binder `size` of operands[0]: forall, exists (0 or
                  // 1), sum
    kLocation,    // 1 when process `value` is in location `size` (queries)
    kDeadlock,    // 1 when no transition is enabled now nor after any delay (queries)
  };
  Kind kind = Kind::kConst;
  int32_t value = 0;
  int32_t size = 0;
  // kPlace: the cells are those of `space` from `value` + offset on; operands[0], when present,
  // is the offset (0 when absent); `size` cells from `value` on may be addressed, and an offset
  // that leaves them is an index error; `cells` are the types of the place's own cells (its
  // width), as declared.
  Space space = Space::kGlobal;
  std::vector<CellType> cells;
  std::vector<Term> operands;
  SourcePos pos;

  static Term Const(int32_t value, SourcePos pos = {});
  static Term Binary(int32_t op, Term left, Term right, SourcePos pos = {});
  // The place of `cells` in `space` from `first` on, without offset.
  static Term Place(Space space, int32_t first, std::vector<CellType> cells, SourcePos pos = {});
  static Term Read(Term place, SourcePos pos = {});

  bool IsConst() const { return kind == Kind::kConst; }
  // A comparison whose left operand is a clock.
  bool IsClockComparison() const;
  // True when a clock occurs anywhere inside.
  bool HasClock() const;
  // The global integer variable read or written by a place without offset, or -1.
  int32_t FixedVariable() const;
};

struct IntVariable {
  std::string name;
  int32_t lower = 0;
  int32_t upper = 0;
  int32_t initial = 0;
  bool boolean = false;

  CellType Cell() const { return {lower, upper, boolean}; }
};

struct ClockVariable {
  std::string name;
  int32_t process = -1;  // the process that declares it; -1 for a global clock
};

struct Channel {
  std::string name;
  bool broadcast = false;
  bool urgent = false;
  SourcePos pos;  // its declaration's
};

struct Location {
  std::string name;
  // A condition: a conjunction of clock upper bounds `x < e`, `x <= e` and conditions without
  // clocks (constant 1 when there is none).
  Term invariant = Term::Const(1);
  bool committed = false;
  bool urgent = false;
  SourcePos pos;
};

// `c!` or `c?`: the channel is channels[0], or channels[value of index] for an index that depends
// on variables; an index outside 0 .. channels.size() - 1 is an index error.
struct Sync {
  std::vector<int32_t> channels;
  std::optional<Term> index;
  bool send = true;
  SourcePos pos;
};

struct Edge {
  int32_t from = 0;
  int32_t to = 0;
  Term guard = Term::Const(1);  // a condition; clock comparisons combine with &&, || and !
  std::optional<Sync> sync;
  // Evaluated in order for their effects: kAssign, kIncrement and kCall terms, and the setting
  // of a clock (a kAssign of a kClock), which only stands here.
  std::vector<Term> updates;
  int32_t source = 0;                    // the edge's number in its template, from 0
  std::vector<int32_t> selectValues;     // the values of its `select` names, in order
  std::vector<std::string> selectNames;  // those names
  SourcePos pos;
};

struct Process {
  std::string name;
  std::string templateName;
  std::vector<Location> locations;
  int32_t init = 0;
  std::vector<Edge> edges;
  SourcePos pos;
  // For the symmetry of processes of one template: the values of its parameters in order, and
  // the integer variables and clocks that its declarations made (numbers from .. to, excluded).
  std::vector<int32_t> arguments;
  std::pair<int32_t, int32_t> ownVariables{0, 0};
  std::pair<int32_t, int32_t> ownClocks{0, 0};
};

// A statement of a function body.
struct Statement {
  enum class Kind {
    kBlock,       // body in order
    kExpression,  // terms[0] for its effects
    kIf,          // terms[0] ? body[0] : body[1] (body[1] absent: nothing)
    kWhile,       // while terms[0]: body[0]
    kDoWhile,     // body[0], then while terms[0]: body[0]
    kFor,         // while terms[0]: body[0], then terms[1] (when present); `continue` goes to it
    kBreak,
    kContinue,
    kReturn,  // returns terms[0] (absent: nothing) converted to the function's result
  };
  Kind kind = Kind::kBlock;
  std::vector<Term> terms;
  std::vector<Statement> body;
  int32_t line = 0;  // loops: the line of the loop in the source
};

struct Parameter {
  bool reference = false;
  int32_t first = 0;  // a value: its first slot; a reference: its reference number
  int32_t width = 1;  // cells
};

struct Function {
  std::string name;  // as the source names it: `f`, or `Template.f` for a template's function
  std::vector<CellType> slots;  // the frame: every slot starts at 0 on entry
  std::vector<Parameter> parameters;
  int32_t references = 0;
  std::optional<CellType> result;  // none: void; a function that ends without return gives 0
  Statement body;
  bool writesGlobals = false;          // assigns a global variable, itself or through a call
  std::vector<bool> writesReferences;  // per reference: assigns through it
  SourcePos pos;
};

// A name bound by a quantifier: it takes every value of lower .. upper.
struct Binder {
  std::string name;
  int32_t lower = 0;
  int32_t upper = 0;
};

// A scalar set, with what its values index or initialise, for the symmetry of its values.
struct ScalarSet {
  std::string name;
  int32_t size = 0;
  std::vector<int32_t> variables;  // integer variables whose values are of the set
  // Arrays indexed by the set: the element of value v starts at first + v * stride.
  struct Indexed {
    enum class Kind { kVariables, kClocks, kChannels };
    Kind kind = Kind::kVariables;
    int32_t first = 0;
    int32_t stride = 1;
  };
  std::vector<Indexed> arrays;
  // Processes instantiated for a parameter of the set: (process, the parameter's value).
  std::vector<std::pair<int32_t, int32_t>> processes;
};

// An array of integer cells, clocks or channels indexed by an integer range: the element of
// index v starts at first + (v - lower) * stride.
struct RangeArray {
  ScalarSet::Indexed::Kind kind = ScalarSet::Indexed::Kind::kVariables;
  int32_t first = 0;
  int32_t stride = 1;
  int32_t lower = 0;
  int32_t upper = 0;
  bool typed = false;  // declared with its index type (`flag[id_t]`), not a size (`flag[N]`)
};

struct Network {
  std::vector<IntVariable> variables;
  std::vector<ClockVariable> clocks;
  std::vector<Channel> channels;
  std::vector<Process> processes;
  std::vector<Function> functions;
  std::vector<Binder> binders;
  std::vector<int32_t> constants;  // the cells of constant arrays and records
  std::vector<ScalarSet> scalars;
  std::vector<RangeArray> rangeArrays;  // for the symmetry of integer identities
};

// A query, resolved against the network.
struct Query {
  // E<>, A[], A<>, E[], and p --> q
  enum class Kind { kReachable, kInvariant, kEventually, kAlways, kLeadsTo };
  Kind kind = Kind::kReachable;
  std::string text;  // as written, without comments
  SourcePos pos;
  Term formula;  // side-effect free; may hold kLocation, kDeadlock and clock comparisons
  Term then{};   // q of a leads-to, like `formula`
};

}  // namespace tickcheck::lang
