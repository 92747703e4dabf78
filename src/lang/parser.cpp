#include "lang/parser.h"

#include <functional>
#include <map>
#include <set>

#include "lang/parser_rules.h"

namespace tickcheck::lang {
namespace {

const std::set<std::string>& ReservedWords() {
  static const std::set<std::string> words = {
      "int",     "bool",   "clock",  "chan",  "broadcast", "urgent", "const",    "meta",
      "typedef", "struct", "scalar", "void",  "process",   "state",  "commit",   "init",
      "trans",   "select", "guard",  "sync",  "assign",    "system", "true",     "false",
      "not",     "and",    "or",     "imply", "forall",    "exists", "sum",      "deadlock",
      "if",      "else",   "while",  "do",    "for",       "break",  "continue", "return"};
  return words;
}

// Words of constructs that the language does not offer, with the message that names them.
const std::map<std::string, std::string>& UnsupportedWords() {
  static const std::map<std::string, std::string> words = {
      {"priority", "priorities are not supported"},
      {"double", "double is not supported"},
      {"hybrid", "hybrid clocks are not supported"},
      {"string", "strings are not supported"},
      {"spawn", "dynamic templates (spawn) are not supported"},
      {"dynamic", "dynamic templates are not supported"},
  };
  return words;
}

// Operators of the C family that the language does not offer.
constexpr const char* kUnsupportedOperators[] = {"<?", ">?", "'"};

// Runs one rule over all of `tokens`; nullopt after the error it reported.
template <typename Result>
std::optional<Result> Run(const std::vector<Token>& tokens, Diagnostics& diagnostics,
                          const std::function<Result(Parser&)>& rule) {
  try {
    Parser parser(tokens);
    Result result = rule(parser);
    return result;
  } catch (const SyntaxError& error) {
    diagnostics.Error(error.pos, error.message);
    return std::nullopt;
  }
}

// The query's text as written from `begin` to `end`: comments left out, and every run of blanks
// that held a line break or a comment made one blank.
std::string QueryText(const std::string& text, size_t begin, size_t end) {
  std::string out;
  bool pendingBreak = false;
  for (size_t i = begin; i < end; ++i) {
    const std::string_view rest(text.data() + i, end - i);
    if (rest.starts_with("//")) {
      while (i + 1 < end && text[i + 1] != '\n')
        ++i;
      pendingBreak = true;
    } else if (rest.starts_with("/*")) {
      i += rest.find("*/", 2) + 1;
      pendingBreak = true;
    } else if (text[i] == '\n') {
      pendingBreak = true;
    } else if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
      if (!pendingBreak)
        out += text[i];
    } else {
      if (pendingBreak) {
        while (!out.empty() && (out.back() == ' ' || out.back() == '\t' || out.back() == '\r'))
          out.pop_back();
        out += ' ';
        pendingBreak = false;
      }
      out += text[i];
    }
  }
  return out;
}

bool Adjacent(const Token& first, const Token& second) {
  return second.offset == first.offset + first.text.size();
}

// Whether tokens k and k + 1 are the arrow `-->` of a leads-to.
bool IsArrow(const std::vector<Token>& tokens, size_t k) {
  return k + 1 < tokens.size() && tokens[k].Is("--") && tokens[k + 1].Is(">") &&
         Adjacent(tokens[k], tokens[k + 1]);
}

// Whether a formula may end with `token`, and begin with it.
bool EndsFormula(const Token& token) {
  return token.kind == Token::Kind::kName || token.kind == Token::Kind::kNumber || token.Is(")") ||
         token.Is("]");
}
bool BeginsFormula(const Token& token) {
  return token.kind == Token::Kind::kName || token.kind == Token::Kind::kNumber || token.Is("(") ||
         token.Is("!") || token.Is("-");
}

// The kind of query that starts at token k (`E<>`, `A[]`, `A<>`, `E[]`), or "".
std::string QueryStart(const std::vector<Token>& tokens, size_t k) {
  if (k + 2 >= tokens.size() || tokens[k].kind != Token::Kind::kName ||
      (tokens[k].text != "E" && tokens[k].text != "A") || !Adjacent(tokens[k], tokens[k + 1]) ||
      !Adjacent(tokens[k + 1], tokens[k + 2])) {
    return "";
  }
  if (tokens[k + 1].Is("<") && tokens[k + 2].Is(">"))
    return tokens[k].text + "<>";
  if (tokens[k + 1].Is("[") && tokens[k + 2].Is("]"))
    return tokens[k].text + "[]";
  return "";
}

}  // namespace

