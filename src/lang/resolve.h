#pragma once
// Resolves the expressions of a model against the names in scope: types them, folds constants,
// lays out places (variables, array elements, record fields, local slots, references) and checks
// what each position allows. Every fault is reported at its position: unknown names, wrong
// types, a clock used as an integer or in a clock difference, a channel used as a value, a
// constant index outside its array, a constant division by zero, a side effect where none is
// allowed, recursion, a reference argument that is not a variable.

#include <functional>
#include <optional>
#include <string>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/scope.h"
#include "lang/syntax.h"
#include "lang/types.h"

namespace tickcheck::lang {

// The most values a select name or a quantifier ranges over (quantifiers are unrolled).
inline constexpr int64_t kMaxBinderValues = 4096;

// Where an expression stands.
enum class Position {
  kConstant,   // a declaration's size, range or initial value, a template argument
  kGuard,      // side-effect free; clock comparisons combine with &&, ||, !, imply
  kInvariant,  // the same
  kSync,       // a channel's index: side-effect free
  kUpdate,     // an edge's assignment: side effects; `clock = value` at the top
  kFunction,   // a statement of a function body: side effects, no clocks
  kQuery,      // side-effect free; clock comparisons; `P.l`, `P(2).x`, `deadlock`
};

// A resolved value: its term and type (kInt or kScalar; int ranges are not tracked here).
struct Typed {
  Term term;
  TypeRef type;
};

// What a query may name besides the global scope: the processes by name, with their scopes.
struct ProcessNames {
  // The process of that name (`Gate`, `P(2)`), or -1.
  std::function<int32_t(const std::string&)> find;
  // The scope of process p's own names.
  std::function<const Scope&(int32_t)> scope;
};

class Resolver {
 public:
  // `network` receives the binders of quantifiers and `select` names, and provides the
  // functions that calls name. `current` is the function being elaborated (a call to it is
  // recursion), -1 outside a function.
  Resolver(const Scope& scope, Network& network, Diagnostics& diagnostics, Position position,
           int32_t current = -1)
      : scope_(&scope),
        network_(network),
        diagnostics_(diagnostics),
        position_(position),
        current_(current) {}

  void SetProcesses(const ProcessNames* processes) { processes_ = processes; }

  // A one-cell value: an integer, a bool or a scalar value.
  std::optional<Typed> Value(const SyntaxExpr& expr);
  // A condition of a guard, an invariant or a query: a value, in which clock comparisons (a
  // clock against an integer value, on either side) may combine with `&&`, `||`, `!` and
  // `imply`. Clock comparisons come out with the clock on the left. Positions that allow no
  // clock get a plain value.
  std::optional<Term> Condition(const SyntaxExpr& expr);
  // A value that must fold to a constant; `what` names it in the message.
  std::optional<int32_t> Constant(const SyntaxExpr& expr, const std::string& what);
  // An expression evaluated for its effects: an assignment, an increment, a call; in an edge's
  // assignments also the setting of a clock.
  std::optional<Term> Effect(const SyntaxExpr& expr);
  // The channel of a `sync`; `send` is filled by the caller.
  std::optional<Sync> Channel(const SyntaxExpr& expr);
  // The value of `expr` converted for a cell of `cell`'s kind (`what` names the target): an
  // integer for an integer or a bool, a value of the same scalar set for a scalar.
  std::optional<Term> ValueFor(const SyntaxExpr& expr, const Type& cell, const std::string& what);
  // The whole of a record or array of `type`'s shape, read for an assignment (`what` names the
  // target): a kRead of its place.
  std::optional<Term> WholeValue(const SyntaxExpr& expr, const Type& type, const std::string& what);
  // A binder for the values of `type` (a bounded integer range, bool or a scalar set), for a
  // select name or a quantifier: the type's range, or nullopt after an error naming `what`.
  std::optional<int32_t> NewBinder(const SyntaxName& name, const Type& type,
                                   const std::string& what);

  // The type that `syntax` writes (`name` names a scalar set it creates), and the array type of
  // `sizes` (outermost first) over `element`; nullopt after an error.
  std::optional<TypeRef> ResolveType(const SyntaxType& syntax, const std::string& name);
  std::optional<TypeRef> ArrayOf(TypeRef element, const std::vector<SyntaxArraySize>& sizes,
                                 const std::string& name);
  // The cells of a constant of `type` given by `init` (a list for an array or a record).
  std::optional<std::vector<int32_t>> ConstantCells(const SyntaxInit& init, const Type& type,
                                                    const std::string& name);

