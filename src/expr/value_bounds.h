#pragma once
// The values that a subtree of an expression can take over all states of its model, as one
// interval, where simple interval arithmetic finds one: what a format-2 clock bound that reads
// integer variables may compare the clock with, for the L and U bounds a model needs
// (expr/clock_bounds.h).

#include <cstdint>
#include <optional>

#include "model/expression.h"
#include "model/system.h"

namespace tickcheck {

struct ValueInterval {
  int64_t lo = 0;
  int64_t hi = 0;
  bool operator==(const ValueInterval&) const = default;
};

// An interval that holds every value of node `node` of `expression` in every state of `model`,
// or nothing where the arithmetic below gives none. Constants are themselves; an integer
// variable lies in Min .. Max; + - * and unary minus combine intervals (nothing when the result
// may leave 32 bits); comparisons, !, && and || give 0 .. 1; a conditional the union of its
// branches; an array read the union of its elements; an index or range check the intersection
// with what it admits; division and remainder by a positive constant what they leave of the
// dividend's interval; & of two non-negative intervals 0 .. the smaller upper end. Anything else
// (clocks, locals, function bodies, loops, shifts, other divisions) gives nothing.
std::optional<ValueInterval> ValuesOf(const CExpression& expression, int32_t node,
                                      const CSystem& model);

}  // namespace tickcheck
