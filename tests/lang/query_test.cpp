// Queries and their normal forms: which properties each query becomes and how its verdict
// follows from theirs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/compiler.h"
#include "model/expression_record.h"

namespace tickcheck {
namespace {

constexpr const char* kModel = R"(int[0,2] id;
process P(const int[1,2] pid) {
  clock x;
  state idle, busy;
  init idle;
  trans idle -> busy { guard x > 1; assign id = pid; };
}
system P;
)";

// A plan as text: its kind, then each conjunction's atoms ("P(1).busy", "!P(2).idle", "id<=2").
std::string Render(const lang::Compilation& compiled, const lang::QueryPlan& plan) {
  static const char* const kRelations[] = {"", "==", "<", "<=", ">", ">=", "!="};
  std::string text = plan.kind == lang::QueryPlan::Kind::kAnyReachable    ? "any"
                     : plan.kind == lang::QueryPlan::Kind::kNoneReachable ? "none"
                                                                          : "all";
  for (const lang::Conjunction& conjunction : plan.conjunctions) {
    text += " [";
    for (size_t k = 0; k < conjunction.size(); ++k) {
      const lang::QueryAtom& atom = conjunction[k];
      text += k > 0 ? " & " : "";
      if (atom.kind == lang::QueryAtom::Kind::kLocation) {
        const lang::Process& process =
            compiled.network.processes[static_cast<size_t>(atom.process)];
        text += (atom.negated ? "!" : "") + process.name + "." +
                process.locations[static_cast<size_t>(atom.location)].name;
      } else {
        text += (atom.kind == lang::QueryAtom::Kind::kInt
                     ? compiled.network.variables[static_cast<size_t>(atom.variable)].name
                     : compiled.network.clocks[static_cast<size_t>(atom.variable)].name) +
                kRelations[atom.relation] + std::to_string(atom.bound);
      }
    }
    text += "]";
  }
  return text;
}

TEST(QueryTest, EachQueryBecomesTheConjunctionsOfItsNormalForm) {
  const std::pair<const char*, const char*> rows[] = {
      {"E<> P(1).busy && P(2).busy", "any [P(1).busy & P(2).busy]"},
      {"E<> P(1).busy || id == 2", "any [P(1).busy] [id==2]"},
      {"E<> (id == 0 || id == 1) && (P(1).idle or P(2).idle)",
       "any [id==0 & P(1).idle] [id==0 & P(2).idle] [id==1 & P(1).idle] [id==1 & P(2).idle]"},
      {"E<> 3 < id && !P(1).busy && not (P(1).x >= 2)", "any [id>3 & !P(1).busy & P(1).x<2]"},
      {"E<> P(1).busy imply id != 1", "any [!P(1).busy] [id!=1]"},
      {"E<> false", "any"},
      {"E<> true || P(1).busy", "any []"},
      {"A[] id <= 2", "all [id<=2]"},
      {"A[] true", "all []"},
      {"A[] false", "none []"},
      {"A[] P(1).busy imply id == 1", "none [P(1).busy & id!=1]"},
      {"A[] not (P(1).busy && P(2).busy)", "none [P(1).busy & P(2).busy]"},
      {"A[] id == 0 || P(2).x > 4 && P(2).idle", "none [id!=0 & P(2).x<=4] [id!=0 & !P(2).idle]"},
      {"E<> P(1).busy && id == 1 + 1 // a comment", "any [P(1).busy & id==2]"},
  };
  for (const auto& [query, plan] : rows) {
    std::vector<lang::Diagnostic> errors;
    const std::optional<lang::Compilation> compiled =
        lang::Compile({"m.tck", kModel}, lang::SourceFile{"m.q", query}, errors);
    ASSERT_TRUE(compiled) << query << ": " << errors[0].Format();
    ASSERT_EQ(compiled->plans.size(), 1u);
    EXPECT_EQ(Render(*compiled, compiled->plans[0]), plan) << query;
    // One property per conjunction, Type 1 only for a single conjunction under A[].
    ASSERT_EQ(compiled->model.properties.size(), compiled->plans[0].conjunctions.size());
    for (const PropertySpec& property : compiled->model.properties)
      EXPECT_EQ(*property.type, plan[0] == 'a' && plan[1] == 'l' ? 1 : 0) << query;
  }
}

}  // namespace
}  // namespace tickcheck