  // The symbol of a constant of `type` that `declarator` declares and initialises: its value, or
  // its cells added to the network's constant cells.
  std::optional<Symbol> ConstantSymbol(const SyntaxDeclarator& declarator, const TypeRef& type);

  // The first side effect of `term` outside the current function, or null.
  static const Term* SideEffect(const Term& term, const Network& network);

 private:
  // What a name or an access denotes.
  struct Resolved {
    enum class Kind { kValue, kPlace, kClock, kChannel };
    Kind kind = Kind::kValue;
    Term term;
    TypeRef type;
    bool readOnly = false;  // kPlace: constants, `const` variables, loop names
    std::string name;       // for messages: the name as written
    std::string described;  // for messages: "the constant K", "the array a", ...
  };

  enum class Mode {
    kValue,      // a value
    kCondition,  // a condition where clock comparisons may stand
    kComparand,  // an operand of a comparison: a bare clock is allowed
  };

  std::optional<Typed> Expression(const SyntaxExpr& expr, Mode mode);
  std::optional<Typed> Operator(const SyntaxExpr& expr, Mode mode);
  std::optional<Typed> Comparison(const SyntaxExpr& expr, int32_t relation, Mode mode);
  std::optional<Typed> Logical(const SyntaxExpr& expr, Mode mode);
  std::optional<Typed> Quantified(const SyntaxExpr& expr, Mode mode);
  std::optional<Typed> Assignment(const SyntaxExpr& expr, bool effect);
  std::optional<Typed> Increment(const SyntaxExpr& expr);
  // A call; the function is looked up in `functions` (the scope in force when null).
  std::optional<Typed> Call(const SyntaxExpr& expr, const Scope* functions = nullptr);
  // A name, an array element or a record field.
  std::optional<Resolved> Access(const SyntaxExpr& expr);
  std::optional<Resolved> Named(const SyntaxExpr& expr);
  std::optional<Resolved> Indexed(const SyntaxExpr& expr);
  std::optional<Resolved> Member(const SyntaxExpr& expr);
  // `Process.name` and `Process(args).name` in queries; nullopt (without error) when the base
  // names no process. An argument may be a quantifier's name: the member is then chosen among
  // the processes of its values.
  std::optional<Resolved> ProcessMember(const SyntaxExpr& expr, bool& isProcess);
  // `name.member` for the process called `name`.
  std::optional<Resolved> MemberOf(const std::string& name, const SyntaxExpr& expr);
  std::optional<Typed> Read(const Resolved& resolved, const SyntaxExpr& expr, Mode mode);
  // The place that `expr` denotes, for an assignment or a reference argument.
  std::optional<Resolved> Target(const SyntaxExpr& expr, const std::string& what);
  // Whether the binary `expr` relates two clocks (`x - y`, `x < y`), which is refused with a
  // message at `expr`.
  bool IsClockDifference(const SyntaxExpr& expr, const Typed& left, const Typed& right);
  // A value of an integer kind (an int or a bool), for operator `op`.
  bool RequireInteger(const Typed& value, SourcePos pos);
  // The range of one array dimension: a constant size, a type name, or a type written out.
  struct Dimension {
    int32_t lower = 0;
    int32_t upper = 0;
    int32_t scalarSet = -1;
    bool typed = false;  // given as a type, not a size
  };
  std::optional<Dimension> DimensionOf(const SyntaxArraySize& size, const std::string& name);
  // Adds `index` (already shifted to start at 0, of an array of `length` elements of `width`
  // cells) to the place or clock term of `base`.
  // Adds `contribution` cells to the offset of the place, clock or channel term of `base`, whose
  // value then spans `extent` cells.
  void AddOffset(Resolved& base, Term contribution, int32_t extent);

  bool Allows(Position position) const { return position_ == position; }
  bool SideEffectsAllowed() const {
    return position_ == Position::kUpdate || position_ == Position::kFunction;
  }
  bool ClocksAllowed() const {
    return position_ == Position::kGuard || position_ == Position::kInvariant ||
           position_ == Position::kQuery || position_ == Position::kUpdate;
  }
  std::string PositionName() const;

  const Scope* scope_;
  Network& network_;
  Diagnostics& diagnostics_;
  Position position_;
  int32_t current_;
  const ProcessNames* processes_ = nullptr;
};

// An expression naming a variable or clock as written, for messages: `x`, `a[2]`, `r.f`.
std::string WrittenName(const SyntaxExpr& expr);

// Whether two types have the same structure, integer ranges aside (a whole record or array may
// be assigned from one of the same shape; each cell checks its own range).
bool SameShape(const Type& a, const Type& b);

}  // namespace tickcheck::lang