bool IsReservedWord(const std::string& word) {
  return ReservedWords().count(word) != 0;
}

Parser::Nesting::Nesting(Parser& parser) : parser_(parser) {
  if (++parser_.depth_ > kMaxNesting)
    parser_.Fail(parser_.Peek().pos, "the expression is nested too deeply");
}

const Token& Parser::Next(size_t ahead) const {
  return tokens_[std::min(index_ + ahead, tokens_.size() - 1)];
}

const Token& Parser::Take() {
  const Token& token = tokens_[index_];
  if (index_ + 1 < tokens_.size())
    ++index_;
  return token;
}

bool Parser::Accept(const char* punct) {
  if (!Peek().Is(punct))
    return false;
  Take();
  return true;
}

bool Parser::AcceptName(const char* word) {
  if (!Peek().IsName(word))
    return false;
  Take();
  return true;
}

void Parser::Fail(SourcePos pos, std::string message) const {
  throw SyntaxError{pos, std::move(message)};
}

void Parser::Unexpected(const std::string& expected) const {
  const Token& token = Peek();
  RefuseUnsupported(token);
  const std::string found =
      token.kind == Token::Kind::kEnd ? "the end of the text" : "'" + token.text + "'";
  Fail(token.pos, "expected " + expected + ", found " + found);
}

