#include "lang/parser.h"

#include <map>
#include <set>
#include <string>

namespace tickcheck::lang {
namespace {

// The parser gives up at the first error; unwinding to the entry points keeps every rule free of
// error plumbing. The exception never leaves this file.
struct SyntaxError {
  SourcePos pos;
  std::string message;
};

const std::set<std::string>& ReservedWords() {
  static const std::set<std::string> words = {
      "int",     "bool",  "clock", "chan",  "broadcast", "const", "typedef",
      "process", "state", "init",  "trans", "guard",     "sync",  "assign",
      "system",  "true",  "false", "not",   "and",       "or",    "imply"};
  return words;
}

// Words of constructs that the language does not offer, with the message that names them.
const std::map<std::string, std::string>& UnsupportedWords() {
  static const std::map<std::string, std::string> words = {
      {"committed", "committed locations are not supported"},
      {"commit", "committed locations are not supported"},
      {"urgent", "urgent locations and channels are not supported"},
      {"select", "select is not supported"},
      {"struct", "structs are not supported"},
      {"priority", "priorities are not supported"},
      {"void", "functions are not supported"},
      {"return", "functions are not supported"},
      {"double", "double is not supported"},
      {"scalar", "scalar sets are not supported"},
      {"meta", "meta variables are not supported"},
      {"hybrid", "hybrid clocks are not supported"},
      {"string", "strings are not supported"},
      {"forall", "forall is not supported"},
      {"exists", "exists is not supported"},
      {"sum", "sum is not supported"},
      {"for", "statements are not supported"},
      {"while", "statements are not supported"},
      {"if", "statements are not supported"},
  };
  return words;
}

// Operators of the C family that the language does not offer.
constexpr const char* kUnsupportedOperators[] = {"&", "|", "^", "~", "<<", ">>", "<?", ">?", "'"};

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  SyntaxModel Model() {
    SyntaxModel model;
    while (!Peek().AtEnd()) {
      if (Peek().IsName("system")) {
        if (model.system)
          Fail(Peek().pos, "a second system declaration");
        model.system = System();
      } else if (Peek().IsName("process")) {
        model.items.push_back(Template());
      } else if (Peek().kind == Token::Kind::kName && Next().Is("=")) {
        model.items.push_back(Instance());
      } else {
        model.items.push_back(Declaration());
      }
    }
    model.end = Peek().pos;
    return model;
  }

  SyntaxExpr Formula() {
    SyntaxExpr formula = Expression();
    if (!Peek().AtEnd())
      Unexpected("the end of the query");
    return formula;
  }

 private:
  // Token helpers.
  const Token& Peek() const { return tokens_[index_]; }
  const Token& Next() const { return tokens_[index_ + 1 < tokens_.size() ? index_ + 1 : index_]; }
  const Token& Take() {
    const Token& token = tokens_[index_];
    if (index_ + 1 < tokens_.size())
      ++index_;
    return token;
  }
  bool Accept(const char* punct) {
    if (!Peek().Is(punct))
      return false;
    Take();
    return true;
  }
  bool AcceptName(const char* word) {
    if (!Peek().IsName(word))
      return false;
    Take();
    return true;
  }
  [[noreturn]] void Fail(SourcePos pos, std::string message) const {
    throw SyntaxError{pos, std::move(message)};
  }
  [[noreturn]] void Unexpected(const std::string& expected) const {
    const Token& token = Peek();
    RefuseUnsupported(token);
    const std::string found =
        token.kind == Token::Kind::kEnd ? "the end of the text" : "'" + token.text + "'";
    Fail(token.pos, "expected " + expected + ", found " + found);
  }
  void RefuseUnsupported(const Token& token) const {
    for (const char* op : kUnsupportedOperators) {
      if (token.Is(op))
        Fail(token.pos, std::string("the operator '") + op + "' is not supported");
    }
    if (token.kind != Token::Kind::kName)
      return;
    const auto word = UnsupportedWords().find(token.text);
    if (word != UnsupportedWords().end())
      Fail(token.pos, word->second);
  }
  void Expect(const char* punct) {
    if (!Accept(punct))
      Unexpected(std::string("'") + punct + "'");
  }
  void ExpectName(const char* word) {
    if (!AcceptName(word))
      Unexpected(std::string("'") + word + "'");
  }
  SyntaxName Name(const char* what) {
    const Token& token = Peek();
    if (token.kind != Token::Kind::kName)
      Unexpected(what);
    RefuseUnsupported(token);
    if (ReservedWords().count(token.text) != 0)
      Fail(token.pos, "'" + token.text + "' is a reserved word, not " + what);
    Take();
    return {token.text, token.pos};
  }

