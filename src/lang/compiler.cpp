#include "lang/compiler.h"

#include "lang/clock_plan.h"
#include "lang/codegen.h"
#include "lang/elaborate.h"
#include "lang/guards.h"
#include "lang/lexer.h"
#include "lang/parser.h"

namespace tickcheck::lang {
namespace {

void CollectClockUses(const Formula& formula, std::vector<ClockUse>& uses) {
  if (formula.kind == Formula::Kind::kAtom && formula.atom.kind == QueryAtom::Kind::kClock)
    uses.push_back({formula.atom.variable, formula.atom.relation, formula.atom.bound});
  for (const Formula& operand : formula.operands)
    CollectClockUses(operand, uses);
}

// Runs the stages that need a checked network; faults go to the model's or the queries' list.
std::optional<Compilation> CompileNetwork(Network network, const std::optional<SourceFile>& source,
                                          Diagnostics& modelErrors, Diagnostics& queryErrors) {
  Compilation compilation;
  if (source) {
    std::optional<std::vector<Query>> queries = ReadQueries(source->text, network, queryErrors);
    if (!queries)
      return std::nullopt;
    compilation.queries = std::move(*queries);
  }
  NetworkGuards guards;
  for (const Process& process : network.processes) {
    guards.emplace_back();
    for (const Edge& edge : process.edges) {
      std::optional<std::vector<GuardDisjunct>> disjuncts =
          GuardDisjuncts(edge.guard, edge.pos, modelErrors);
      guards.back().push_back(disjuncts ? std::move(*disjuncts) : std::vector<GuardDisjunct>{});
    }
  }
  std::vector<ClockUse> uses;
  for (const Query& query : compilation.queries) {
    CollectClockUses(query.formula, uses);
    std::optional<QueryPlan> plan = PlanQuery(query, queryErrors);
    if (plan)
      compilation.plans.push_back(std::move(*plan));
  }
  if (!modelErrors.Empty() || !queryErrors.Empty())
    return std::nullopt;
  const std::optional<ClockPlan> clocks = PlanClocks(network, guards, uses, modelErrors);
  if (!clocks)
    return std::nullopt;
  std::optional<ModelSpec> model =
      GenerateModel(network, guards, *clocks, compilation.plans, modelErrors);
  if (!model)
    return std::nullopt;
  compilation.model = std::move(*model);
  compilation.network = std::move(network);
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
      if (std::optional<Network> network = Elaborate(*syntax, modelErrors))
        compilation = CompileNetwork(std::move(*network), queries, modelErrors, queryErrors);
    }
  }
  errors = modelErrors.Errors();
  errors.insert(errors.end(), queryErrors.Errors().begin(), queryErrors.Errors().end());
  return compilation;
}

}  // namespace tickcheck::lang