void Parser::RefuseUnsupported(const Token& token) const {
  if (token.Is("'"))
    Fail(token.pos, "rates and stopwatches (x') are not supported");
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

void Parser::Expect(const char* punct) {
  if (!Accept(punct))
    Unexpected(std::string("'") + punct + "'");
}

void Parser::ExpectName(const char* word) {
  if (!AcceptName(word))
    Unexpected(std::string("'") + word + "'");
}

SyntaxName Parser::Name(const char* what) {
  const Token& token = Peek();
  if (token.kind != Token::Kind::kName)
    Unexpected(what);
  RefuseUnsupported(token);
  if (IsReservedWord(token.text))
    Fail(token.pos, "'" + token.text + "' is a reserved word");
  Take();
  return {token.text, token.pos};
}

void Parser::ExpectEnd(const std::string& what) {
  if (!Peek().AtEnd())
    Unexpected(what);
}

SyntaxModel Parser::Model() {
  SyntaxModel model = Items();
  model.end = Peek().pos;
  return model;
}

SyntaxModel Parser::Items() {
  SyntaxModel model;
  while (!Peek().AtEnd()) {
    if (Peek().IsName("system")) {
      if (model.system)
        Fail(Peek().pos, "a second system declaration");
      model.system = System();
    } else if (Peek().IsName("process")) {
      model.items.push_back(Template());
    } else if ((Peek().IsName("progress") || Peek().IsName("gantt")) && Next().Is("{")) {
      Fail(Peek().pos, Peek().text + " sections are not supported");
    } else if (Peek().kind == Token::Kind::kName &&
               (Next().Is("=") || Next().Is(":=") || Next().Is("("))) {
      // `G(const id_t i) = Gate(i, 3);` is a partial instance: no declaration starts with a
      // name and a parenthesis.
      model.items.push_back(Instance());
    } else {
      model.items.push_back(Declaration());
    }
  }
  model.end = Peek().pos;
  return model;
}

std::vector<SyntaxVariable> Parser::Parameters(const char* closing) {
  std::vector<SyntaxVariable> parameters;
  if (Peek().Is(closing) || Peek().AtEnd())
    return parameters;
  do {
    parameters.push_back(Parameter());
  } while (Accept(","));
  return parameters;
}

void Parser::LocationNames(std::vector<SyntaxName>& into) {
  do {
    into.push_back(Name("a location name"));
  } while (Accept(","));
  Expect(";");
}

SyntaxTemplate Parser::Template() {
  ExpectName("process");
  SyntaxTemplate result;
  result.name = Name("a template name");
  // XTA writes a template without parameters as `process P { ... }`.
  if (Accept("(")) {
    result.parameters = Parameters(")");
    Expect(")");
  }
  Expect("{");
  bool states = false;
  while (!Accept("}")) {
    RefuseUnsupported(Peek());
    if (AcceptName("state")) {
      if (states)
        Fail(Previous().pos, "a second state declaration in " + result.name.text);
      states = true;
      do {
        SyntaxLocation location{Name("a location name"), {}};
        if (Accept("{")) {
          location.invariant = Formula();
          Expect("}");
        }
        result.locations.push_back(std::move(location));
      } while (Accept(","));
      Expect(";");
    } else if (AcceptName("commit")) {
      LocationNames(result.committed);
    } else if (Peek().IsName("urgent") && !Next().IsName("chan") && !Next().IsName("broadcast")) {
      Take();
      LocationNames(result.urgent);
    } else if (AcceptName("init")) {
      if (result.init)
        Fail(Previous().pos, "a second init in " + result.name.text);
      result.init = Name("a location name");
      Expect(";");
    } else if (AcceptName("trans")) {
      do {
        // An edge that starts with `->` leaves the source of the edge before it.
        result.edges.push_back(Edge(result.edges.empty() ? nullptr : &result.edges.back().from));
      } while (Accept(","));
      Expect(";");
    } else if (Peek().AtEnd()) {
      Unexpected("'}'");
    } else {
      result.declarations.push_back(Declaration());
    }
  }
  result.end = Previous().pos;
  return result;
}

std::vector<SyntaxSelect> Parser::Selects() {
  std::vector<SyntaxSelect> selects;
  do {
    SyntaxSelect select;
    select.name = Name("a name");
    Expect(":");
    if (!StartsType() && Peek().kind != Token::Kind::kName)
      Unexpected("a type");
    select.type = Type();
    selects.push_back(std::move(select));
  } while (Accept(","));
  return selects;
}

SyntaxSync Parser::Sync() {
  SyntaxSync sync{Postfix(), true, Peek().pos};
  sync.pos = sync.channel.pos;
  if (Accept("?")) {
    sync.send = false;
  } else if (!Accept("!")) {
    Unexpected("'!' or '?'");
  }
  return sync;
}

std::vector<SyntaxExpr> Parser::Updates() {
  std::vector<SyntaxExpr> updates;
  do {
    updates.push_back(Expression());
  } while (Accept(","));
  return updates;
}

SyntaxEdge Parser::Edge(const SyntaxName* previousSource) {
  SyntaxEdge edge;
  if (previousSource != nullptr && Peek().Is("->"))
    edge.from = {previousSource->text, Peek().pos};
  else
    edge.from = Name("a location name");
  Expect("->");
  edge.to = Name("a location name");
  Expect("{");
  bool guard = false;
  while (!Accept("}")) {
    const Token& word = Peek();
    RefuseUnsupported(word);
    if (AcceptName("select")) {
      if (!edge.selects.empty())
        Fail(word.pos, "a second select on one edge");
      edge.selects = Selects();
    } else if (AcceptName("guard")) {
      if (guard)
        Fail(word.pos, "a second guard on one edge");
      guard = true;
      edge.guard = Expression();
    } else if (AcceptName("sync")) {
      if (edge.sync)
        Fail(word.pos, "a second sync on one edge");
      edge.sync = Sync();
      edge.sync->pos = word.pos;
    } else if (AcceptName("assign")) {
      if (!edge.updates.empty())
        Fail(word.pos, "a second assign on one edge");
      edge.updates = Updates();
    } else {
      Unexpected("'select', 'guard', 'sync', 'assign' or '}'");
    }
    Expect(";");
  }
  return edge;
}

SyntaxInstance Parser::Instance() {
  SyntaxInstance instance;
  instance.name = Name("an instance name");
  if (Accept("(")) {
    instance.partial = true;
    instance.parameters = Parameters(")");
    Expect(")");
  }
  if (!Accept(":="))
    Expect("=");
  instance.templateName = Name("a template name");
  Expect("(");
  if (!Peek().Is(")")) {
    do {
      instance.arguments.push_back(Formula());
    } while (Accept(","));
  }
  Expect(")");
  Expect(";");
  return instance;
}

SyntaxSystem Parser::System() {
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

std::optional<SyntaxModel> ParseModel(const std::vector<Token>& tokens, Diagnostics& diagnostics) {
  return Run<SyntaxModel>(tokens, diagnostics, [](Parser& parser) { return parser.Model(); });
}

std::optional<SyntaxExpr> ParseFormula(const std::vector<Token>& tokens, Diagnostics& diagnostics) {
  return Run<SyntaxExpr>(tokens, diagnostics, [](Parser& parser) {
    SyntaxExpr formula = parser.Formula();
    parser.ExpectEnd("the end of the query");
    return formula;
  });
}

std::optional<std::vector<SyntaxQuery>> ParseQueries(const std::vector<Token>& tokens,
                                                     const std::string& text,
                                                     Diagnostics& diagnostics) {
  // Each query's tokens run from its start to the next start; tokens before the first start
  // form a query without a kind. A leads-to query starts a line: the lines are looked at from
  // the last, so that the next start is known when a line is.
  const size_t count = tokens.size() - 1;
  std::vector<bool> startsAt(count, false);
  for (size_t k = 0; k < count; ++k)
    startsAt[k] = k == 0 || !QueryStart(tokens, k).empty();
  bool arrowFollows = false;
  for (size_t k = count; k-- > 1;) {
    arrowFollows = arrowFollows || IsArrow(tokens, k);
    const bool beginsLine = tokens[k].pos.line != tokens[k - 1].pos.line;
    if (!startsAt[k] && beginsLine && arrowFollows && EndsFormula(tokens[k - 1]) &&
        BeginsFormula(tokens[k]))
      startsAt[k] = true;
    if (startsAt[k])
      arrowFollows = false;
  }
  std::vector<size_t> starts;
  for (size_t k = 0; k < count; ++k) {
    if (startsAt[k])
      starts.push_back(k);
  }
  std::vector<SyntaxQuery> queries;
  bool ok = true;
  for (size_t s = 0; s < starts.size(); ++s) {
    const size_t first = starts[s];
    const size_t end = s + 1 < starts.size() ? starts[s + 1] : tokens.size() - 1;
    const Token& last = tokens[end - 1];
    SyntaxQuery query;
    query.pos = tokens[first].pos;
    query.text = QueryText(text, tokens[first].offset, last.offset + last.text.size());
    auto refuse = [&](const std::string& why) {
      diagnostics.Error(query.pos, "cannot check \"" + query.text + "\": " + why);
      ok = false;
    };
    std::vector<size_t> arrows;
    for (size_t k = first; k + 1 < end; ++k) {
      if (IsArrow(tokens, k))
        arrows.push_back(k);
    }
    const std::string kind = QueryStart(tokens, first);
    if (!arrows.empty() && !kind.empty()) {
      refuse("--> stands between the two formulas of a leads-to query (p --> q), which has no " +
             kind);
      continue;
    }
    if (arrows.size() > 1) {
      refuse("a leads-to query has one -->");
      continue;
    }
    if (kind.empty() && arrows.empty()) {
      diagnostics.Error(query.pos, "a query starts with E<>, A[], A<> or E[], or is p --> q");
      ok = false;
      continue;
    }
    const std::map<std::string, SyntaxQuery::Kind> kinds = {{"E<>", SyntaxQuery::Kind::kReachable},
                                                            {"A[]", SyntaxQuery::Kind::kInvariant},
                                                            {"A<>", SyntaxQuery::Kind::kEventually},
                                                            {"E[]", SyntaxQuery::Kind::kAlways}};
    query.kind = kind.empty() ? SyntaxQuery::Kind::kLeadsTo : kinds.at(kind);
    // The formula's tokens from `begin` to `stop`, ended where its last token ends.
    auto formula = [&](size_t begin, size_t stop) {
      std::vector<Token> part(tokens.begin() + static_cast<std::ptrdiff_t>(begin),
                              tokens.begin() + static_cast<std::ptrdiff_t>(stop));
      part.push_back({Token::Kind::kEnd, {}, 0, tokens[stop].pos, tokens[stop].offset});
      if (part.size() > 1) {
        const Token& ending = tokens[stop - 1];
        part.back().pos = ending.pos;
        part.back().pos.column += static_cast<int>(ending.text.size());
      }
      return ParseFormula(part, diagnostics);
    };
    std::optional<SyntaxExpr> parsed =
        formula(kind.empty() ? first : first + 3, arrows.empty() ? end : arrows[0]);
    std::optional<SyntaxExpr> then;
    if (!arrows.empty())
      then = formula(arrows[0] + 2, end);
    if (!parsed || (!arrows.empty() && !then)) {
      ok = false;
      continue;
    }
    query.formula = std::move(*parsed);
    if (then)
      query.then = std::move(*then);
    queries.push_back(std::move(query));
  }
  if (!ok)
    return std::nullopt;
  return queries;
}

std::optional<std::vector<SyntaxDeclaration>> ParseDeclarations(const std::vector<Token>& tokens,
                                                                Diagnostics& diagnostics) {
  return Run<std::vector<SyntaxDeclaration>>(tokens, diagnostics, [](Parser& parser) {
    std::vector<SyntaxDeclaration> declarations;
    while (!parser.AtEnd())
      declarations.push_back(parser.Declaration());
    return declarations;
  });
}

std::optional<SyntaxModel> ParseSystemBlock(const std::vector<Token>& tokens,
                                            Diagnostics& diagnostics) {
  return Run<SyntaxModel>(tokens, diagnostics, [](Parser& parser) { return parser.Items(); });
}

std::optional<std::vector<SyntaxVariable>> ParseParameters(const std::vector<Token>& tokens,
                                                           Diagnostics& diagnostics) {
  return Run<std::vector<SyntaxVariable>>(tokens, diagnostics, [](Parser& parser) {
    std::vector<SyntaxVariable> parameters = parser.Parameters("");
    parser.ExpectEnd("',' or the end of the parameters");
    return parameters;
  });
}

std::optional<SyntaxExpr> ParseInvariant(const std::vector<Token>& tokens,
                                         Diagnostics& diagnostics) {
  return Run<SyntaxExpr>(tokens, diagnostics, [](Parser& parser) {
    SyntaxExpr invariant = parser.Formula();
    parser.ExpectEnd("the end of the invariant");
    return invariant;
  });
}

std::optional<SyntaxExpr> ParseGuard(const std::vector<Token>& tokens, Diagnostics& diagnostics) {
  return Run<SyntaxExpr>(tokens, diagnostics, [](Parser& parser) {
    SyntaxExpr guard = parser.Expression();
    parser.ExpectEnd("the end of the guard");
    return guard;
  });
}

std::optional<std::vector<SyntaxSelect>> ParseSelects(const std::vector<Token>& tokens,
                                                      Diagnostics& diagnostics) {
  return Run<std::vector<SyntaxSelect>>(tokens, diagnostics, [](Parser& parser) {
    std::vector<SyntaxSelect> selects = parser.Selects();
    parser.ExpectEnd("',' or the end of the select list");
    return selects;
  });
}

std::optional<SyntaxSync> ParseSync(const std::vector<Token>& tokens, Diagnostics& diagnostics) {
  return Run<SyntaxSync>(tokens, diagnostics, [](Parser& parser) {
    SyntaxSync sync = parser.Sync();
    parser.ExpectEnd("the end of the sync");
    return sync;
  });
}

std::optional<std::vector<SyntaxExpr>> ParseUpdates(const std::vector<Token>& tokens,
                                                    Diagnostics& diagnostics) {
  return Run<std::vector<SyntaxExpr>>(tokens, diagnostics, [](Parser& parser) {
    std::vector<SyntaxExpr> updates = parser.Updates();
    parser.ExpectEnd("',' or the end of the assignments");
    return updates;
  });
}

}  // namespace tickcheck::lang
