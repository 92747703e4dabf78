#include "lang/query.h"

#include <map>

#include "lang/lexer.h"
#include "lang/parser.h"
#include "lang/resolve.h"

namespace tickcheck::lang {

std::optional<std::vector<Query>> ReadQueries(const std::string& text, Elaboration& elaboration,
                                              Diagnostics& diagnostics) {
  const std::vector<Token> tokens = Lex(text, diagnostics);
  if (tokens.empty())
    return std::nullopt;
  const std::optional<std::vector<SyntaxQuery>> syntax = ParseQueries(tokens, text, diagnostics);
  if (!syntax)
    return std::nullopt;
  return ResolveQueries(*syntax, elaboration, diagnostics);
}

std::optional<std::vector<Query>> ResolveQueries(const std::vector<SyntaxQuery>& syntax,
                                                 Elaboration& elaboration,
                                                 Diagnostics& diagnostics) {
  Network& network = elaboration.network;
  std::map<std::string, int32_t> processes;
  for (size_t p = 0; p < network.processes.size(); ++p)
    processes.emplace(network.processes[p].name, static_cast<int32_t>(p));
  const ProcessNames names{[&processes](const std::string& name) {
                             const auto found = processes.find(name);
                             return found == processes.end() ? -1 : found->second;
                           },
                           [&elaboration](int32_t p) -> const Scope& {
                             return *elaboration.processes[static_cast<size_t>(p)];
                           }};
  std::vector<Query> queries;
  for (const SyntaxQuery& query : syntax) {
    Resolver resolver(*elaboration.globals, network, diagnostics, Position::kQuery);
    resolver.SetProcesses(&names);
    const bool leadsTo = query.kind == SyntaxQuery::Kind::kLeadsTo;
    std::optional<Term> formula = resolver.Condition(query.formula);
    std::optional<Term> then = leadsTo ? resolver.Condition(query.then) : Term{};
    if (!formula || !then)
      continue;
    const Term* effect = Resolver::SideEffect(*formula, network);
    if (effect == nullptr)
      effect = Resolver::SideEffect(*then, network);
    if (effect != nullptr) {
      diagnostics.Error(effect->pos, "a query cannot have side effects");
      continue;
    }
    // The kinds are listed in the same order.
    queries.push_back({static_cast<Query::Kind>(query.kind), query.text, query.pos,
                       std::move(*formula), std::move(*then)});
  }
  if (!diagnostics.Empty())
    return std::nullopt;
  return queries;
}

}  // namespace tickcheck::lang
