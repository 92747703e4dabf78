// The jumps that edges become: assignment pairs and effects, broadcasts under the usual rule, and
// the keys of the timing rules. The jumps of a guard's disjuncts and of a variable channel index
// are checked by the language's differential test (differential_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/compiler.h"

namespace tickcheck {
namespace {

// The jumps of process `p` as "from>to syn:synType:broadcast g<comparisons> a<assignments>".
std::vector<std::string> Jumps(const ModelSpec& model, size_t p) {
  std::vector<std::string> jumps;
  for (const JumpSpec& jump : model.processes[p].jumps) {
    const size_t comparisons =
        jump.guard ? model.constraints[static_cast<size_t>(*jump.guard) - 1].size() : 0;
    jumps.push_back(std::to_string(jump.from) + ">" + std::to_string(*jump.to) + " " +
                    std::to_string(*jump.syn) + ":" + std::to_string(*jump.synType) + ":" +
                    std::to_string(*jump.broadcast) + " g" + std::to_string(comparisons) + " a" +
                    std::to_string(jump.assignments.size()));
  }
  return jumps;
}

ModelSpec Compiled(const std::string& model) {
  std::vector<lang::Diagnostic> errors;
  const std::optional<lang::Compilation> compiled =
      lang::Compile({"m.tck", model}, std::nullopt, errors);
  EXPECT_TRUE(compiled) << errors[0].Format();
  return compiled ? compiled->model : ModelSpec{};
}

TEST(CodegenTest, UpdatesStayAssignmentPairsUnlessTheyNeedEffects) {
  const ModelSpec model = Compiled(
      "int[0,3] n;\nbool f;\nint[0,3] a[2];\nint g(int v) { return v + 1; }\n"
      "process P() { clock x; state s; init s;\n"
      "  trans s -> s { assign n = 2, f = n, x = n + 1, n++, a[n] = 1, n = g(n), f |= 1; }; }\n"
      "system P;");
  // (variable id, kind): a pair names its variable (or clock, id 5), an effect names 0.
  std::vector<int32_t> targets;
  for (const AssignmentSpec& assignment : model.processes[0].jumps[0].assignments)
    targets.push_back(assignment.variable);
  EXPECT_EQ(targets, (std::vector<int32_t>{1, 2, 5, 0, 0, 0, 0}));
}

TEST(CodegenTest, BroadcastsAreJumpsAsWrittenUnderTheUsualRule) {
  const ModelSpec model = Compiled(
      "broadcast chan b, lonely, r[2];\nint[0,1] k;\n"
      "process S() { state s, t; init s;\n"
      "  trans s -> t { sync b!; }, t -> s { sync lonely!; }, t -> t { sync r[k]!; }; }\n"
      "process R() { clock x; state r1, r2; init r1;\n"
      "  trans r1 -> r2 { guard x < 1 || x > 2; sync b?; }, r1 -> r1 { sync b?; },\n"
      "        r2 -> r1 { guard false; sync b?; }, r2 -> r2 { sync r[k]?; }; }\n"
      "system S, R;");
  // Every edge keeps its sync, in edge order: no self-loops are added, a send that nobody hears
  // still sends, two receives out of r1 and a receive with a disjunction (two jumps) stay, a
  // receive that can never be taken makes no jump, and a variable index one jump per channel.
  EXPECT_EQ(Jumps(model, 0), (std::vector<std::string>{"1>2 1:1:1 g0 a0", "2>1 2:1:1 g0 a0",
                                                       "2>2 3:1:1 g1 a0", "2>2 4:1:1 g1 a0"}));
  EXPECT_EQ(Jumps(model, 1),
            (std::vector<std::string>{"1>2 1:0:1 g1 a0", "1>2 1:0:1 g1 a0", "1>1 1:0:1 g0 a0",
                                      "2>2 3:0:1 g1 a0", "2>2 4:0:1 g1 a0"}));
  EXPECT_EQ(model.broadcastRule, 1);
}

TEST(CodegenTest, CommittedAndUrgentLocationsAndUrgentChannelsBecomeKeys) {
  const ModelSpec model = Compiled(
      "chan c;\nurgent chan u[2];\nurgent broadcast chan ub;\n"
      "process P() { state a, b, c; commit b; urgent c; init a;\n"
      "  trans a -> b { sync u[1]!; }, b -> c { sync ub!; }; }\n"
      "system P;");
  std::vector<std::string> locations;
  for (const LocationSpec& location : model.processes[0].locations) {
    locations.push_back(location.name + ":" + std::to_string(location.committed.value_or(0)) +
                        std::to_string(location.urgent.value_or(0)));
  }
  EXPECT_EQ(locations, (std::vector<std::string>{"a:00", "b:10", "c:01"}));
  // Channels are numbered from 1 as jumps name them: c, u[0], u[1], ub.
  EXPECT_EQ(model.urgentChannels, (std::vector<int32_t>{2, 3, 4}));
  EXPECT_EQ(model.broadcastRule, 1);
  // Without a broadcast channel, the file does not ask for the broadcast rule.
  EXPECT_FALSE(Compiled("chan c;\nprocess P() { state a; init a; }\nsystem P;").broadcastRule);
}

}  // namespace
}  // namespace tickcheck
