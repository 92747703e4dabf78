#pragma once
// The rules of the parser (parser.h), shared by the files that implement them: the model's
// structure (parser.cpp), types, declarations, functions and statements (parse_declarations.cpp)
// and expressions (parse_expressions.cpp). Internal to the language library.
//
// The parser gives up at the first error: a rule throws SyntaxError, which the entry points of
// parser.h catch and report, so that no rule needs error plumbing. The exception never leaves
// the parser's files.

#include <string>
#include <vector>

#include "lang/lexer.h"
#include "lang/syntax.h"

namespace tickcheck::lang {

struct SyntaxError {
  SourcePos pos;
  std::string message;
};

// True for the words of the language, which no declaration may use as a name.
bool IsReservedWord(const std::string& word);

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  // Each rule reads its construct from the current token on, or throws SyntaxError.
  SyntaxModel Model();
  // The items of a model up to the end of the tokens (declarations, templates, instances, the
  // system line); the system line is optional.
  SyntaxModel Items();
  SyntaxDeclaration Declaration();
  SyntaxTemplate Template();
  std::vector<SyntaxVariable> Parameters(const char* closing);
  std::vector<SyntaxSelect> Selects();
  SyntaxSync Sync();
  std::vector<SyntaxExpr> Updates();
  SyntaxExpr Expression();
  SyntaxExpr Formula();  // an expression without assignments

  bool AtEnd() const { return Peek().AtEnd(); }
  // Fails unless every token was read.
  void ExpectEnd(const std::string& what);

 private:
  // Tokens.
  const Token& Peek() const { return tokens_[index_]; }
  const Token& Next(size_t ahead = 1) const;
  const Token& Previous() const { return tokens_[index_ > 0 ? index_ - 1 : 0]; }
  const Token& Take();
  bool Accept(const char* punct);
  bool AcceptName(const char* word);
  [[noreturn]] void Fail(SourcePos pos, std::string message) const;
  [[noreturn]] void Unexpected(const std::string& expected) const;
  void RefuseUnsupported(const Token& token) const;
  void Expect(const char* punct);
  void ExpectName(const char* word);
  SyntaxName Name(const char* what);

  // The model's structure (parser.cpp).
  // An edge; one that starts with `->` has the source `previousSource` (when given).
  SyntaxEdge Edge(const SyntaxName* previousSource);
  SyntaxInstance Instance();
  SyntaxSystem System();
  void LocationNames(std::vector<SyntaxName>& into);

  // Types, declarations, functions, statements (parse_declarations.cpp).
  bool StartsType() const;
  SyntaxType Type();
  SyntaxType StructType();
  SyntaxDeclarator Declarator(bool withInit);
  SyntaxArraySize ArraySize();
  SyntaxInit Initialiser();
  SyntaxFunction Function(SyntaxType result, SyntaxName name);
  SyntaxVariable Parameter();
  SyntaxStatement Statement();
  SyntaxStatement Block();
  SyntaxStatement For(SourcePos pos);

  // Expressions, lowest precedence first (parse_expressions.cpp).
  SyntaxExpr Assignment();
  SyntaxExpr Imply();
  SyntaxExpr Conditional();
  SyntaxExpr Or();
  SyntaxExpr And();
  SyntaxExpr BitOr();
  SyntaxExpr BitXor();
  SyntaxExpr BitAnd();
  SyntaxExpr Equality();
  SyntaxExpr Relation();
  SyntaxExpr Shift();
  SyntaxExpr Additive();
  SyntaxExpr Multiplicative();
  SyntaxExpr Unary();
  SyntaxExpr Postfix();
  SyntaxExpr Primary();
  SyntaxExpr Quantifier();
  SyntaxExpr Binary(const Token& op, const std::string& text, SyntaxExpr left, SyntaxExpr right);

  // Counts the expressions and statements being parsed inside one another.
  class Nesting {
   public:
    explicit Nesting(Parser& parser);
    ~Nesting() { --parser_.depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser& parser_;
  };
  static constexpr int kMaxNesting = 200;

  const std::vector<Token>& tokens_;
  size_t index_ = 0;
  int depth_ = 0;
};

}  // namespace tickcheck::lang
