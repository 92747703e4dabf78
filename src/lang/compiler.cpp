#include "lang/compiler.h"

#include "lang/clock_plan.h"
#include "lang/elaborate.h"
#include "lang/guards.h"
#include "lang/lexer.h"
#include "lang/parser.h"
#include "lang/query.h"
#include "lang/ranges.h"
#include "lang/substitute.h"

namespace tickcheck::lang {
namespace {

// The clock comparisons of a query's formula, with quantifiers over clocks unrolled.
void CollectClockUses(const Term& term, const Network& network, std::vector<ClockUse>& uses) {
  if (term.IsClockComparison() && term.operands[0].size == 0) {
    uses.push_back({term.operands[0].value, term.value, RangeOf(term.operands[1], network).upper});
    return;
  }
  if (term.kind == Term::Kind::kQuantifier && term.HasClock()) {
    const Binder& binder = network.binders[static_cast<size_t>(term.size)];
    for (int32_t v = binder.lower; v <= binder.upper; ++v)
      CollectClockUses(Bind(term.operands[0], term.size, v, network), network, uses);
    return;
  }
  for (const Term& operand : term.operands)
    CollectClockUses(operand, network, uses);
}

// Runs the stages that need a checked network; faults go to the model's or the queries' list.
// The queries are a query file's text or already parsed.
struct QuerySource {
  const std::optional<SourceFile>* file = nullptr;
  const std::vector<SyntaxQuery>* parsed = nullptr;
};

std::optional<Compilation> CompileNetwork(Elaboration elaboration, QuerySource source,
                                          Diagnostics& modelErrors, Diagnostics& queryErrors) {
  Compilation compilation;
  std::optional<std::vector<Query>> queries;
  if (source.file != nullptr && source.file->has_value())
    queries = ReadQueries((*source.file)->text, elaboration, queryErrors);
  else if (source.parsed != nullptr)
    queries = ResolveQueries(*source.parsed, elaboration, queryErrors);
  else
    queries.emplace();
  if (!queries)
    return std::nullopt;
  compilation.queries = std::move(*queries);
  const Network& network = elaboration.network;
  NetworkGuards guards;
  NetworkInvariants invariants;
  for (const Process& process : network.processes) {
    guards.emplace_back();
    for (const Edge& edge : process.edges) {
      std::optional<std::vector<GuardDisjunct>> disjuncts =
          GuardDisjuncts(edge.guard, edge.pos, network, modelErrors);
      guards.back().push_back(disjuncts ? std::move(*disjuncts) : std::vector<GuardDisjunct>{});
    }
    invariants.emplace_back();
    for (const Location& location : process.locations) {
      std::optional<GuardDisjunct> parts =
          InvariantParts(location.invariant, location.pos, network, modelErrors);
      invariants.back().push_back(parts ? std::move(*parts) : GuardDisjunct{});
    }
  }
  std::vector<ClockUse> uses;
  for (const Query& query : compilation.queries) {
    CollectClockUses(query.formula, network, uses);
    if (query.kind == Query::Kind::kLeadsTo)
      CollectClockUses(query.then, network, uses);
  }
  if (!modelErrors.Empty() || !queryErrors.Empty())
    return std::nullopt;
  const std::optional<ClockPlan> clocks =
      PlanClocks(network, guards, invariants, uses, modelErrors);
  if (!clocks)
    return std::nullopt;
  std::optional<GeneratedModel> generated =
      GenerateModel(network, guards, invariants, *clocks, compilation.queries, modelErrors);
  if (!generated)
    return std::nullopt;
  compilation.model = std::move(generated->model);
  compilation.origins = std::move(generated->origins);
  compilation.network = std::move(elaboration.network);
  return compilation;
}

}  // namespace

std::optional<Compilation> Compile(const SourceFile& model,
                                   const std::optional<SourceFile>& queries,
                                   std::vector<Diagnostic>& errors) {
  Diagnostics modelErrors(model.path);
  Diagnostics queryErrors(queries ? queries->path : std::string());
  std::optional<Compilation> compilation;
  const std::vector<Token> tokens = Lex(model.text, modelErrors);
  if (!tokens.empty()) {
    if (const std::optional<SyntaxModel> syntax = ParseModel(tokens, modelErrors)) {
      if (std::optional<Elaboration> elaboration = Elaborate(*syntax, modelErrors)) {
        compilation =
            CompileNetwork(std::move(*elaboration), {&queries, nullptr}, modelErrors, queryErrors);
      }
    }
  }
  errors = modelErrors.Errors();
  errors.insert(errors.end(), queryErrors.Errors().begin(), queryErrors.Errors().end());
  return compilation;
}

std::optional<Compilation> CompileSyntax(const SyntaxModel& model,
                                         const std::vector<SyntaxQuery>& queries,
                                         Diagnostics& modelErrors, Diagnostics& queryErrors) {
  std::optional<Elaboration> elaboration = Elaborate(model, modelErrors);
  if (!elaboration)
    return std::nullopt;
  return CompileNetwork(std::move(*elaboration), {nullptr, &queries}, modelErrors, queryErrors);
}

}  // namespace tickcheck::lang
