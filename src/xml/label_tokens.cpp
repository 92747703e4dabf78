#include "xml/label_tokens.h"

namespace tickcheck::xml {

std::vector<lang::Token> LexLabel(const DocumentText& text, const DocumentLines& lines,
                                  lang::Diagnostics& diagnostics) {
  // Positions counted from the start of the text, which OffsetOf takes back to the file.
  lang::Diagnostics inside(diagnostics.File());
  std::vector<lang::Token> tokens = lang::Lex(text.text, inside, {1, 1});
  for (const lang::Diagnostic& error : inside.Errors())
    diagnostics.Error(lines.At(text.OffsetOf(error.pos)), error.message);
  for (lang::Token& token : tokens)
    token.pos = lines.At(text.OffsetOf(token.pos));
  return tokens;
}

}  // namespace tickcheck::xml
