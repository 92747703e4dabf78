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
#include "support/stopped_runs.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::TempDir;

TEST(InterruptTest, SigintEndsTheRunWithTheVerdictsSoFarAndKeepsTheOldReports) {
  TempDir dir;
  // The search takes about a minute; it is interrupted after 2 s.
  testing::WriteLongFischerBesideOldReports(dir);
  testing::BinaryRun run({"model.txt", "--progress", "--json", "run.json"}, dir.Path().string());
  ASSERT_TRUE(run.AwaitError("progress: ", 300));
  run.Signal(SIGINT);
  const auto result = run.Wait();
  EXPECT_EQ(result.exitCode, 130) << result.err;
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(result.out, parts, testing::StoppedFischerConsole())) << result.out;
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

  testing::ExpectOldReportsKept(dir);
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
  testing::WriteModel(dir, testing::SlowLivenessModel(), "model.txt");
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
