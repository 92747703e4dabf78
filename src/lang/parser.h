#pragma once
// The parser of the modelling language: declarations (variables, constants, clocks, channels,
// types, records, functions), process templates, instances and the system line of a model, and
// the queries of a query file. Reads tokens made by Lex. Each entry point stops at the first
// syntax error, which it reports at its position; a construct outside the language (priorities,
// `double`, `hybrid`, ...) is reported by name, a reserved word used as a name as "'commit' is a
// reserved word".
//
// Expression precedence, lowest first: assignments `=` `:=` `+=` ... (right to left); `imply`;
// `c ? a : b`; `||` `or`; `&&` `and`; `|`; `^`; `&`; `==` `!=`; `<` `<=` `>` `>=`; `<<` `>>`;
// `+` `-`; `*` `/` `%`; prefix `-` `+` `!` `not` `~` `++` `--`; postfix `a[i]`, `r.f`, `f(x)`,
// `x++`, `x--`. `forall (i : T) e`, `exists (i : T) e` and `sum (i : T) e` take the longest
// expression `e` that follows.
//
// Besides the whole model, every part that a label of another input format holds can be parsed
// on its own (the entry points below the first two); each must take all of its tokens.

#include <optional>
#include <string>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/lexer.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

// The whole model, or nullopt after one error.
std::optional<SyntaxModel> ParseModel(const std::vector<Token>& tokens, Diagnostics& diagnostics);

// The queries of a query file: each starts with `E<>`, `A[]`, `A<>` or `E[]` and runs to the
// next one, so a query may span lines and comments may stand anywhere. A leads-to query `p --> q`
// has no such start: it starts at the first token of a line when the token before it can end a
// formula, that token can begin one, and a `-->` follows before the next query. `text` is the
// file's text (the tokens' offsets point into it). Every faulty query is reported; nullopt when
// any was.
std::optional<std::vector<SyntaxQuery>> ParseQueries(const std::vector<Token>& tokens,
                                                     const std::string& text,
                                                     Diagnostics& diagnostics);

// One formula that takes all the tokens (the part of a query after `E<>` or `A[]`).
std::optional<SyntaxExpr> ParseFormula(const std::vector<Token>& tokens, Diagnostics& diagnostics);

// Declarations (global, or of a template): variables, constants, clocks, channels, typedefs and
// functions.
std::optional<std::vector<SyntaxDeclaration>> ParseDeclarations(const std::vector<Token>& tokens,
                                                                Diagnostics& diagnostics);
// A system block: declarations, process templates, instances `P1 = P(1);` and the system line.
std::optional<SyntaxModel> ParseSystemBlock(const std::vector<Token>& tokens,
                                            Diagnostics& diagnostics);
// A template's parameter list without its parentheses: `const id_t id, int &n`.
std::optional<std::vector<SyntaxVariable>> ParseParameters(const std::vector<Token>& tokens,
                                                           Diagnostics& diagnostics);
// A location's invariant, or an edge's guard: one expression.
std::optional<SyntaxExpr> ParseInvariant(const std::vector<Token>& tokens,
                                         Diagnostics& diagnostics);
std::optional<SyntaxExpr> ParseGuard(const std::vector<Token>& tokens, Diagnostics& diagnostics);
// An edge's select list: `i : T, j : U`.
std::optional<std::vector<SyntaxSelect>> ParseSelects(const std::vector<Token>& tokens,
                                                      Diagnostics& diagnostics);
// An edge's sync: `c[i]!` or `c?`.
std::optional<SyntaxSync> ParseSync(const std::vector<Token>& tokens, Diagnostics& diagnostics);
// An edge's assignment list: `x = 0, n++, f(n)`.
std::optional<std::vector<SyntaxExpr>> ParseUpdates(const std::vector<Token>& tokens,
                                                    Diagnostics& diagnostics);

}  // namespace tickcheck::lang
