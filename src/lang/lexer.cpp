#include "lang/lexer.h"

#include <array>
#include <cctype>
#include <string_view>

namespace tickcheck::lang {
namespace {

// Longest first, so that a prefix never hides a longer operator.
constexpr std::array<std::string_view, 24> kLongPuncts = {
    "<<=", ">>=", "->", "==", "!=", "<=", ">=", "&&", "||", ":=", "++", "--",
    "+=",  "-=",  "*=", "/=", "%=", "&=", "|=", "^=", "<<", ">>", "<?", ">?"};
constexpr std::string_view kShortPuncts = "(){}[],;:.?!=<>+-*/%&|^~'";

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}
bool IsNamePart(char c) {
  return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::vector<Token> Lex(const std::string& text, Diagnostics& diagnostics, SourcePos start) {
  std::vector<Token> tokens;
  SourcePos pos = start;
  size_t i = 0;
  auto advance = [&](size_t count) {
    for (size_t k = 0; k < count && i < text.size(); ++k, ++i) {
      if (text[i] == '\n') {
        ++pos.line;
        pos.column = 1;
      } else {
        ++pos.column;
      }
    }
  };
  auto fail = [&](SourcePos at, std::string message) {
    diagnostics.Error(at, std::move(message));
    return std::vector<Token>{};
  };
  while (i < text.size()) {
    const char c = text[i];
    const std::string_view rest(text.data() + i, text.size() - i);
    if (std::isspace(static_cast<unsigned char>(c)) != 0) {
      advance(1);
    } else if (rest.starts_with("//")) {
      while (i < text.size() && text[i] != '\n')
        advance(1);
    } else if (rest.starts_with("/*")) {
      const SourcePos opened = pos;
      const size_t end = rest.find("*/", 2);
      if (end == std::string_view::npos)
        return fail(opened, "unterminated comment");
      advance(end + 2);
    } else if (IsNameStart(c)) {
      Token token{Token::Kind::kName, {}, 0, pos, i};
      size_t length = 0;
      while (i + length < text.size() && IsNamePart(text[i + length]))
        ++length;
      token.text = text.substr(i, length);
      advance(length);
      tokens.push_back(std::move(token));
    } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
      Token token{Token::Kind::kNumber, {}, 0, pos, i};
      size_t length = 0;
      while (i + length < text.size() && IsNamePart(text[i + length]))
        ++length;
      token.text = text.substr(i, length);
      for (char digit : token.text) {
        if (std::isdigit(static_cast<unsigned char>(digit)) == 0)
          return fail(pos, "malformed number '" + token.text + "'");
        token.value = token.value * 10 + (digit - '0');
        if (token.value > 2147483647)
          return fail(pos, "number " + token.text + " does not fit in 32 bits");
      }
      advance(length);
      tokens.push_back(std::move(token));
    } else {
      Token token{Token::Kind::kPunct, {}, 0, pos, i};
      for (std::string_view punct : kLongPuncts) {
        if (rest.starts_with(punct)) {
          token.text = punct;
          break;
        }
      }
      if (token.text.empty()) {
        if (kShortPuncts.find(c) == std::string_view::npos)
          return fail(pos, std::string("unexpected character '") + c + "'");
        token.text = std::string(1, c);
      }
      advance(token.text.size());
      tokens.push_back(std::move(token));
    }
  }
  tokens.push_back({Token::Kind::kEnd, {}, 0, pos, text.size()});
  return tokens;
}

}  // namespace tickcheck::lang
