// Random models in the modelling language, decided three ways: by an explorer of the language's
// semantics on the instantiated network, by an explorer of the compiled model file's semantics,
// and by the checker's language run in each of its modes (in this process: a run of the binary
// costs more than the model's check). The first two must always agree: a difference is a fault
// of the compiler (or of an explorer). The checker must agree with them too. Small models of the
// timing rules, decided the same three ways, give verdicts derived by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/language_run.h"
#include "lang/compiler.h"
#include "support/environment.h"
#include "support/language_explorer.h"
#include "support/model_files.h"
#include "support/random_language_models.h"
#include "support/semantics_explorer.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::TempDir;

constexpr size_t kStateLimit = 20000;
constexpr int64_t kShards = 4;

struct Mode {
  const char* name;
  bool noClockIntervals;
  bool checkTimeSuccessors;
};
constexpr std::array<Mode, 3> kModes = {
    {{"default", false, false}, {"-n", true, false}, {"-t", false, true}}};

// The verdict of each line of the run's output, in order.
std::vector<bool> VerdictLines(const std::string& out) {
  std::vector<bool> verdicts;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const bool satisfied = line.ends_with("  -- satisfied");
    if (satisfied || line.ends_with("  -- not satisfied"))
      verdicts.push_back(satisfied);
  }
  return verdicts;
}

// What a model's exploration found.
struct Explored {
  bool tooLarge = false;
  bool modelError = false;
  std::vector<bool> satisfied;
};

// Decides the model's queries by the language's explorer, by the explorer of the compiled model
// file and by the checker in each mode, expecting the same verdicts from all; `shown` names the
// model in failures.
Explored DecideEveryWay(const std::string& model, const std::string& queries,
                        const std::string& shown) {
  Explored explored;
  std::vector<lang::Diagnostic> errors;
  const std::optional<lang::Compilation> compiled =
      lang::Compile({"random.tck", model}, lang::SourceFile{"random.q", queries}, errors);
  EXPECT_TRUE(compiled) << (errors.empty() ? "" : errors[0].Format()) << "\n" << shown;
  if (!compiled)
    return explored;
  const testing::LanguageVerdicts truth =
      testing::ExploreLanguage(compiled->network, compiled->queries, kStateLimit);
  if (!truth.complete) {
    explored.tooLarge = true;
    return explored;
  }
  explored.modelError = truth.modelError;
  explored.satisfied = truth.satisfied;

  TempDir dir;
  EXPECT_EQ(WriteModelFile(compiled->model, dir.File("random.txt")), "");
  const testing::ModelVerdicts file =
      testing::ExploreModelFile(dir.File("random.txt"), kStateLimit);
  EXPECT_TRUE(file.complete) << shown;
  EXPECT_EQ(file.properties, truth.satisfied) << shown;
  // A query's error shows only while the query is undecided, which depends on the order of
  // the states.
  if (!truth.queryError) {
    EXPECT_EQ(file.rangeError || file.runTimeError, truth.modelError) << shown;
  }

  testing::WriteFile(dir.File("random.tck"), model);
  testing::WriteFile(dir.File("random.q"), queries);
  for (size_t mode = 0; mode < kModes.size(); ++mode) {
    ExitCode exitCode = ExitCode::kFailure;
    ::testing::internal::CaptureStderr();  // the closing lines of every run
    const std::string out = testing::CaptureConsole([&] {
      exitCode = RunLanguageModel({.modelPath = dir.File("random.tck"),
                                   .noClockIntervals = kModes[mode].noClockIntervals,
                                   .checkTimeSuccessors = kModes[mode].checkTimeSuccessors});
    });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(exitCode == ExitCode::kComplete || exitCode == ExitCode::kModelErrors)
        << err << shown;
    const std::vector<bool> verdicts = VerdictLines(out);
    EXPECT_EQ(verdicts.size(), truth.satisfied.size()) << out << shown;
    for (size_t q = 0; q < std::min(verdicts.size(), truth.satisfied.size()); ++q) {
      EXPECT_EQ(verdicts[q], truth.satisfied[q])
          << kModes[mode].name << ": " << compiled->queries[q].text << "\n"
          << shown;
    }
    EXPECT_TRUE(exitCode == ExitCode::kComplete || truth.modelError || truth.queryError)
        << err << shown;
    EXPECT_EQ(err.find("Warning! process"), std::string::npos) << err << shown;
  }
  return explored;
}

class DifferentialTest : public ::testing::TestWithParam<int64_t> {};

TEST_P(DifferentialTest, CompiledModelsDecideQueriesAsTheSemantics) {
  int queries = 0;
  int modelErrors = 0;
  int tooLarge = 0;
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 300);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 0);
  int64_t models = 0;
  for (int64_t k = GetParam(); k < count; k += kShards) {
    const auto seed = static_cast<uint64_t>(first + k);
    ++models;
    const testing::RandomLanguageModel random = testing::MakeRandomLanguageModel(seed);
    const Explored explored = DecideEveryWay(
        random.model, random.queries,
        "seed " + std::to_string(seed) + "\n" + random.model + "\n" + random.queries);
    if (::testing::Test::HasFatalFailure())
      return;
    tooLarge += explored.tooLarge ? 1 : 0;
    modelErrors += explored.modelError ? 1 : 0;
    queries += static_cast<int>(explored.satisfied.size());
  }
  std::cout << "shard " << GetParam() << ": " << models - tooLarge << " models (" << tooLarge
            << " too large), " << modelErrors << " with a model error, " << queries << " queries\n";
}

INSTANTIATE_TEST_SUITE_P(Shards, DifferentialTest, ::testing::Range<int64_t>(0, kShards));

