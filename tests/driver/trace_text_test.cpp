// The trace of --trace as the real binary prints it: after the verdict line of its property on a
// model file, after the query's line with the source names on a .tck model; nothing without the
// option; a trace that cannot be found is named on standard error.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/run.h"
#include "model/expression_builder.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::RunTickcheckBinary;
using testing::TempDir;

// The lines of `out` from the one that starts with `first` up to the one before that starting
// with `next`.
std::string Between(const std::string& out, const std::string& first, const std::string& next) {
  const size_t begin = out.find(first);
  if (begin == std::string::npos)
    return out;
  return out.substr(begin, out.find(next, begin) - begin);
}

// A light that stays on at most 5 time units (x <= 5 while on) and a switch that turns it on by
// a broadcast that the light hears: "always x <= 4" fails after waiting 5 in on.
ModelSpec LightModel() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 6}};
  model.expressions = {{0, Comparison(2, ExpType::kAtMost, 5)},
                       {1, Expr::Const(0).Compile()},
                       {2, Expr::Const(2).Compile()}};
  model.constraints = {{0}};
  auto jump = [](int32_t from, int32_t to, int32_t synType, std::vector<AssignmentSpec> updates) {
    return JumpSpec{.from = from,
                    .to = to,
                    .urgent = 0,
                    .syn = 1,
                    .synType = synType,
                    .broadcast = 1,
                    .assignments = std::move(updates)};
  };
  model.processes = {
      {.name = "Switch",
       .initLocation = 1,
       .locations = {{.name = "ready"}, {.name = "done"}},
       .jumps = {jump(1, 2, 1, {{1, 2}})}},
      {.name = "Light",
       .initLocation = 1,
       .locations = {{.name = "off"}, {.name = "on", .activeClocks = {{2, 5, 5}}, .invariant = 1}},
       .jumps = {jump(1, 2, 0, {{2, 1}})}}};
  model.properties = {
      {.type = 1, .atoms = {{.negated = 0, .variable = 2, .bound = 4, .relation = 5}}},
      {.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 2, .relation = 1}}}};
  return model;
}

TEST(TraceTextTest, ATraceFollowsTheVerdictLineOfItsProperty) {
  TempDir dir;
  testing::WriteModel(dir, LightModel(), "light.txt");
  const auto traced = RunTickcheckBinary({"--trace", "light.txt"}, dir.Path().string());
  EXPECT_EQ(traced.exitCode, 0) << traced.err;
  EXPECT_EQ(Between(traced.out, "property1", "execute time:"),
            "property1 : 0\n"
            "Trace for property 1 (violated), 2 steps:\n"
            "  state 0: Switch.ready Light.off  n=0\n"
            "  step 1: delay 0  Switch: ready -> done, Light: off -> on  ->  Switch.done Light.on  "
            "n=2  x=0\n"
            "  step 2: delay 5  (waiting)                                ->  Switch.done Light.on  "
            "n=2  x=5\n"
            "property2 : 1\n"
            "Trace for property 2 (reachable), 1 step:\n"
            "  state 0: Switch.ready Light.off  n=0\n"
            "  step 1: delay 0  Switch: ready -> done, Light: off -> on  ->  Switch.done Light.on  "
            "n=2  x=0\n");
  EXPECT_NE(traced.err.find("traces: 2 of 2 found, "), std::string::npos) << traced.err;

  // Without --trace, the same lines without the traces.
  const auto plain = RunTickcheckBinary({"light.txt"}, dir.Path().string());
  std::string untraced;
  std::istringstream lines(traced.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("Trace for ") && !line.starts_with("  "))
      untraced += line + "\n";
  }
  EXPECT_EQ(testing::WithoutTimeLine(plain.out), testing::WithoutTimeLine(untraced));
  EXPECT_EQ(plain.err.find("traces:"), std::string::npos) << plain.err;
}

