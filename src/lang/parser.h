#pragma once
// The parser of the modelling language: declarations, process templates, instances and the
// system line of a model, and the formulas of queries. Reads tokens made by Lex. Stops at the
// first syntax error, which it reports at its position; an unsupported construct (committed or
// urgent locations, urgent channels, select, functions, structs, priorities, ...) is reported by
// name.
//
// Expression precedence, lowest first: `imply`; `c ? a : b`; `||` `or`; `&&` `and`; `==` `!=`;
// `<` `<=` `>` `>=`; `+` `-`; `*` `/` `%`; unary `-` `!` `not`; `a[i]`, `P(1)`, `P.x`.

#include <optional>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/lexer.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

// The whole model, or nullopt after one error.
std::optional<SyntaxModel> ParseModel(const std::vector<Token>& tokens, Diagnostics& diagnostics);

// One formula that takes all the tokens (the part of a query after `E<>` or `A[]`), or nullopt
// after one error.
std::optional<SyntaxExpr> ParseFormula(const std::vector<Token>& tokens, Diagnostics& diagnostics);

}  // namespace tickcheck::lang
