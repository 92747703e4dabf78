// --memory-limit and --time-limit through the real binary: a limit that is reached ends the search
// like SIGINT does (the verdicts found so far, the others unknown, the statistics, the reports of
// an earlier run kept) with its own line and exit code 4; a run within its limits is the run
// without them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <string>
#include <vector>

#include "support/model_files.h"
#include "support/process.h"
#include "support/stopped_runs.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::TempDir;

struct LimitRow {
  std::vector<std::string> limit;
  std::string line;  // what the run says on standard error
  std::string name;  // in the JSON document
};

TEST(LimitsTest, AReachedLimitEndsTheSearchWithTheVerdictsSoFarAndKeepsTheOldReports) {
  // The process alone takes more than a mebibyte, and the search more than a millisecond: each
  // limit is reached at the search's first look at it.
  const std::vector<LimitRow> rows = {
      {{"--memory-limit", "1M"}, "the memory limit of 1.0 MiB", "memory"},
      {{"--time-limit", "0.001"}, "the time limit of 0.001 s", "time"}};
  for (const LimitRow& row : rows) {
    TempDir dir;
    testing::WriteLongFischerBesideOldReports(dir);
    std::vector<std::string> arguments = {"model.txt", "--json", "run.json", "--trace"};
    arguments.insert(arguments.end(), row.limit.begin(), row.limit.end());
    const auto result = testing::RunTickcheckBinary(arguments, dir.Path().string());
    EXPECT_EQ(result.exitCode, 4) << result.err;
    EXPECT_TRUE(std::regex_match(result.out, testing::StoppedFischerConsole())) << result.out;
    EXPECT_EQ(testing::WithoutSummaryLine(result.err),
              "tickcheck: " + row.line +
                  " was reached; the search stopped, the verdicts not found by then are unknown\n");
    testing::ExpectOldReportsKept(dir);
    const nlohmann::json document = nlohmann::json::parse(ReadFile(dir.File("run.json")));
    EXPECT_EQ(document["interrupted"], false);
    EXPECT_EQ(document["limit"], row.name);
    EXPECT_EQ(document["properties"][0]["verdict"], nullptr);
  }
}

// A limit reached while the liveness properties are decided: the other verdicts stand, the
// liveness property is unknown. Its states are visited tick by tick, so a true leads-to over
// delays of 4000 ticks needs far more memory than the search.
TEST(LimitsTest, ALimitReachedWhileDecidingLivenessLeavesItUnknown) {
  TempDir dir;
  const ModelSpec model = testing::SlowLivenessModel();
  testing::WriteModel(dir, model, "model.txt");
  // The limit lies 8 MiB above the peak of the run without the liveness property.
  ModelSpec plain = model;
  plain.properties.resize(1);
  testing::WriteModel(dir, plain, "plain.txt");
  testing::RunTickcheckBinary({"plain.txt", "--json", "plain.json"}, dir.Path().string());
  const auto peak =
      nlohmann::json::parse(ReadFile(dir.File("plain.json")))["statistics"]["peak_rss_bytes"]
          .get<int64_t>();
  const auto result = testing::RunTickcheckBinary(
      {"model.txt", "--memory-limit", std::to_string(peak + (8 << 20)), "--json", "run.json"},
      dir.Path().string());
  EXPECT_EQ(result.exitCode, 4) << result.err;
  EXPECT_NE(result.out.find("property1 : 1\nproperty2 : unknown\nexecute time:"), std::string::npos)
      << result.out;
  EXPECT_NE(result.err.find("tickcheck: the memory limit was reached while deciding liveness "
                            "properties; those not decided are unknown\n"),
            std::string::npos)
      << result.err;
  const nlohmann::json document = nlohmann::json::parse(ReadFile(dir.File("run.json")));
  EXPECT_EQ(document["limit"], "memory");
  EXPECT_EQ(document["properties"][1]["verdict"], nullptr);
}

TEST(LimitsTest, ARunWithinItsLimitsIsTheRunWithoutThem) {
  TempDir dir;
  testing::WriteModel(dir, FischerModel(3, 2, 1), "model.txt");
  const auto plain = testing::RunTickcheckBinary({"model.txt", "--trace"}, dir.Path().string());
  const std::string report = ReadFile(dir.File("model.txt-----cuddManagerInfo.txt"));
  const auto limited = testing::RunTickcheckBinary(
      {"model.txt", "--trace", "--memory-limit", "4G", "--time-limit", "3600"},
      dir.Path().string());
  EXPECT_EQ(limited.exitCode, 0);
  EXPECT_EQ(testing::WithoutTimeLine(limited.out), testing::WithoutTimeLine(plain.out));
  EXPECT_EQ(ReadFile(dir.File("model.txt-----cuddManagerInfo.txt")), report);
}

}  // namespace
}  // namespace tickcheck