// Small models of the timing rules with verdicts derived by hand: every way of deciding them must
// give those verdicts.
struct TimingRow {
  const char* name;
  std::string model;
  std::string queries;
  std::vector<bool> verdicts;
};

void PrintTo(const TimingRow& row, std::ostream* out) {
  *out << row.name;
}

class TimingRulesTest : public ::testing::TestWithParam<TimingRow> {};

TEST_P(TimingRulesTest, GiveTheVerdictsDerivedByHand) {
  const TimingRow& row = GetParam();
  const Explored explored = DecideEveryWay(row.model, row.queries, row.name);
  EXPECT_EQ(explored.satisfied, row.verdicts);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TimingRulesTest,
    ::testing::Values(
        // P must leave the committed a first, and its step disables Q's edge for good.
        TimingRow{"CommittedBlocksAnEdgeThatALaterStepDisables",
                  "int[0,1] n;\n"
                  "process P() { state a, b; commit a; init a; trans a -> b { assign n = 1; }; }\n"
                  "process Q() { state q, r; init q; trans q -> r { guard n == 0; }; }\n"
                  "system P, Q;",
                  "E<> Q.r\nE<> P.b",
                  {false, true}},
        TimingRow{"NoTimePassesInAnUrgentLocation",
                  "process P() { clock x; state a, b; urgent a; init a; trans a -> b {}; }\n"
                  "system P;",
                  "E<> P.a && P.x > 0\nE<> P.b && P.x > 0",
                  {false, true}},
        // The synchronisation on u can be taken at once, so W cannot wait for x >= 1 before it.
        TimingRow{"AnUrgentChannelForbidsWaitingElsewhere",
                  "urgent chan u;\n"
                  "process S() { state a, b; init a; trans a -> b { sync u!; }; }\n"
                  "process R() { state a, b; init a; trans a -> b { sync u?; }; }\n"
                  "process W() { clock x; state a, b; init a; trans a -> b { guard x >= 1; }; }\n"
                  "system S, R, W;",
                  "E<> W.b && S.a\nE<> W.b",
                  {false, true}},
        TimingRow{
            "ABroadcastGoesOnWithoutADisabledListener",
            "broadcast chan b;\nint[0,1] armed;\n"
            "process S() { state a, c; init a; trans a -> c { sync b!; }; }\n"
            "process L() { state a, c; init a; trans a -> c { guard armed == 1; sync b?; }; }\n"
            "system S, L;",
            "E<> S.c\nE<> L.c",
            {true, false}},
        TimingRow{"AListenerWithTwoReceivingEdgesTakesEither",
                  "broadcast chan b;\n"
                  "process S() { state a, c; init a; trans a -> c { sync b!; }; }\n"
                  "process L() { state a, c, d; init a; trans a -> c { sync b?; }, a -> d { sync "
                  "b?; }; }\n"
                  "system S, L;",
                  "E<> L.c\nE<> L.d\nE<> S.c && L.a",
                  {true, true, false}},
        // The receiver leaves its committed location with the broadcast; O must wait for it.
        TimingRow{"ACommittedReceiverOfABroadcast",
                  "broadcast chan b;\n"
                  "process S() { state a, c; init a; trans a -> c { sync b!; }; }\n"
                  "process L() { state c, d; commit c; init c; trans c -> d { sync b?; }; }\n"
                  "process O() { state a, c; init a; trans a -> c {}; }\n"
                  "system S, L, O;",
                  "E<> O.c && L.c\nE<> L.d && O.c",
                  {false, true}},
        // A broadcast that nobody hears still synchronises on its urgent channel.
        TimingRow{"AnUrgentBroadcastWithoutReceivers",
                  "urgent broadcast chan b;\n"
                  "process S() { clock x; state a, c; init a; trans a -> c { sync b!; }; }\n"
                  "system S;",
                  "E<> S.a && S.x > 0\nE<> S.c && S.x > 0",
                  {false, true}},
        // P must reset g at 2, which Q, waiting for g == 3, sees.
        TimingRow{"ASharedClock",
                  "clock g;\n"
                  "process P() { state a { g <= 2 }, b; init a; trans a -> b { guard g == 2; "
                  "assign g = 0; }; }\n"
                  "process Q() { state a { g <= 3 }, b; init a; trans a -> b { guard g == 3; }; }\n"
                  "system P, Q;",
                  "E<> Q.b && P.a\nE<> Q.b\nE<> P.b && Q.a && g == 3",
                  {false, true, true}},
        TimingRow{"ATimeLockIsADeadlock",
                  "process P() { clock x; state a { x <= 2 }, b; init a; trans a -> b { guard x > "
                  "5; }; }\nsystem P;",
                  "E<> deadlock\nE<> P.a && P.x < 2 && deadlock\nE<> P.b",
                  {true, true, false}},
        TimingRow{"NoDeadlockWhereTimeAlwaysReachesAnEdge",
                  "process P() { clock x; state a; init a; trans a -> a { guard x > 3; assign x = "
                  "0; }; }\nsystem P;",
                  "A[] !deadlock",
                  {true}},
        TimingRow{"ADeadlockWhereTimePassesForEver",
                  "process P() { clock x; state a; init a; }\nsystem P;",
                  "E<> deadlock && P.x > 3",
                  {true}},
        // Q cannot move while P is committed, and P waits for what only Q would do.
        TimingRow{"ACommittedLocationThatCausesADeadlock",
                  "int[0,1] n;\n"
                  "process P() { state a, b; commit a; init a; trans a -> b { guard n == 1; }; }\n"
                  "process Q() { state q, r; init q; trans q -> r { assign n = 1; }; }\n"
                  "system P, Q;",
                  "E<> deadlock\nE<> Q.r",
                  {true, false}}),
    [](const ::testing::TestParamInfo<TimingRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tickcheck
