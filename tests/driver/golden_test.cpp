// Whole runs of the binary compared with expected files: the console output (the time line
// excepted) and both reports. TICKCHECK_UPDATE_GOLDEN=1 rewrites the expected files instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "model/expression_builder.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::TempDir;

AtomSpec InLocation(int32_t process, int32_t location) {
  return AtomSpec{.negated = 0, .variable = -process, .bound = location};
}

// A broadcast on channel 5 heard by two receivers, then one on channel 9 that nobody hears.
ModelSpec BroadcastModel() {
  ModelSpec model;
  auto jump = [](int32_t from, int32_t to, int32_t syn, int32_t synType) {
    return JumpSpec{
        .from = from, .to = to, .urgent = 0, .syn = syn, .synType = synType, .broadcast = 1};
  };
  model.processes = {{.name = "Sender",
                      .initLocation = 1,
                      .locations = {{.name = "s1"}, {.name = "s2"}, {.name = "s3"}},
                      .jumps = {jump(1, 2, 5, 1), jump(2, 3, 9, 1)}},
                     {.name = "R1",
                      .initLocation = 1,
                      .locations = {{.name = "r1"}, {.name = "r2"}},
                      .jumps = {jump(1, 2, 5, 0)}},
                     {.name = "R2",
                      .initLocation = 1,
                      .locations = {{.name = "r1"}, {.name = "r2"}},
                      .jumps = {jump(1, 2, 5, 0)}}};
  model.properties = {{.type = 0, .atoms = {InLocation(1, 2), InLocation(2, 2), InLocation(3, 2)}},
                      {.type = 0, .atoms = {InLocation(1, 3)}}};
  return model;
}

// A property that holds in the initial state: the search stops at the next new state.
ModelSpec EarlyEndModel() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .max = 3}};
  model.expressions = {{0, Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Const(1)).Compile()}};
  model.processes = {
      {.name = "Counter",
       .initLocation = 1,
       .locations = {{.name = "count"}},
       .jumps = {{.from = 1, .to = 1, .syn = 0, .synType = 0, .assignments = {{1, 0}}}}}};
  model.properties = {{.type = 0, .atoms = {InLocation(1, 1)}}};
  return model;
}

// Counts past its range: the successor with n = 4 does not fit n's two bits.
ModelSpec OverflowModel() {
  ModelSpec model = EarlyEndModel();
  model.properties = {
      {.type = 1, .atoms = {{.negated = 0, .variable = 1, .bound = 4, .relation = 4}}}};
  return model;
}

ModelSpec RefusedInitialValueModel() {
  ModelSpec model = EarlyEndModel();
  model.variables[0].initValue.reset();
  return model;
}

// Clock x is listed twice by one location and by the initial locations of both processes: it
// gets one run of bits, in the first process's block.
ModelSpec ClockListedTwiceModel() {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .max = 3}};
  model.expressions = {{0, Comparison(1, ExpType::kGreater, 1)}, {1, Expr::Const(0).Compile()}};
  model.constraints = {{0}};
  model.processes = {
      {.name = "A",
       .initLocation = 1,
       .locations = {{.name = "a1", .activeClocks = {{1, 1, -1}, {1, 1, -1}}}, {.name = "a2"}},
       .jumps = {{.from = 1, .to = 2, .guard = 1, .syn = 0, .synType = 0}}},
      {.name = "B",
       .initLocation = 1,
       .locations = {{.name = "b1", .activeClocks = {{1, 1, -1}}}}}};
  model.properties = {{.type = 0, .atoms = {InLocation(1, 2)}}};
  return model;
}