  // Declarations.
  bool StartsType() const {
    const Token& token = Peek();
    return token.IsName("int") || token.IsName("bool") ||
           (token.kind == Token::Kind::kName && Next().kind == Token::Kind::kName &&
            ReservedWords().count(token.text) == 0);
  }

  SyntaxType Type() {
    SyntaxType type;
    type.pos = Peek().pos;
    if (AcceptName("bool")) {
      type.kind = SyntaxType::Kind::kBool;
    } else if (AcceptName("int")) {
      type.kind = SyntaxType::Kind::kInt;
      if (Accept("[")) {
        type.kind = SyntaxType::Kind::kRange;
        type.lower = Expression();
        Expect(",");
        type.upper = Expression();
        Expect("]");
      }
    } else {
      type.kind = SyntaxType::Kind::kNamed;
      type.name = Name("a type").text;
    }
    return type;
  }

  SyntaxDeclarator Declarator(bool withInit) {
    SyntaxDeclarator declarator;
    declarator.name = Name("a name");
    if (Accept("[")) {
      declarator.size = Expression();
      Expect("]");
      if (Peek().Is("["))
        Fail(Peek().pos, "arrays of more than one dimension are not supported");
    }
    if (Peek().Is("(")) {
      Fail(Peek().pos, "functions are not supported");
    }
    if (withInit && Accept("=")) {
      if (Accept("{")) {
        declarator.initIsList = true;
        do {
          declarator.init.push_back(Expression());
        } while (Accept(","));
        Expect("}");
      } else {
        declarator.init.push_back(Expression());
      }
    }
    return declarator;
  }

  SyntaxDeclaration Declaration() {
    SyntaxDeclaration declaration;
    declaration.pos = Peek().pos;
    RefuseUnsupported(Peek());
    if (AcceptName("const")) {
      declaration.kind = SyntaxDeclaration::Kind::kConst;
      if (!StartsType())
        Unexpected("a type after 'const'");
      declaration.type = Type();
      do {
        SyntaxDeclarator declarator = Declarator(true);
        if (declarator.size)
          Fail(declarator.name.pos, "constant arrays are not supported");
        if (declarator.init.empty())
          Fail(Peek().pos, "the constant " + declarator.name.text + " needs a value");
        declaration.names.push_back(std::move(declarator));
      } while (Accept(","));
    } else if (AcceptName("typedef")) {
      declaration.kind = SyntaxDeclaration::Kind::kTypedef;
      if (!StartsType())
        Unexpected("a type after 'typedef'");
      declaration.type = Type();
      declaration.names.push_back({Name("a type name"), {}, {}, false});
    } else if (AcceptName("clock")) {
      declaration.kind = SyntaxDeclaration::Kind::kClock;
      do {
        declaration.names.push_back(Declarator(false));
      } while (Accept(","));
    } else if (Peek().IsName("broadcast") || Peek().IsName("chan")) {
      declaration.kind = SyntaxDeclaration::Kind::kChannel;
      declaration.broadcast = AcceptName("broadcast");
      RefuseUnsupported(Peek());
      ExpectName("chan");
      RefuseUnsupported(Peek());
      do {
        declaration.names.push_back(Declarator(false));
      } while (Accept(","));
    } else if (StartsType()) {
      declaration.kind = SyntaxDeclaration::Kind::kVariable;
      declaration.type = Type();
      do {
        declaration.names.push_back(Declarator(true));
      } while (Accept(","));
    } else {
      Unexpected("a declaration");
    }
    Expect(";");
    return declaration;
  }

  // Templates.
  SyntaxTemplate Template() {
    ExpectName("process");
    SyntaxTemplate result;
    result.name = Name("a template name");
    Expect("(");
    if (!Peek().Is(")")) {
      do {
        SyntaxParameter parameter;
        const SourcePos at = Peek().pos;
        const bool constant = AcceptName("const");
        if (!StartsType())
          Unexpected("a parameter type");
        parameter.type = Type();
        if (Peek().Is("&"))
          Fail(Peek().pos, "reference parameters are not supported");
        if (!constant)
          Fail(at, "a template parameter must be declared const (constants only)");
        parameter.name = Name("a parameter name");
        result.parameters.push_back(std::move(parameter));
      } while (Accept(","));
    }
    Expect(")");
    Expect("{");
    bool states = false;
    while (!Accept("}")) {
      RefuseUnsupported(Peek());
      if (AcceptName("state")) {
        if (states)
          Fail(tokens_[index_ - 1].pos, "a second state declaration in " + result.name.text);
        states = true;
        do {
          SyntaxLocation location{Name("a location name"), {}};
          if (Accept("{")) {
            location.invariant = Expression();
            Expect("}");
          }
          result.locations.push_back(std::move(location));
        } while (Accept(","));
        Expect(";");
      } else if (AcceptName("init")) {
        if (result.init)
          Fail(tokens_[index_ - 1].pos, "a second init in " + result.name.text);
        result.init = Name("a location name");
        Expect(";");
      } else if (AcceptName("trans")) {
        do {
          result.edges.push_back(Edge());
        } while (Accept(","));
        Expect(";");
      } else if (Peek().AtEnd()) {
        Unexpected("'}'");
      } else {
        result.declarations.push_back(Declaration());
      }
    }
    result.end = tokens_[index_ - 1].pos;
    return result;
  }

