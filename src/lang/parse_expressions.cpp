// The expressions of the parser (parser_rules.h), lowest precedence first.
#include <initializer_list>

#include "lang/parser_rules.h"

namespace tickcheck::lang {
namespace {

bool IsAnyOf(const Token& token, std::initializer_list<const char*> puncts) {
  for (const char* punct : puncts) {
    if (token.Is(punct))
      return true;
  }
  return false;
}

}  // namespace

SyntaxExpr Parser::Binary(const Token& op, const std::string& text, SyntaxExpr left,
                          SyntaxExpr right) {
  return {SyntaxExpr::Kind::kBinary, text, 0, {std::move(left), std::move(right)}, op.pos, {}, {}};
}

SyntaxExpr Parser::Expression() {
  return Assignment();
}

SyntaxExpr Parser::Formula() {
  return Imply();
}

SyntaxExpr Parser::Assignment() {
  // Every nesting passes through here or Unary; a bound keeps the recursion off the end of the
  // stack.
  const Nesting nesting(*this);
  SyntaxExpr target = Imply();
  if (!IsAnyOf(Peek(), {"=", ":=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}))
    return target;
  const Token& op = Take();
  const std::string text = op.text == ":=" ? "=" : op.text;
  const SourcePos at = target.pos;
  return {SyntaxExpr::Kind::kAssign, text, 0, {std::move(target), Assignment()}, at, {}, {}};
}

SyntaxExpr Parser::Imply() {
  SyntaxExpr left = Conditional();
  if (Peek().IsName("imply")) {
    const Token& op = Take();
    return Binary(op, "imply", std::move(left), Imply());
  }
  return left;
}

SyntaxExpr Parser::Conditional() {
  SyntaxExpr condition = Or();
  if (!Peek().Is("?"))
    return condition;
  const SourcePos at = Take().pos;
  SyntaxExpr then = Conditional();
  Expect(":");
  SyntaxExpr otherwise = Conditional();
  return {SyntaxExpr::Kind::kConditional,
          "?",
          0,
          {std::move(condition), std::move(then), std::move(otherwise)},
          at,
          {},
          {}};
}

SyntaxExpr Parser::Or() {
  SyntaxExpr left = And();
  while (Peek().Is("||") || Peek().IsName("or")) {
    const Token& op = Take();
    left = Binary(op, "||", std::move(left), And());
  }
  return left;
}

SyntaxExpr Parser::And() {
  SyntaxExpr left = BitOr();
  while (Peek().Is("&&") || Peek().IsName("and")) {
    const Token& op = Take();
    left = Binary(op, "&&", std::move(left), BitOr());
  }
  return left;
}

SyntaxExpr Parser::BitOr() {
  SyntaxExpr left = BitXor();
  while (Peek().Is("|")) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), BitXor());
  }
  return left;
}

SyntaxExpr Parser::BitXor() {
  SyntaxExpr left = BitAnd();
  while (Peek().Is("^")) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), BitAnd());
  }
  return left;
}

SyntaxExpr Parser::BitAnd() {
  SyntaxExpr left = Equality();
  while (Peek().Is("&")) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), Equality());
  }
  return left;
}

SyntaxExpr Parser::Equality() {
  SyntaxExpr left = Relation();
  while (IsAnyOf(Peek(), {"==", "!="})) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), Relation());
  }
  return left;
}

SyntaxExpr Parser::Relation() {
  SyntaxExpr left = Shift();
  while (IsAnyOf(Peek(), {"<", "<=", ">", ">="})) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), Shift());
  }
  return left;
}

SyntaxExpr Parser::Shift() {
  SyntaxExpr left = Additive();
  while (IsAnyOf(Peek(), {"<<", ">>"})) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), Additive());
  }
  return left;
}

SyntaxExpr Parser::Additive() {
  SyntaxExpr left = Multiplicative();
  while (IsAnyOf(Peek(), {"+", "-"})) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), Multiplicative());
  }
  return left;
}

SyntaxExpr Parser::Multiplicative() {
  SyntaxExpr left = Unary();
  while (IsAnyOf(Peek(), {"*", "/", "%"})) {
    const Token& op = Take();
    left = Binary(op, op.text, std::move(left), Unary());
  }
  return left;
}