// Clock z is named by an invariant, a guard and a reset but listed by no location: it belongs to
// no process, has no per-location limits and no bounds, and is never carried by a state. The
// invariant and the guard read it as -1: z <= 2 holds, the guard z > 1 never does, so p2 is never
// reached.
ModelSpec UnlistedClockModel() {
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .max = 3},
                     {.name = "z", .type = 1, .initValue = 0, .max = 3}};
  model.expressions = {{0, Comparison(2, ExpType::kAtMost, 2)},
                       {1, Comparison(2, ExpType::kGreater, 1)},
                       {2, Expr::Const(0).Compile()},
                       {3, Comparison(1, ExpType::kAtMost, 2)}};
  model.constraints = {{0, 3}, {1}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "p1", .activeClocks = {{1, -1, 2}}, .invariant = 1}, {.name = "p2"}},
       .jumps = {
           {.from = 1, .to = 2, .guard = 2, .syn = 0, .synType = 0, .assignments = {{2, 2}}}}}};
  model.properties = {{.type = 0, .atoms = {InLocation(1, 2)}}};
  return model;
}

struct GoldenCase {
  const char* name;
  std::function<ModelSpec()> model;
  std::vector<std::string> options;
  int exitCode;
  std::string err = "";  // standard error without its closing summary line
};

// The case's name, where a test's parameter is shown.
void PrintTo(const GoldenCase& golden, std::ostream* out) {
  *out << golden.name;
}

const std::string kModelErrors = "tickcheck: the model had errors (";
const std::string kMayNotHold = "); the verdicts may not hold\n";

const std::vector<GoldenCase> kGoldenCases = {
    GoldenCase{"fischer3-correct", [] { return FischerModel(3, 2, 2); }, {}, 0},
    GoldenCase{"fischer3-correct-exact", [] { return FischerModel(3, 2, 2); }, {"-n"}, 0},
    GoldenCase{"fischer3-incorrect", [] { return FischerModel(3, 2, 1); }, {}, 0},
    GoldenCase{"train-gate", TrainGateModel, {}, 0},
    GoldenCase{"train-gate-time", TrainGateModel, {"-t"}, 0},
    GoldenCase{"broadcast",
               BroadcastModel,
               {},
               3,
               kModelErrors + "composed locations with a broadcast that no process receives: 1" +
                   kMayNotHold},
    GoldenCase{"early-end", EarlyEndModel, {}, 0},
    GoldenCase{
        "overflow",
        OverflowModel,
        {},
        3,
        kModelErrors + "variables with values outside their ranges or bits: 1" + kMayNotHold},
    GoldenCase{"refused-initial-value", RefusedInitialValueModel, {}, 1},
    GoldenCase{"clock-listed-twice", ClockListedTwiceModel, {}, 0},
    GoldenCase{"unlisted-clock", UnlistedClockModel, {}, 0}};

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

