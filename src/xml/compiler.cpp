#include "xml/compiler.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "lang/lexer.h"
#include "lang/parser.h"
#include "xml/document.h"
#include "xml/label_tokens.h"

namespace tickcheck::xml {
namespace {

bool Blank(const DocumentText& text) {
  return text.text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Builds the syntax tree of a document, one label at a time.
class Assembler {
 public:
  Assembler(const DocumentLines& lines, lang::Diagnostics& diagnostics)
      : lines_(lines), diagnostics_(diagnostics) {}

  lang::SyntaxModel Model(const NtaDocument& document) {
    lang::SyntaxModel model;
    if (document.declaration) {
      for (lang::SyntaxDeclaration& declaration :
           Parsed(*document.declaration, lang::ParseDeclarations))
        model.items.emplace_back(std::move(declaration));
    }
    for (const NtaTemplate& element : document.templates)
      model.items.emplace_back(Template(element));
    lang::SyntaxModel system = Parsed(document.system, lang::ParseSystemBlock);
    for (lang::SyntaxItem& item : system.items)
      model.items.push_back(std::move(item));
    model.system = std::move(system.system);
    model.end = lines_.At(document.system.offsets.back());
    return model;
  }

  std::vector<lang::SyntaxQuery> Queries(const NtaDocument& document) {
    std::vector<lang::SyntaxQuery> queries;
    for (const DocumentText& formula : document.queries) {
      const std::vector<lang::Token> tokens = LexLabel(formula, lines_, diagnostics_);
      if (tokens.empty())
        continue;
      std::optional<std::vector<lang::SyntaxQuery>> parsed =
          lang::ParseQueries(tokens, formula.text, diagnostics_);
      if (parsed)
        queries.insert(queries.end(), parsed->begin(), parsed->end());
    }
    return queries;
  }

 private:
  // The result of `parse` on the tokens of `text`; empty after an error (which is reported) and
  // for a blank text.
  template <typename Result>
  Result Parsed(const DocumentText& text,
                std::optional<Result> (*parse)(const std::vector<lang::Token>&,
                                               lang::Diagnostics&)) {
    if (Blank(text))
      return Result{};
    const std::vector<lang::Token> tokens = LexLabel(text, lines_, diagnostics_);
    if (tokens.empty())
      return Result{};
    std::optional<Result> result = parse(tokens, diagnostics_);
    return result ? std::move(*result) : Result{};
  }

  // The same for a label that may be absent or blank: nothing then.
  template <typename Result>
  std::optional<Result> Optional(const std::optional<DocumentText>& text,
                                 std::optional<Result> (*parse)(const std::vector<lang::Token>&,
                                                                lang::Diagnostics&)) {
    if (!text || Blank(*text))
      return std::nullopt;
    const std::vector<lang::Token> tokens = LexLabel(*text, lines_, diagnostics_);
    if (tokens.empty())
      return std::nullopt;
    return parse(tokens, diagnostics_);
  }

  // A name written as an element's text: one name of the language, blanks around it.
  lang::SyntaxName Name(const DocumentText& text, const char* what) {
    const size_t first = text.text.find_first_not_of(" \t\r\n");
    const size_t last = text.text.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) {
      diagnostics_.Error(lines_.At(text.element), std::string("an empty ") + what);
      return {};
    }
    const std::string name = text.text.substr(first, last - first + 1);
    const bool valid = (std::isalpha(static_cast<unsigned char>(name[0])) != 0 || name[0] == '_') &&
                       std::all_of(name.begin(), name.end(), [](char c) {
                         return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
                       });
    const lang::SourcePos pos = lines_.At(text.offsets[first]);
    if (!valid)
      diagnostics_.Error(pos, std::string("\"") + name + "\" is not a " + what);
    return {name, pos};
  }

  lang::SyntaxTemplate Template(const NtaTemplate& element) {
    lang::SyntaxTemplate result;
    result.name = Name(element.name, "template name");
    if (element.parameter)
      result.parameters = Parsed(*element.parameter, lang::ParseParameters);
    if (element.declaration)
      result.declarations = Parsed(*element.declaration, lang::ParseDeclarations);
    std::map<std::string, lang::SyntaxName> names;  // by location id
    for (const NtaLocation& location : element.locations) {
      lang::SyntaxLocation parsed;
      parsed.name = location.name ? Name(*location.name, "location name")
                                  : lang::SyntaxName{location.id, lines_.At(location.element)};
      parsed.invariant = Optional(location.invariant, lang::ParseInvariant);
      if (location.committed)
        result.committed.push_back(parsed.name);
      if (location.urgent)
        result.urgent.push_back(parsed.name);
      names.emplace(location.id, parsed.name);
      result.locations.push_back(std::move(parsed));
    }
    const auto named = [&names, this](const std::string& id, size_t element) {
      const auto found = names.find(id);
      return lang::SyntaxName{found == names.end() ? id : found->second.text, lines_.At(element)};
    };
    result.init = named(element.init, element.initElement);
    for (const NtaTransition& transition : element.transitions) {
      lang::SyntaxEdge edge;
      edge.from = named(transition.source, transition.sourceElement);
      edge.to = named(transition.target, transition.targetElement);
      if (std::optional<std::vector<lang::SyntaxSelect>> selects =
              Optional(transition.select, lang::ParseSelects))
        edge.selects = std::move(*selects);
      edge.guard = Optional(transition.guard, lang::ParseGuard);
      edge.sync = Optional(transition.sync, lang::ParseSync);
      if (std::optional<std::vector<lang::SyntaxExpr>> updates =
              Optional(transition.assignment, lang::ParseUpdates))
        edge.updates = std::move(*updates);
      result.edges.push_back(std::move(edge));
    }
    result.end = lines_.At(element.element);
    return result;
  }

  const DocumentLines& lines_;
  lang::Diagnostics& diagnostics_;
};

}  // namespace

std::optional<lang::Compilation> CompileDocument(const lang::SourceFile& document,
                                                 const std::optional<lang::SourceFile>& queries,
                                                 std::vector<lang::Diagnostic>& errors) {
  lang::Diagnostics diagnostics(document.path);
  lang::Diagnostics queryErrors(queries ? queries->path : document.path);
  const DocumentLines lines(document.text);
  std::optional<lang::Compilation> compilation;
  if (const std::optional<NtaDocument> read = ReadNtaDocument(document.text, lines, diagnostics)) {
    Assembler assembler(lines, diagnostics);
    const lang::SyntaxModel model = assembler.Model(*read);
    std::vector<lang::SyntaxQuery> parsed;
    if (queries) {
      const std::vector<lang::Token> tokens = lang::Lex(queries->text, queryErrors);
      if (!tokens.empty()) {
        if (std::optional<std::vector<lang::SyntaxQuery>> fromFile =
                lang::ParseQueries(tokens, queries->text, queryErrors))
          parsed = std::move(*fromFile);
      }
    } else {
      parsed = assembler.Queries(*read);
    }
    if (diagnostics.Empty() && queryErrors.Empty()) {
      compilation =
          lang::CompileSyntax(model, parsed, diagnostics, queries ? queryErrors : diagnostics);
    }
  }
  errors = diagnostics.Errors();
  errors.insert(errors.end(), queryErrors.Errors().begin(), queryErrors.Errors().end());
  return compilation;
}

}  // namespace tickcheck::xml
