#pragma once
// Resolves the expressions of a model against the names in scope: types them (integers, clocks,
// channels), folds constants and selects array elements. Every fault is reported at its position:
// unknown names, a clock used as an integer, a channel used as a value, an index out of range, a
// constant division by zero, unsupported constructs.

#include <optional>
#include <string>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/scope.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

class Resolver {
 public:
  // `network` holds the variables declared so far (their ranges bound variable indices).
  Resolver(const Scope& scope, const Network& network, Diagnostics& diagnostics)
      : scope_(scope), network_(network), diagnostics_(diagnostics) {}

  // An integer expression: no clock, no channel.
  std::optional<Term> Value(const SyntaxExpr& expr);
  // A condition of a guard or an invariant: an integer expression in which clock comparisons
  // (a clock compared with an integer expression, on either side) may be combined with `&&`,
  // `||`, `!` and `imply`. Clock comparisons come out with the clock on the left.
  std::optional<Term> Condition(const SyntaxExpr& expr);
  // An integer expression that must fold to a constant; `what` names it in the message.
  std::optional<int32_t> Constant(const SyntaxExpr& expr, const std::string& what);
  // The target of an assignment: an integer variable, an array element (a kElement when the
  // index depends on variables) or a clock.
  std::optional<Term> Target(const SyntaxExpr& expr);
  // The channel of a `sync`; `send` is filled by the caller.
  std::optional<Sync> Channel(const SyntaxExpr& expr);

 private:
  enum class Mode {
    kValue,      // an integer value
    kCondition,  // a condition where clock comparisons may stand
    kComparand,  // an operand of a comparison: a bare clock is allowed
  };
  std::optional<Term> Resolve(const SyntaxExpr& expr, Mode mode);
  std::optional<Term> Comparison(const SyntaxExpr& expr, int32_t relation, Mode mode);
  // A name or an indexed array element; a clock only in kComparand mode (or for a target).
  std::optional<Term> Reference(const SyntaxExpr& expr, Mode mode, bool target);
  // The symbol named by `expr` (a kName), or null after an error.
  const Symbol* Lookup(const SyntaxExpr& expr);
  // The index into an array of `size`: a constant inside it, or a term whose range lies inside.
  std::optional<Term> Index(const SyntaxExpr& expr, const std::string& array, int32_t size);

  const Scope& scope_;
  const Network& network_;
  Diagnostics& diagnostics_;
};

}  // namespace tickcheck::lang