void Compare(const std::string& actual, const std::string& expectedFile) {
  const std::string path = std::string(TEST_DATA_DIR) + "/golden/" + expectedFile;
  if (const char* update = std::getenv("TICKCHECK_UPDATE_GOLDEN");
      update && std::string(update) == "1") {
    testing::WriteFile(path, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  EXPECT_EQ(actual, ReadFile(path)) << expectedFile;
}

TEST_P(GoldenTest, ConsoleAndReportsMatch) {
  const GoldenCase& golden = GetParam();
  TempDir dir;
  testing::WriteModel(dir, golden.model(), "model.txt");
  std::vector<std::string> arguments = {"model.txt"};
  arguments.insert(arguments.end(), golden.options.begin(), golden.options.end());
  const auto result = testing::RunTickcheckBinary(arguments, dir.Path().string());
  EXPECT_EQ(result.exitCode, golden.exitCode);
  EXPECT_EQ(testing::WithoutSummaryLine(result.err), golden.err);
  const std::string name = golden.name;
  Compare(testing::WithoutTimeLine(result.out), name + ".out.expected");
  Compare(ReadFile(dir.File("model.txt------modelInfo.txt")), name + ".modelInfo.expected");
  Compare(ReadFile(dir.File("model.txt-----cuddManagerInfo.txt")), name + ".manager.expected");
}

// `--fast-reached-set` names what is now the only way to build the reached set: command lines
// that give it run as before and change no byte.
TEST(FastReachedSetTest, TheOptionIsAcceptedAndChangesNothing) {
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-n"}}) {
    TempDir dir;
    testing::WriteModel(dir, FischerModel(3, 2, 1), "model.txt");
    std::vector<std::string> arguments = {"model.txt"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const auto plain = testing::RunTickcheckBinary(arguments, dir.Path().string());
    const std::string plainInfo = ReadFile(dir.File("model.txt------modelInfo.txt"));
    const std::string plainManager = ReadFile(dir.File("model.txt-----cuddManagerInfo.txt"));
    arguments.push_back("--fast-reached-set");
    const auto fast = testing::RunTickcheckBinary(arguments, dir.Path().string());
    EXPECT_EQ(fast.exitCode, plain.exitCode);
    EXPECT_EQ(testing::WithoutSummaryLine(fast.err), testing::WithoutSummaryLine(plain.err));
    EXPECT_EQ(testing::WithoutTimeLine(fast.out), testing::WithoutTimeLine(plain.out));
    EXPECT_EQ(ReadFile(dir.File("model.txt------modelInfo.txt")), plainInfo);
    EXPECT_EQ(ReadFile(dir.File("model.txt-----cuddManagerInfo.txt")), plainManager);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, GoldenTest, ::testing::ValuesIn(kGoldenCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (c == '-')
                               c = '_';
                           }
                           return name;
                         });

// The bundled examples are what the example generator writes today.
TEST(ExamplesTest, TheBundledExamplesAreUpToDate) {
  const std::pair<const char*, ModelSpec> examples[] = {
      {"fischer3-correct.txt", FischerModel(3, 2, 2)},
      {"fischer3-incorrect.txt", FischerModel(3, 2, 1)},
      {"train-gate.txt", TrainGateModel()}};
  TempDir dir;
  for (const auto& [name, model] : examples) {
    const std::string written = testing::WriteModel(dir, model, name);
    EXPECT_EQ(ReadFile(written), ReadFile(std::string(EXAMPLES_DIR) + "/" + name)) << name;
  }
  const std::pair<std::string, LanguageModel> languageExamples[] = {
      {"fischer", FischerLanguage(3, 2, 2)},
      {"fischer-incorrect", FischerLanguage(3, 2, 1)},
      {"csma-cd", CsmaLanguage(2, 8, 2)}};
  for (const auto& [stem, language] : languageExamples) {
    // Fischer's examples ask liveness queries too.
    const std::string liveness = stem == "csma-cd" ? "" : FischerLivenessQueries();
    EXPECT_EQ(language.model, ReadFile(std::string(EXAMPLES_DIR) + "/" + stem + ".tck")) << stem;
    EXPECT_EQ(language.queries + liveness, ReadFile(std::string(EXAMPLES_DIR) + "/" + stem + ".q"))
        << stem;
  }
}

// Mutual exclusion of Fischer's protocol holds exactly when the set delay is at most the wait
// delay; property 1 (two processes in cs) is then 0.
TEST(VerdictTest, FischerFollowsItsCorrectnessCondition) {
  for (const auto& [set, wait] : {std::pair{1, 1}, {2, 1}, {2, 3}, {3, 2}, {0, 0}, {1, 0}}) {
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-n"}}) {
      TempDir dir;
      testing::WriteModel(dir, FischerModel(3, set, wait), "model.txt");
      std::vector<std::string> arguments = {"model.txt"};
      arguments.insert(arguments.end(), options.begin(), options.end());
      const auto result = testing::RunTickcheckBinary(arguments, dir.Path().string());
      const std::string expected = std::string("property1 : ") + (set <= wait ? "0" : "1") + "\n";
      EXPECT_NE(result.out.find(expected), std::string::npos)
          << "set " << set << " wait " << wait << (options.empty() ? "" : " -n") << "\n"
          << result.out;
    }
  }
}

}  // namespace
}  // namespace tickcheck
