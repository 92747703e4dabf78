// SIGINT during a long run, through the real binary: the search ends at once, the verdicts found
// so far are printed and the others shown as unknown, the reports of an earlier run stay as they
// were, and the run ends with exit code 130. The progress lines come first: the signal is sent
// once the first of them was written, so the search is known to be under way.
#include <gtest/gtest.h>
#include <signal.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <regex>
#include <string>

#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(InterruptTest, SigintEndsTheRunWithTheVerdictsSoFarAndKeepsTheOldReports) {
  TempDir dir;
  // Fischer's protocol for 10 processes takes about a minute; it is interrupted after 2 s.
  testing::WriteModel(dir, FischerModel(10, 2, 2), "model.txt");
  const std::string managerReport = dir.File("model.txt-----cuddManagerInfo.txt");
  const std::string modelReport = dir.File("model.txt------modelInfo.txt");
  WriteFile(managerReport, "an earlier run's manager report\n");
  WriteFile(modelReport, "an earlier run's model report\n");

  testing::BinaryRun run({"model.txt", "--progress", "--json", "run.json"}, dir.Path().string());
  ASSERT_TRUE(run.AwaitError("progress: ", 300));
  run.Signal(SIGINT);
  const auto result = run.Wait();
  EXPECT_EQ(result.exitCode, 130) << result.err;

  // Property 1 (mutual exclusion violated) and 3 (an invariant that holds) cannot be decided
  // before the search ends; property 2 may have been found already.
  const std::regex out(
      "(.|\n)*begin checking\n"
      "DsState Number in pastList:\t([0-9]+)\n"
      "property1 : unknown\nproperty2 : (1|unknown)\nproperty3 : unknown\n"
      "execute time:[0-9]+\ntransrule size:[0-9]+\n"
      "composition destruct end\ndestruct system\n");
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(result.out, parts, out)) << result.out;
  const std::string stored = parts[2];
  const std::regex err(
      "(progress: [0-9]+\\.[0-9]{3} s, [0-9]+ stored states?, [0-9]+ waiting, [0-9]+ states/s, "
      "[0-9]+\\.[0-9] MiB resident\n)+"
      "interrupted\n"
      "summary: " +
      stored +
      " stored states, [0-9]+ transitions fired, [0-9]+ sweeps, "
      "[0-9]+\\.[0-9]{3} s, [0-9]+ states/s, peak memory [0-9]+\\.[0-9] MiB\n");
  EXPECT_TRUE(std::regex_match(result.err, err)) << result.err;

  EXPECT_EQ(ReadFile(managerReport), "an earlier run's manager report\n");
  EXPECT_EQ(ReadFile(modelReport), "an earlier run's model report\n");
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4);

  const nlohmann::json document = nlohmann::json::parse(ReadFile(dir.File("run.json")));
  EXPECT_EQ(document["interrupted"], true);
  EXPECT_EQ(document["properties"][0]["verdict"], nullptr);
  EXPECT_EQ(document["statistics"]["stored_states"], std::stoll(stored));
}

// SIGINT during the trace search of --trace: the verdicts are all decided and printed, the
// traces are left out, and the run ends with exit code 130. The trace of LateResetModel needs the
// tick-by-tick search, which with these constants takes far longer than the check.
TEST(InterruptTest, SigintDuringTheTraceSearchKeepsTheVerdictsWithoutTraces) {
  TempDir dir;
  testing::WriteModel(dir, testing::LateResetModel(20000, 90000), "model.txt");
  testing::BinaryRun run({"model.txt", "--trace", "--progress", "--json", "run.json"},
                         dir.Path().string());
  ASSERT_TRUE(run.AwaitError("looking for traces: ", 300));
  run.Signal(SIGINT);
  const auto result = run.Wait();
  EXPECT_EQ(result.exitCode, 130) << result.err;
  EXPECT_NE(result.out.find("property1 : 1\nexecute time:"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("tickcheck: interrupted while looking for traces; the verdicts stand, "
                            "no trace is printed\n"),
            std::string::npos)
      << result.err;
  const nlohmann::json document = nlohmann::json::parse(ReadFile(dir.File("run.json")));
  EXPECT_EQ(document["interrupted"], true);
  for (const nlohmann::json& property : document["properties"]) {
    EXPECT_EQ(property["verdict"], 1);
    EXPECT_EQ(property["trace"], nullptr);
  }
}

// SIGINT while the liveness properties are decided: the other verdicts stand, the liveness
// property is unknown, and the run ends with exit code 130. Its states are visited tick by tick
// too, so a true leads-to over delays of 4000 ticks takes long.
TEST(InterruptTest, SigintWhileDecidingLivenessLeavesItUnknown) {
  TempDir dir;
  ModelSpec model = FischerModel(2, 4000, 3999);
  const AtomSpec req{.negated = 0, .variable = -1, .bound = 2};
  const AtomSpec wait{.negated = 0, .variable = -1, .bound = 3};
  model.properties = {model.properties[1],
                      {.type = 2, .atoms = {req}, .liveness = 3, .thenAtoms = {wait}}};
  testing::WriteModel(dir, model, "model.txt");
  testing::BinaryRun run({"model.txt", "--progress", "--json", "run.json"}, dir.Path().string());
  ASSERT_TRUE(run.AwaitError("deciding liveness: ", 300));
  run.Signal(SIGINT);
  const auto result = run.Wait();
  EXPECT_EQ(result.exitCode, 130) << result.err;
  EXPECT_NE(result.out.find("property1 : 1\nproperty2 : unknown\nexecute time:"), std::string::npos)
      << result.out;
  EXPECT_NE(result.err.find("tickcheck: interrupted while deciding liveness properties; those not "
                            "decided are unknown\n"),
            std::string::npos)
      << result.err;
  const nlohmann::json document = nlohmann::json::parse(ReadFile(dir.File("run.json")));
  EXPECT_EQ(document["interrupted"], true);
  EXPECT_EQ(document["properties"][1]["verdict"], nullptr);
}

}  // namespace
}  // namespace tickcheck
