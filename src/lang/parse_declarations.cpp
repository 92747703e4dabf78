// Types, declarations, functions and statements of the parser (parser_rules.h).
#include "lang/parser_rules.h"

namespace tickcheck::lang {

bool Parser::StartsType() const {
  const Token& token = Peek();
  for (const char* word : {"int", "bool", "clock", "chan", "const", "meta", "urgent", "broadcast",
                           "scalar", "struct", "void"}) {
    if (token.IsName(word))
      return true;
  }
  return token.kind == Token::Kind::kName && !IsReservedWord(token.text) &&
         Next().kind == Token::Kind::kName;
}

SyntaxType Parser::Type() {
  SyntaxType type;
  type.pos = Peek().pos;
  bool channelOnly = false;
  while (true) {
    if (AcceptName("const")) {
      type.isConst = true;
    } else if (AcceptName("meta")) {
      type.isMeta = true;
    } else if (AcceptName("urgent")) {
      type.urgent = channelOnly = true;
    } else if (AcceptName("broadcast")) {
      type.broadcast = channelOnly = true;
    } else {
      break;
    }
  }
  if (channelOnly && !Peek().IsName("chan"))
    Unexpected("'chan'");
  if (AcceptName("bool")) {
    type.kind = SyntaxType::Kind::kBool;
  } else if (AcceptName("int")) {
    type.kind = SyntaxType::Kind::kInt;
    if (Accept("[")) {
      type.kind = SyntaxType::Kind::kRange;
      type.lower = Formula();
      Expect(",");
      type.upper = Formula();
      Expect("]");
    }
  } else if (AcceptName("clock")) {
    type.kind = SyntaxType::Kind::kClock;
  } else if (AcceptName("chan")) {
    type.kind = SyntaxType::Kind::kChannel;
  } else if (AcceptName("void")) {
    type.kind = SyntaxType::Kind::kVoid;
  } else if (AcceptName("scalar")) {
    type.kind = SyntaxType::Kind::kScalar;
    Expect("[");
    type.upper = Formula();
    Expect("]");
  } else if (Peek().IsName("struct")) {
    SyntaxType record = StructType();
    record.isConst = type.isConst;
    record.isMeta = type.isMeta;
    record.pos = type.pos;
    return record;
  } else if (Peek().kind == Token::Kind::kName && !IsReservedWord(Peek().text)) {
    type.kind = SyntaxType::Kind::kNamed;
    type.name = Name("a type").text;
  } else {
    Unexpected("a type");
  }
  return type;
}

SyntaxType Parser::StructType() {
  const Nesting nesting(*this);
  SyntaxType type;
  type.kind = SyntaxType::Kind::kStruct;
  type.pos = Peek().pos;
  ExpectName("struct");
  Expect("{");
  while (!Accept("}")) {
    if (!StartsType())
      Unexpected("a field declaration or '}'");
    const SyntaxType fieldType = Type();
    do {
      SyntaxVariable field;
      field.type = fieldType;
      field.declarator = Declarator(false);
      type.fields.push_back(std::move(field));
    } while (Accept(","));
    Expect(";");
  }
  if (type.fields.empty())
    Fail(type.pos, "a struct needs at least one field");
  return type;
}

SyntaxArraySize Parser::ArraySize() {
  SyntaxArraySize size;
  size.pos = Peek().pos;
  if (Peek().IsName("int") || Peek().IsName("bool") || Peek().IsName("scalar")) {
    size.type.push_back(Type());
  } else {
    size.size = Formula();
  }
  Expect("]");
  return size;
}

SyntaxInit Parser::Initialiser() {
  const Nesting nesting(*this);
  SyntaxInit init;
  init.pos = Peek().pos;
  if (Accept("{")) {
    do {
      init.list.push_back(Initialiser());
    } while (Accept(","));
    Expect("}");
  } else {
    init.value = Formula();
  }
  return init;
}

SyntaxDeclarator Parser::Declarator(bool withInit) {
  SyntaxDeclarator declarator;
  declarator.name = Name("a name");
  while (Accept("["))
    declarator.sizes.push_back(ArraySize());
  if (withInit && (Accept("=") || Accept(":=")))
    declarator.init = Initialiser();
  return declarator;
}

SyntaxDeclaration Parser::Declaration() {
  SyntaxDeclaration declaration;
  declaration.pos = Peek().pos;
  RefuseUnsupported(Peek());
  if (AcceptName("typedef")) {
    declaration.kind = SyntaxDeclaration::Kind::kTypedef;
    if (!StartsType() && Peek().kind != Token::Kind::kName)
      Unexpected("a type after 'typedef'");
    declaration.type = Type();
    declaration.names.push_back(Declarator(false));
    Expect(";");
    return declaration;
  }
  if (!StartsType())
    Unexpected("a declaration");
  declaration.type = Type();
  if (Peek().kind == Token::Kind::kName && Next().Is("(")) {
    declaration.kind = SyntaxDeclaration::Kind::kFunction;
    SyntaxName name = Name("a function name");
    declaration.function.push_back(Function(declaration.type, std::move(name)));
    return declaration;
  }
  do {
    declaration.names.push_back(Declarator(true));
  } while (Accept(","));
  Expect(";");
  return declaration;
}

SyntaxVariable Parser::Parameter() {
  SyntaxVariable parameter;
  if (!StartsType() && !(Peek().kind == Token::Kind::kName && Next().Is("&")))
    Unexpected("a parameter type");
  parameter.type = Type();
  parameter.reference = Accept("&");
  parameter.declarator.name = Name("a parameter name");
  while (Accept("["))
    parameter.declarator.sizes.push_back(ArraySize());
  return parameter;
}

SyntaxFunction Parser::Function(SyntaxType result, SyntaxName name) {
  SyntaxFunction function;
  function.result = std::move(result);
  function.name = std::move(name);
  Expect("(");
  function.parameters = Parameters(")");
  Expect(")");
  if (!Peek().Is("{"))
    Unexpected("'{'");
  function.body = Block();
  function.end = Previous().pos;
  return function;
}

SyntaxStatement Parser::Block() {
  SyntaxStatement block;
  block.kind = SyntaxStatement::Kind::kBlock;
  block.pos = Peek().pos;
  Expect("{");
  while (!Accept("}")) {
    if (Peek().AtEnd())
      Unexpected("'}'");
    block.body.push_back(Statement());
  }
  return block;
}

SyntaxStatement Parser::For(SourcePos pos) {
  SyntaxStatement loop;
  loop.pos = pos;
  Expect("(");
  if (Peek().kind == Token::Kind::kName && Next().Is(":")) {
    loop.kind = SyntaxStatement::Kind::kForRange;
    loop.binder = Name("a name");
    Expect(":");
    loop.binderType.push_back(Type());
    Expect(")");
    loop.body.push_back(Statement());
    return loop;
  }
  loop.kind = SyntaxStatement::Kind::kFor;
  if (!Accept(";")) {
    SyntaxStatement init;
    init.pos = Peek().pos;
    if (StartsType()) {
      init.kind = SyntaxStatement::Kind::kDeclaration;
      init.declaration.push_back(Declaration());
    } else {
      init.kind = SyntaxStatement::Kind::kExpression;
      init.expression.push_back(Expression());
      Expect(";");
    }
    loop.init.push_back(std::move(init));
  }
  if (!Peek().Is(";"))
    loop.condition = Expression();
  Expect(";");
  if (!Peek().Is(")"))
    loop.step = Expression();
  Expect(")");
  loop.body.push_back(Statement());
  return loop;
}

SyntaxStatement Parser::Statement() {
  const Nesting nesting(*this);
  SyntaxStatement statement;
  statement.pos = Peek().pos;
  RefuseUnsupported(Peek());
  if (Accept(";"))
    return statement;
  if (Peek().Is("{"))
    return Block();
  if (AcceptName("if")) {
    statement.kind = SyntaxStatement::Kind::kIf;
    Expect("(");
    statement.expression.push_back(Expression());
    Expect(")");
    statement.body.push_back(Statement());
    if (AcceptName("else"))
      statement.body.push_back(Statement());
    return statement;
  }
  if (AcceptName("while")) {
    statement.kind = SyntaxStatement::Kind::kWhile;
    Expect("(");
    statement.expression.push_back(Expression());
    Expect(")");
    statement.body.push_back(Statement());
    return statement;
  }
  if (AcceptName("do")) {
    statement.kind = SyntaxStatement::Kind::kDoWhile;
    statement.body.push_back(Statement());
    ExpectName("while");
    Expect("(");
    statement.expression.push_back(Expression());
    Expect(")");
    Expect(";");
    return statement;
  }
  if (AcceptName("for"))
    return For(statement.pos);
  if (AcceptName("break") || AcceptName("continue")) {
    statement.kind = Previous().text == "break" ? SyntaxStatement::Kind::kBreak
                                                : SyntaxStatement::Kind::kContinue;
    Expect(";");
    return statement;
  }
  if (AcceptName("return")) {
    statement.kind = SyntaxStatement::Kind::kReturn;
    if (!Peek().Is(";"))
      statement.expression.push_back(Expression());
    Expect(";");
    return statement;
  }
  if (StartsType() || Peek().IsName("typedef")) {
    statement.kind = SyntaxStatement::Kind::kDeclaration;
    statement.declaration.push_back(Declaration());
    if (statement.declaration[0].kind == SyntaxDeclaration::Kind::kFunction)
      Fail(statement.pos, "a function cannot be declared inside a function");
    return statement;
  }
  statement.kind = SyntaxStatement::Kind::kExpression;
  statement.expression.push_back(Expression());
  Expect(";");
  return statement;
}

}  // namespace tickcheck::lang