// The lasso of a liveness property: its steps, then those of its cycle, or the end of the run.
TEST(TraceTextTest, ALassoShowsItsCycleOrItsEnd) {
  TempDir dir;
  ModelSpec model = LightModel();
  const AtomSpec lightOn{.negated = 0, .variable = -2, .bound = 2};
  model.properties = {
      // The switch may wait forever: the light need not go on.
      {.type = 2, .atoms = {lightOn}, .liveness = 2},
      // Once on, the light waits 5 time units and then can do nothing: n never becomes 3.
      {.type = 2,
       .atoms = {lightOn},
       .liveness = 3,
       .thenAtoms = {{.negated = 0, .variable = 1, .bound = 3, .relation = 1}}}};
  testing::WriteModel(dir, model, "light.txt");
  const auto traced = RunTickcheckBinary({"--trace", "light.txt"}, dir.Path().string());
  EXPECT_EQ(traced.exitCode, 0) << traced.err;
  EXPECT_EQ(Between(traced.out, "property1", "execute time:"),
            "property1 : 0\n"
            "Trace for property 1 (violated), 0 steps, then a cycle of 1 step back to state 0:\n"
            "  state 0: Switch.ready Light.off  n=0\n"
            "  cycle 1: delay 1  (waiting)  ->  Switch.ready Light.off  n=0\n"
            "property2 : 0\n"
            "Trace for property 2 (violated), 2 steps to a state with no step:\n"
            "  state 0: Switch.ready Light.off  n=0\n"
            "  step 1: delay 0  Switch: ready -> done, Light: off -> on  ->  Switch.done Light.on  "
            "n=2  x=0\n"
            "  step 2: delay 5  (waiting)                                ->  Switch.done Light.on  "
            "n=2  x=5\n");
  EXPECT_NE(traced.err.find("liveness: 2 of 2 properties decided, "), std::string::npos)
      << traced.err;
}

TEST(TraceTextTest, ALanguageModelsTraceUsesItsSourceNames) {
  const auto result = RunTickcheckBinary({EXAMPLES_DIR "/fischer-incorrect.tck", "--trace"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(
      Between(result.out, "E<> P(1).cs  --", "A[]"),
      "E<> P(1).cs  -- satisfied\n"
      "Trace for E<> P(1).cs (satisfied), 3 steps:\n"
      "  state 0: P(1).idle P(2).idle P(3).idle  id=0\n"
      "  step 1: delay 0  P(1): idle -> req  ->  P(1).req P(2).idle P(3).idle  id=0  P(1).x=0\n"
      "  step 2: delay 0  P(1): req -> wait  ->  P(1).wait P(2).idle P(3).idle  id=1  "
      "P(1).x=0\n"
      "  step 3: delay 2  P(1): wait -> cs   ->  P(1).cs P(2).idle P(3).idle  id=1\n");
  EXPECT_NE(result.out.find("\nA[] id <= N  -- satisfied\nP(1).req --> P(1).cs  -- not satisfied\n"
                            "Trace for P(1).req --> P(1).cs (not satisfied), "),
            std::string::npos)
      << result.out;
}

// A trace that the trace search cannot find (here because a bound on the run's work stops it;
// otherwise only a model with errors should cause it) is named on standard error; the verdicts
// are printed as usual. The trace of LateResetModel needs the tick-by-tick search, far longer
// than the check.
TEST(TraceTextTest, ATraceThatTheSearchCannotFindIsNamedAndTheRunGoesOn) {
  TempDir dir;
  const std::string path = testing::WriteModel(dir, testing::LateResetModel(30, 100));
  const char* const arguments[] = {"tickcheck", path.c_str(), "--trace"};
  int exitCode = -1;
  ::testing::internal::CaptureStderr();
  const std::string out = testing::CaptureConsole(
      [&] { exitCode = RunTickcheck(3, arguments, {.search = {.states = 1000}}); });
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(exitCode, 0) << err;
  EXPECT_NE(out.find("property1 : 1\nexecute time:"), std::string::npos) << out;
  EXPECT_NE(err.find("tickcheck: no trace found for property 1\ntraces: 0 of 1 found, "),
            std::string::npos)
      << err;
}

// A property that is an expression comparing a clock: the trace search waits from one value at
// which a comparison may change its answer to the next, not tick by tick, so it explores a few
// states where the clock's constants are in the ten thousands.
TEST(TraceTextTest, ExpressionPropertiesAreSearchedFromComparisonToComparison) {
  enum : int32_t { kX = 1 };
  ModelSpec model;
  model.format = 2;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 60001}};
  model.expressions = {
      {0, Comparison(kX, ExpType::kAtMost, 60000)},
      {1, Comparison(kX, ExpType::kAtLeast, 60000)},
      {2, Expr::Const(0).Compile()},
      {3, Expr::Op(ExpType::kAnd, Expr::Op(ExpType::kGreater, Expr::Var(kX), Expr::Const(45000)),
                   Expr::AtLocation(1, 1))
              .Compile()}};
  model.constraints = {{0}, {1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{kX, 60000, 60000}}, .invariant = 1},
                     {.name = "b"}},
       .jumps = {{.from = 1, .to = 2, .guard = 2, .assignments = {{kX, 2}}}}}};
  model.properties = {{.type = 0, .expression = 3}};
  TempDir dir;
  testing::WriteModel(dir, model, "late.txt");
  const auto traced = RunTickcheckBinary({"--trace", "late.txt"}, dir.Path().string());
  EXPECT_EQ(traced.exitCode, 0) << traced.err;
  EXPECT_NE(traced.out.find("  step 1: delay 45001  (waiting)"), std::string::npos) << traced.out;
  const size_t at = traced.err.find("traces: 1 of 1 found, ");
  ASSERT_NE(at, std::string::npos) << traced.err;
  EXPECT_LT(std::stoll(traced.err.substr(at + 22)), 20) << traced.err;
}