  SyntaxEdge Edge() {
    SyntaxEdge edge;
    edge.from = Name("a location name");
    Expect("->");
    edge.to = Name("a location name");
    Expect("{");
    bool guard = false;
    while (!Accept("}")) {
      const Token& word = Peek();
      RefuseUnsupported(word);
      if (AcceptName("guard")) {
        if (guard)
          Fail(word.pos, "a second guard on one edge");
        guard = true;
        edge.guard = Expression();
      } else if (AcceptName("sync")) {
        if (edge.sync)
          Fail(word.pos, "a second sync on one edge");
        SyntaxSync sync{Postfix(), true, word.pos};
        if (Accept("?")) {
          sync.send = false;
        } else if (!Accept("!")) {
          Unexpected("'!' or '?'");
        }
        edge.sync = std::move(sync);
      } else if (AcceptName("assign")) {
        if (!edge.assignments.empty())
          Fail(word.pos, "a second assign on one edge");
        do {
          edge.assignments.push_back(Assignment());
        } while (Accept(","));
      } else {
        Unexpected("'guard', 'sync', 'assign' or '}'");
      }
      Expect(";");
    }
    return edge;
  }

  SyntaxAssignment Assignment() {
    const SourcePos at = Peek().pos;
    SyntaxExpr target = Postfix();
    const Token& op = Peek();
    auto binary = [&](const std::string& text, SyntaxExpr right) {
      SyntaxExpr expr{SyntaxExpr::Kind::kBinary, text, 0, {target, std::move(right)}, op.pos};
      return expr;
    };
    if (Accept("=") || Accept(":="))
      return {target, Expression(), at};
    if (Accept("++") || Accept("--")) {
      const SyntaxExpr one{SyntaxExpr::Kind::kNumber, "1", 1, {}, op.pos};
      return {target, binary(op.text.substr(0, 1), one), at};
    }
    for (const char* compound : {"+=", "-=", "*=", "/=", "%="}) {
      if (Accept(compound))
        return {target, binary(std::string(1, compound[0]), Expression()), at};
    }
    Unexpected("an assignment operator ('=', ':=', '+=', '++', ...)");
  }

  SyntaxInstance Instance() {
    SyntaxInstance instance;
    instance.name = Name("an instance name");
    Expect("=");
    instance.templateName = Name("a template name");
    Expect("(");
    if (!Peek().Is(")")) {
      do {
        instance.arguments.push_back(Expression());
      } while (Accept(","));
    }
    Expect(")");
    Expect(";");
    return instance;
  }

  SyntaxSystem System() {
    SyntaxSystem system;
    system.pos = Take().pos;
    do {
      system.entries.push_back(Name("a process name"));
      if (Peek().Is("<"))
        Fail(Peek().pos, "priorities are not supported");
    } while (Accept(","));
    Expect(";");
    return system;
  }

  // Expressions.
  SyntaxExpr MakeBinary(const Token& op, const std::string& text, SyntaxExpr left,
                        SyntaxExpr right) {
    return {SyntaxExpr::Kind::kBinary, text, 0, {std::move(left), std::move(right)}, op.pos};
  }

  SyntaxExpr Expression() {
    // Every nesting passes through here; a bound keeps the recursion off the end of the stack.
    const Nesting nesting(*this);
    SyntaxExpr left = Conditional();
    if (Peek().IsName("imply")) {
      const Token& op = Take();
      return MakeBinary(op, "imply", std::move(left), Expression());
    }
    return left;
  }

  SyntaxExpr Conditional() {
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
            at};
  }

  SyntaxExpr Or() {
    SyntaxExpr left = And();
    while (Peek().Is("||") || Peek().IsName("or")) {
      const Token& op = Take();
      left = MakeBinary(op, "||", std::move(left), And());
    }
    return left;
  }

