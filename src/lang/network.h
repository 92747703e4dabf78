#pragma once
// The instantiated model: every template instance is a process of its own, every name is
// resolved to a variable, clock or channel, constant expressions are folded, and array elements
// with constant indices name their element. The compiler's analyses and its code generation read
// this network; so can an independent explorer of the language's semantics.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lang/diagnostics.h"

namespace tickcheck::lang {

// An expression. Operator codes are those of the expression records (model/expression_record.h):
// relations 1 to 6, and `%` `&&` `*` `+` `-` `/` `||` as 37, 38, 42, 43, 45, 47, 124.
struct Term {
  enum class Kind {
    kConst,    // `value`
    kInt,      // integer variable `value`
    kClock,    // clock `value`; only as the left operand of a comparison, or assigned
    kElement,  // the element of `elements` (integer variables) selected by operands[0]
    kNot,      // 1 when operands[0] is 0, else 0
    kNegate,   // -operands[0]
    kBinary,   // operator `value` on operands[0] and operands[1]
    kCond,     // operands[0] ? operands[1] : operands[2]
  };
  Kind kind = Kind::kConst;
  int32_t value = 0;
  std::vector<int32_t> elements;
  std::vector<Term> operands;
  SourcePos pos;

  static Term Const(int32_t value, SourcePos pos = {});
  static Term Int(int32_t variable, SourcePos pos = {});
  static Term Binary(int32_t op, Term left, Term right, SourcePos pos = {});

  bool IsConst() const { return kind == Kind::kConst; }
  // A comparison whose left operand is a clock.
  bool IsClockComparison() const;
  // True when a clock comparison occurs anywhere inside.
  bool HasClock() const;
  // The integer variables that the term reads, in order of first reading (array elements of a
  // kElement all count).
  std::vector<int32_t> IntegersRead() const;
};

struct IntVariable {
  std::string name;
  int32_t lower = 0;
  int32_t upper = 0;
  int32_t initial = 0;
};

struct ClockVariable {
  std::string name;
  int32_t process = -1;  // the process that declares it; -1 for a global clock
};

struct Channel {
  std::string name;
  bool broadcast = false;
};

struct Location {
  std::string name;
  std::vector<Term> invariant;  // clock upper bounds `x < c` / `x <= c`, conjoined
  SourcePos pos;
};

// `c!` or `c?`: the channel is channels[0], or channels[value of index] for an index that depends
// on variables (always inside the array).
struct Sync {
  std::vector<int32_t> channels;
  std::optional<Term> index;
  bool send = true;
  SourcePos pos;
};

// `target = value`; the target is a kInt, kClock or kElement term.
struct Assignment {
  Term target;
  Term value;
  SourcePos pos;
};

struct Edge {
  int32_t from = 0;
  int32_t to = 0;
  Term guard;  // a condition; clock comparisons may be combined with &&, || and !
  std::optional<Sync> sync;
  std::vector<Assignment> assignments;
  SourcePos pos;
};

struct Process {
  std::string name;
  std::vector<Location> locations;
  int32_t init = 0;
  std::vector<Edge> edges;
  SourcePos pos;
};

// What a name stands for, kept for the queries.
struct Binding {
  enum class Kind { kConst, kInt, kClock, kChannel };
  Kind kind = Kind::kConst;
  int32_t value = 0;  // kConst: the value; otherwise the first variable, clock or channel
  int32_t size = 0;   // the array's size; 0 for a single one
};

struct Network {
  std::vector<IntVariable> variables;
  std::vector<ClockVariable> clocks;
  std::vector<Channel> channels;
  std::vector<Process> processes;
  std::map<std::string, Binding> globals;
  std::vector<std::map<std::string, Binding>> locals;  // one per process
};

}  // namespace tickcheck::lang