// A compiled model's trace in its own terms: select values beside the jump, the jumps that the
// compiler added left out, and in the compact view only what each step changed.
TEST(TraceTextTest, SourceTermsAndTheCompactView) {
  TraceNames names;
  names.processes = {"Gate", "Train(1)", "Light"};
  names.locations = {{"free", "occ"}, {"safe", "appr"}, {"off"}};
  names.variables = {"len", "Train(1).x"};
  names.integers = {"len"};
  // Gate's jump 1 comes from an edge with select e; Light's jump 1 is a receiving self-loop that
  // the compiler added.
  names.jumps = {{{false, {{"e", 1}}}}, {{false, {}}}, {{true, {}}}};
  const Trace trace{{{1, 1, 1}, {0}, {2}, {4}},
                    {{3, {{2, 1, 2, 1}, {1, 1, 2, 1}, {3, 1, 1, 1}}, {{2, 2, 1}, {1}, {2}, {0}}},
                     {2, {}, {{2, 2, 1}, {1}, {2}, {2}}}}};
  EXPECT_EQ(TraceLines("q", trace, names),
            (std::vector<std::string>{
                "Trace for q, 2 steps:",
                "  state 0: Gate.free Train(1).safe Light.off  len=0  Train(1).x=4",
                "  step 1: delay 3  Train(1): safe -> appr, Gate: free -> occ [e=1]  ->  "
                "Gate.occ Train(1).appr Light.off  len=1  Train(1).x=0",
                "  step 2: delay 2  (waiting)                                        ->  "
                "Gate.occ Train(1).appr Light.off  len=1  Train(1).x=2"}));
  EXPECT_EQ(TraceLines("q", trace, names, TraceView::kChanges),
            (std::vector<std::string>{
                "Trace for q, 2 steps:",
                "  state 0: Gate.free Train(1).safe Light.off  len=0  Train(1).x=4",
                "  step 1: delay 3  Train(1): safe -> appr, Gate: free -> occ [e=1]  ->  "
                "Gate.occ Train(1).appr  len=1  Train(1).x=0",
                "  step 2: delay 2  (waiting)                                        ->"}));
}

}  // namespace
}  // namespace tickcheck