  SyntaxExpr And() {
    SyntaxExpr left = Equality();
    while (Peek().Is("&&") || Peek().IsName("and")) {
      const Token& op = Take();
      left = MakeBinary(op, "&&", std::move(left), Equality());
    }
    return left;
  }

  SyntaxExpr Equality() {
    SyntaxExpr left = Relation();
    while (Peek().Is("==") || Peek().Is("!=")) {
      const Token& op = Take();
      left = MakeBinary(op, op.text, std::move(left), Relation());
    }
    return left;
  }

  SyntaxExpr Relation() {
    SyntaxExpr left = Additive();
    while (Peek().Is("<") || Peek().Is("<=") || Peek().Is(">") || Peek().Is(">=")) {
      const Token& op = Take();
      left = MakeBinary(op, op.text, std::move(left), Additive());
    }
    return left;
  }

  SyntaxExpr Additive() {
    SyntaxExpr left = Multiplicative();
    while (Peek().Is("+") || Peek().Is("-")) {
      const Token& op = Take();
      left = MakeBinary(op, op.text, std::move(left), Multiplicative());
    }
    return left;
  }

  SyntaxExpr Multiplicative() {
    SyntaxExpr left = Unary();
    while (Peek().Is("*") || Peek().Is("/") || Peek().Is("%")) {
      const Token& op = Take();
      left = MakeBinary(op, op.text, std::move(left), Unary());
    }
    return left;
  }

  SyntaxExpr Unary() {
    const Nesting nesting(*this);
    const Token& op = Peek();
    if (Accept("-") || Accept("!") || AcceptName("not")) {
      const std::string text = op.text == "-" ? "-" : "!";
      return {SyntaxExpr::Kind::kUnary, text, 0, {Unary()}, op.pos};
    }
    if (Accept("+"))
      return Unary();
    return Postfix();
  }

  SyntaxExpr Postfix() {
    SyntaxExpr expr = Primary();
    while (true) {
      if (Accept("[")) {
        SyntaxExpr index = Expression();
        Expect("]");
        const SourcePos start = expr.pos;
        expr = {SyntaxExpr::Kind::kIndex, "[]", 0, {std::move(expr), std::move(index)}, start};
      } else if (Accept(".")) {
        const Token& member = Peek();
        if (member.kind != Token::Kind::kName)
          Unexpected("a name after '.'");
        Take();
        expr = {SyntaxExpr::Kind::kMember, member.text, 0, {std::move(expr)}, member.pos};
      } else {
        return expr;
      }
    }
  }

  SyntaxExpr Primary() {
    const Token& token = Peek();
    if (token.kind == Token::Kind::kNumber) {
      Take();
      return {SyntaxExpr::Kind::kNumber, token.text, token.value, {}, token.pos};
    }
    if (AcceptName("true"))
      return {SyntaxExpr::Kind::kBool, "true", 1, {}, token.pos};
    if (AcceptName("false"))
      return {SyntaxExpr::Kind::kBool, "false", 0, {}, token.pos};
    if (Accept("(")) {
      SyntaxExpr inner = Expression();
      Expect(")");
      return inner;
    }
    if (token.kind == Token::Kind::kName && ReservedWords().count(token.text) == 0) {
      RefuseUnsupported(token);
      Take();
      if (Accept("(")) {
        SyntaxExpr call{SyntaxExpr::Kind::kCall, token.text, 0, {}, token.pos};
        if (!Peek().Is(")")) {
          do {
            call.operands.push_back(Expression());
          } while (Accept(","));
        }
        Expect(")");
        return call;
      }
      return {SyntaxExpr::Kind::kName, token.text, 0, {}, token.pos};
    }
    Unexpected("an expression");
  }

  // Counts the expressions being parsed inside one another.
  class Nesting {
   public:
    explicit Nesting(Parser& parser) : parser_(parser) {
      if (++parser_.depth_ > kMaxNesting)
        parser_.Fail(parser_.Peek().pos, "the expression is nested too deeply");
    }
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

}  // namespace

std::optional<SyntaxModel> ParseModel(const std::vector<Token>& tokens, Diagnostics& diagnostics) {
  try {
    return Parser(tokens).Model();
  } catch (const SyntaxError& error) {
    diagnostics.Error(error.pos, error.message);
    return std::nullopt;
  }
}

std::optional<SyntaxExpr> ParseFormula(const std::vector<Token>& tokens, Diagnostics& diagnostics) {
  try {
    return Parser(tokens).Formula();
  } catch (const SyntaxError& error) {
    diagnostics.Error(error.pos, error.message);
    return std::nullopt;
  }
}

}  // namespace tickcheck::lang
