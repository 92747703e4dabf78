#pragma once
// Splits a source text of the modelling language into tokens: names, decimal integer literals
// and punctuation, skipping blanks, `// line comments` and `/* block comments */`.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lang/diagnostics.h"

namespace tickcheck::lang {

struct Token {
  enum class Kind { kName, kNumber, kPunct, kEnd };
  Kind kind = Kind::kEnd;
  std::string text;   // the name or the punctuation, as written
  int64_t value = 0;  // kNumber: the literal's value (at most 2147483647)
  SourcePos pos;
  size_t offset = 0;  // the byte offset of its first character in the text

  bool Is(const char* punct) const { return kind == Kind::kPunct && text == punct; }
  bool IsName(const char* name) const { return kind == Kind::kName && text == name; }
  bool AtEnd() const { return kind == Kind::kEnd; }
};

// The tokens of `text`, ending with one kEnd token, or an empty list after one error (an
// unexpected character, an unterminated block comment, a literal too large for 32 bits).
// `start` is the position of the text's first byte.
std::vector<Token> Lex(const std::string& text, Diagnostics& diagnostics, SourcePos start = {});

}  // namespace tickcheck::lang
