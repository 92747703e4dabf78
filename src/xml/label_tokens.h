#pragma once
// The tokens of a label's text, read by the language's lexer, with every position in the file:
// the lexer reads the decoded text, and each position it gives (of a token or of its error) is
// mapped back through the text's offsets (xml/text_map.h). The parser and the later stages then
// report at positions inside the document, `FILE:LINE:COL` of the offending text itself.

#include <vector>

#include "lang/diagnostics.h"
#include "lang/lexer.h"
#include "xml/text_map.h"

namespace tickcheck::xml {

// The tokens of `text` ending with the end token (at the end of the text), or an empty list after
// the lexer's error, which goes to `diagnostics` at its place in the document.
std::vector<lang::Token> LexLabel(const DocumentText& text, const DocumentLines& lines,
                                  lang::Diagnostics& diagnostics);

}  // namespace tickcheck::xml
