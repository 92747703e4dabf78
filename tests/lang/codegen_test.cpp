// The jumps that edges become: one per disjunct of a clock guard and per channel of a variable
// channel index, receiving self-loops that complete broadcasts, and broadcasts nobody hears.
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

TEST(CodegenTest, ClockDisjunctionsAndNotEqualBecomeOneJumpEach) {
  const ModelSpec model = Compiled(
      "int[0,2] n;\nint[0,1] a[3];\n"
      "process P() { clock x; state s, t; init s;\n"
      "  trans s -> t { guard x < 1 || x > 3 && n == 1; },\n"
      "        s -> t { guard x != 2; },\n"
      "        s -> t { guard n == 1 || a[n] == 0 && !(n > 0); assign a[n] = 1; },\n"
      "        s -> s { guard false && n == 1; }; }\n"
      "system P;");
  // The integer condition stays one comparison; `a[n] = 1` is one effect; the guard that can
  // never hold makes no jump.
  EXPECT_EQ(Jumps(model, 0),
            (std::vector<std::string>{"1>2 0:0:0 g1 a0", "1>2 0:0:0 g2 a0", "1>2 0:0:0 g1 a0",
                                      "1>2 0:0:0 g1 a0", "1>2 0:0:0 g1 a1"}));
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

TEST(CodegenTest, VariableChannelIndexMakesOneJumpPerChannel) {
  const ModelSpec model = Compiled(
      "chan c[3];\nint[1,2] i = 1;\n"
      "process S() { state s; init s; trans s -> s { sync c[i]!; }; }\n"
      "process R() { state r; init r; trans r -> r { sync c[2]?; }; }\n"
      "system S, R;");
  // i lies in 1 .. 2, so channel 0 is never chosen.
  EXPECT_EQ(Jumps(model, 0), (std::vector<std::string>{"1>1 2:1:0 g1 a0", "1>1 3:1:0 g1 a0"}));
  EXPECT_EQ(Jumps(model, 1), (std::vector<std::string>{"1>1 3:0:0 g0 a0"}));
}

TEST(CodegenTest, BroadcastsReachEveryProcessWithAJumpOnTheChannel) {
  const ModelSpec model = Compiled(
      "broadcast chan b, lonely;\nint[0,1] k;\n"
      "process S() { state s, t; init s;\n"
      "  trans s -> t { sync b!; }, t -> s { sync lonely!; }; }\n"
      "process R() { state r1, r2; init r1;\n"
      "  trans r1 -> r2 { guard k == 1; sync b!; }, r1 -> r2 { sync b?; },\n"
      "        r2 -> r1 { guard false; sync b?; }; }\n"
      "process Q() { state q; init q; }\n"
      "system S, R, Q;");
  // S sends b, which R hears: S takes part in every b and stays put by its self-loops, placed
  // first; nobody hears `lonely`, which becomes an internal jump, and nobody but R itself hears
  // R's b, which becomes one too. R's receive comes first in r1; its receive out of r2 can
  // never be taken but still blocks b (a comparison that never holds). Q has no jump on b and
  // takes no part.
  EXPECT_EQ(Jumps(model, 0), (std::vector<std::string>{"1>1 1:0:1 g0 a0", "1>2 1:1:1 g0 a0",
                                                       "2>2 1:0:1 g0 a0", "2>1 0:0:0 g0 a0"}));
  EXPECT_EQ(Jumps(model, 1),
            (std::vector<std::string>{"1>2 1:0:1 g0 a0", "1>2 0:0:0 g1 a0", "2>1 1:0:1 g1 a0"}));
  EXPECT_TRUE(model.processes[2].jumps.empty());
}

}  // namespace
}  // namespace tickcheck
