// The clock analyses on small processes whose active clocks, L/U bounds and Max are derived by
// hand, as the compiled model file lists them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/compiler.h"

namespace tickcheck {
namespace {

// The active clocks of each location of process `p`, as "x(L,U) y(L,U)" per location.
std::vector<std::string> Active(const ModelSpec& model, size_t p) {
  std::vector<std::string> locations;
  for (const LocationSpec& location : model.processes[p].locations) {
    std::string text;
    for (const ActiveClockSpec& clock : location.activeClocks) {
      text += (text.empty() ? "" : " ") +
              model.variables[static_cast<size_t>(clock.clock) - 1].name + "(" +
              std::to_string(*clock.L) + "," + std::to_string(*clock.U) + ")";
    }
    locations.push_back(text);
  }
  return locations;
}

std::optional<lang::Compilation> Compiled(const std::string& model, const std::string& queries) {
  std::vector<lang::Diagnostic> errors;
  std::optional<lang::Compilation> compiled =
      lang::Compile({"m.tck", model}, lang::SourceFile{"m.q", queries}, errors);
  EXPECT_TRUE(errors.empty()) << errors[0].Format();
  return compiled;
}

TEST(ClockPlanTest, BoundsReachBackwardsUntilAReset) {
  // a: x is compared (> 2) on the way to b, whose invariant bounds it (<= 5); y, which the query
  // names, is active everywhere with the query's 0 as both bounds, and compared with 1 out of b;
  // resets cut x out of c -> ... -> a and y out of c -> d, but d gets y's 1 round the cycle.
  const std::optional<lang::Compilation> compiled = Compiled(
      "clock x, y;\n"
      "process P() {\n"
      "  state a, b { x <= 5 }, c, d;\n"
      "  init a;\n"
      "  trans a -> b { guard x > 2; },\n"
      "        b -> c { guard y >= 1; assign x = 0; },\n"
      "        c -> d { guard x == 7; assign y = 0; },\n"
      "        d -> a { assign x = 0; };\n"
      "}\n"
      "system P;\n",
      "E<> P.d && y < 0\n");
  ASSERT_TRUE(compiled);
  EXPECT_EQ(Active(compiled->model, 0), (std::vector<std::string>{"x(2,5) y(1,0)", "x(-1,5) y(1,0)",
                                                                  "x(7,7) y(0,0)", "y(1,0)"}));
  // Variable 1 is the zero-bit integer that a model without integers gets.
  EXPECT_EQ(compiled->model.variables[1].max, 8);
  EXPECT_EQ(compiled->model.variables[2].max, 2);
}

TEST(ClockPlanTest, OwnersMaxAndBoundsOfNonConstantComparisons) {
  // The global clock g belongs to Q, the only process that uses it; z is local to P and
  // compared with n (at most 6); w is set to 12 on a -> b but read by that edge's guard first, so
  // it is active in b too; its Max is 12, the value it is set to, above 3 + 1; the clock u, which
  // nothing reads, is active nowhere and has Max 1.
  const std::optional<lang::Compilation> compiled = Compiled(
      "int[0,6] n;\nclock g, u;\n"
      "process P() { clock z, w; state a, b; init a;\n"
      "  trans a -> b { guard z <= n && w != 3; assign w = 12; }, b -> a { assign z = 0; }; }\n"
      "process Q() { state a { g < 4 }; init a; }\n"
      "system P, Q;\n",
      "");
  ASSERT_TRUE(compiled);
  EXPECT_EQ(Active(compiled->model, 0),
            (std::vector<std::string>{"P.z(-1,6) P.w(3,3)", "P.w(3,3)"}));
  EXPECT_EQ(Active(compiled->model, 1), (std::vector<std::string>{"g(-1,4)"}));
  std::vector<int32_t> max;
  for (size_t v = 1; v < compiled->model.variables.size(); ++v)
    max.push_back(*compiled->model.variables[v].max);
  EXPECT_EQ(max, (std::vector<int32_t>{5, 1, 7, 12}));  // g, u, P.z, P.w
}

TEST(ClockPlanTest, ASharedClockIsActiveWhereAProcessMayReadItAndBoundedByAllItsUses) {
  // P reads g out of a and resets it out of b, so P lists g in a only; Q's invariant reads g in
  // c, which d reaches without Q resetting it. Each listing location takes every comparison of g
  // as its bounds (L 2 from P, U 5 from Q), since the other process may compare it meanwhile.
  const std::optional<lang::Compilation> compiled = Compiled(
      "clock g;\n"
      "process P() { state a, b; init a; trans a -> b { guard g > 2; }, b -> a { assign g = 0; }; "
      "}\n"
      "process Q() { state c { g <= 5 }, d; init c; trans c -> d { assign g = 0; }, d -> c {}; }\n"
      "system P, Q;\n",
      "");
  ASSERT_TRUE(compiled);
  EXPECT_EQ(Active(compiled->model, 0), (std::vector<std::string>{"g(2,5)", ""}));
  EXPECT_EQ(Active(compiled->model, 1), (std::vector<std::string>{"g(2,5)", "g(2,5)"}));
}

}  // namespace
}  // namespace tickcheck
