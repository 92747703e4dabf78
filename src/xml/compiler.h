#pragma once
// The compiler of XML model documents: reads the document (xml/document.h), parses every label
// with the language's parser at its place in the file (xml/label_tokens.h), assembles the
// language's syntax tree from them, and compiles it with the language's compiler. The texts of
// the labels are the language's: declarations and functions, parameter lists, invariants,
// selects, guards, syncs and assignment lists, the system block (instances, partial instances
// `G(const id_t i) = Gate(i, 3);`, the system line) and query formulas.
//
// A location without a name is named by its id. The queries are those of the document's
// `<queries>`, or those of a query file when one is given.

#include <optional>
#include <string>
#include <vector>

#include "lang/compiler.h"
#include "lang/diagnostics.h"

namespace tickcheck::xml {

// Compiles the document `document` (its path and bytes) with the queries of `queries` when given,
// else with its own. On failure answers nullopt and leaves the faults in `errors`, each at its
// place in the document (or in the query file).
std::optional<lang::Compilation> CompileDocument(const lang::SourceFile& document,
                                                 const std::optional<lang::SourceFile>& queries,
                                                 std::vector<lang::Diagnostic>& errors);

}  // namespace tickcheck::xml