SyntaxExpr Parser::Unary() {
  const Nesting nesting(*this);
  const Token& op = Peek();
  if (Accept("-") || Accept("!") || AcceptName("not") || Accept("~")) {
    const std::string text = op.text == "not" ? "!" : op.text;
    return {SyntaxExpr::Kind::kUnary, text, 0, {Unary()}, op.pos, {}, {}};
  }
  if (Accept("++") || Accept("--"))
    return {SyntaxExpr::Kind::kIncrement, op.text, 1, {Unary()}, op.pos, {}, {}};
  if (Accept("+"))
    return Unary();
  if (Peek().IsName("forall") || Peek().IsName("exists") || Peek().IsName("sum"))
    return Quantifier();
  return Postfix();
}

SyntaxExpr Parser::Quantifier() {
  SyntaxExpr quantifier{SyntaxExpr::Kind::kQuantifier, Peek().text, 0, {}, Peek().pos, {}, {}};
  Take();
  Expect("(");
  quantifier.binder = Name("a name");
  Expect(":");
  quantifier.binderType.push_back(Type());
  Expect(")");
  quantifier.operands.push_back(Imply());
  return quantifier;
}

SyntaxExpr Parser::Postfix() {
  SyntaxExpr expr = Primary();
  while (true) {
    if (Accept("[")) {
      SyntaxExpr index = Expression();
      Expect("]");
      const SourcePos start = expr.pos;
      expr = {
          SyntaxExpr::Kind::kIndex, "[]", 0, {std::move(expr), std::move(index)}, start, {}, {}};
    } else if (Accept(".")) {
      const Token& member = Peek();
      if (member.kind != Token::Kind::kName)
        Unexpected("a name after '.'");
      Take();
      expr = {SyntaxExpr::Kind::kMember, member.text, 0, {std::move(expr)}, member.pos, {}, {}};
      if (Accept("(")) {
        expr.number = 1;
        if (!Peek().Is(")")) {
          do {
            expr.operands.push_back(Expression());
          } while (Accept(","));
        }
        Expect(")");
      }
    } else if (Peek().Is("++") || Peek().Is("--")) {
      const Token& op = Take();
      const SourcePos start = expr.pos;
      expr = {SyntaxExpr::Kind::kIncrement, op.text, 0, {std::move(expr)}, start, {}, {}};
    } else {
      return expr;
    }
  }
}

SyntaxExpr Parser::Primary() {
  const Token& token = Peek();
  if (token.kind == Token::Kind::kNumber) {
    Take();
    return {SyntaxExpr::Kind::kNumber, token.text, token.value, {}, token.pos, {}, {}};
  }
  if (AcceptName("true"))
    return {SyntaxExpr::Kind::kBool, "true", 1, {}, token.pos, {}, {}};
  if (AcceptName("false"))
    return {SyntaxExpr::Kind::kBool, "false", 0, {}, token.pos, {}, {}};
  if (AcceptName("deadlock"))
    return {SyntaxExpr::Kind::kDeadlock, "deadlock", 0, {}, token.pos, {}, {}};
  if (Accept("(")) {
    SyntaxExpr inner = Expression();
    Expect(")");
    return inner;
  }
  if (token.kind == Token::Kind::kName && !IsReservedWord(token.text)) {
    RefuseUnsupported(token);
    Take();
    if (Accept("(")) {
      SyntaxExpr call{SyntaxExpr::Kind::kCall, token.text, 0, {}, token.pos, {}, {}};
      if (!Peek().Is(")")) {
        do {
          call.operands.push_back(Expression());
        } while (Accept(","));
      }
      Expect(")");
      return call;
    }
    return {SyntaxExpr::Kind::kName, token.text, 0, {}, token.pos, {}, {}};
  }
  if (token.kind == Token::Kind::kName && IsReservedWord(token.text))
    Fail(token.pos, "'" + token.text + "' is a reserved word");
  Unexpected("an expression");
}

}  // namespace tickcheck::lang
