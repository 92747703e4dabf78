// The traces of --trace, taken from the JSON document of the real binary and replayed by an
// independent checker of the model's semantics (support/trace_replay.h), in the three modes: on
// the examples, on Fischer's protocol with delays that break it, and on a few hundred seeded
// random timed models. A property that was found reachable or violated must have a trace that
// replays, every other property none. TICKCHECK_RANDOM_MODELS sets how many random models are
// replayed (300 by default) and TICKCHECK_RANDOM_SEED the first seed (1).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "support/environment.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/random_models.h"
#include "support/temp_dir.h"
#include "support/trace_replay.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using nlohmann::json;
using testing::TempDir;

const std::vector<std::vector<std::string>> kModes = {{}, {"-n"}, {"-t"}};

// The document of a run with --trace of the model file at `path`; null when the run failed.
json TraceDocument(const std::string& path, const std::vector<std::string>& mode) {
  std::vector<std::string> arguments = {path, "--trace", "--json", "-"};
  arguments.insert(arguments.end(), mode.begin(), mode.end());
  const testing::ProcessResult result = testing::RunTickcheckBinary(arguments);
  if (result.exitCode != 0 && result.exitCode != 3) {
    ADD_FAILURE() << path << ": exit code " << result.exitCode << "\n" << result.err;
    return nullptr;
  }
  return json::parse(result.out);
}

int64_t TraceCount(const json& document) {
  int64_t count = 0;
  for (const json& property : document["properties"])
    count += property["trace"].is_null() ? 0 : 1;
  return count;
}

// Replays every trace of the model file at `path` in every mode; answers how many there were.
int64_t ExpectTracesReplay(const std::string& path, const std::string& shown = "") {
  int64_t traces = 0;
  for (const std::vector<std::string>& mode : kModes) {
    const json document = TraceDocument(path, mode);
    if (document.is_null())
      continue;
    EXPECT_EQ(testing::ReplayDocument(path, document), "")
        << path << (mode.empty() ? "" : " " + mode[0]) << "\n"
        << shown;
    traces += TraceCount(document);
  }
  return traces;
}

TEST(TracesTest, TracesOfTheExamplesReplay) {
  TempDir dir;
  int64_t traces = 0;
  for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
    const std::filesystem::path& path = entry.path();
    // Running an example leaves its reports beside it, and their names end in .txt too.
    const std::string name = path.filename().string();
    const bool report = name.find("------modelInfo") != std::string::npos ||
                        name.find("-----cuddManagerInfo") != std::string::npos;
    if (path.extension() == ".txt" && !report) {
      // A run writes its reports next to the model file.
      const std::string copy = dir.File(path.filename().string());
      std::filesystem::copy_file(path, copy);
      traces += ExpectTracesReplay(copy);
    } else if (path.extension() == ".tck" || path.extension() == ".xml") {
      const std::string compiled = dir.File(path.stem().string() + "-compiled.txt");
      ASSERT_EQ(testing::RunTickcheckBinary({path.string(), "--emit-model", compiled}).exitCode, 0)
          << path;
      traces += ExpectTracesReplay(compiled);
    }
  }
  EXPECT_GE(traces, 3 * 10);
}

TEST(TracesTest, FischerWithASetDelayAboveTheWaitDelayHasTracesThatReplay) {
  TempDir dir;
  // Processes, set delay, wait delay; -n makes larger instances slow.
  const std::vector<std::array<int32_t, 3>> instances = {{2, 2, 1}, {2, 5, 4}, {3, 2, 1},
                                                         {3, 3, 1}, {3, 5, 4}, {4, 2, 1},
                                                         {4, 3, 1}, {4, 5, 4}, {5, 2, 1}};
  for (const auto& [processes, set, wait] : instances) {
    const std::string path =
        testing::WriteModel(dir, FischerModel(processes, set, wait),
                            "fischer" + std::to_string(processes) + "-" + std::to_string(set) +
                                "-" + std::to_string(wait) + ".txt");
    // Both processes in cs, and process 1 in cs: two traces per mode.
    EXPECT_EQ(ExpectTracesReplay(path), 2 * 3) << path;
  }
}

// The replay is worth something only if it refuses what is not a run of the model: each change
// of a good trace of fischer3-incorrect.txt (property 1, two processes in cs) is refused.
TEST(TracesTest, TheReplayRefusesWhatIsNotARun) {
  TempDir dir;
  const std::string path = dir.File("fischer3-incorrect.txt");
  std::filesystem::copy_file(EXAMPLES_DIR "/fischer3-incorrect.txt", path);
  const json document = TraceDocument(path, {});
  ASSERT_EQ(testing::ReplayDocument(path, document), "");
  const json& trace = document["properties"][0]["trace"];
  ASSERT_GE(trace["steps"].size(), 4U);
  const std::vector<std::pair<std::function<void(json&)>, std::string>> changes = {
      {[](json& t) { t["initial"]["integers"]["id"] = 1; }, "the initial state"},
      // P1 waits in req beyond its invariant x1 <= 2.
      {[](json& t) { t["steps"][1]["delay"] = 3; }, "step 2: an invariant fails after tick 3"},
      {[](json& t) { t["steps"][1]["jumps"][0]["to"] = 3; }, "step 2: no enabled transition"},
      {[](json& t) { t["steps"][1]["state"]["integers"]["id"] = 2; },
       "step 2: no enabled transition"},
      {[](json& t) { t["steps"][1]["state"]["clocks"].erase("x2"); },
       "step 2: no enabled transition"},
      // wait -> cs needs x1 > 1.
      {[](json& t) { t["steps"][3]["delay"] = 1; }, "step 4: no enabled transition"},
      {[](json& t) { t["steps"][0]["jumps"] = json::array(); }, "step 1: only the last step"},
      {[](json& t) { t["steps"].erase(t["steps"].size() - 1); }, "does not satisfy the property"},
  };
  for (size_t k = 0; k < changes.size(); ++k) {
    json changed = document;
    changes[k].first(changed["properties"][0]["trace"]);
    EXPECT_NE(testing::ReplayDocument(path, changed).find(changes[k].second), std::string::npos)
        << "change " << k << ": " << testing::ReplayDocument(path, changed);
  }
  json traceForAHoldingProperty = document;
  traceForAHoldingProperty["properties"][2]["trace"] = trace;
  EXPECT_EQ(testing::ReplayDocument(path, traceForAHoldingProperty),
            "property 3: a trace for a verdict that needs none\n");
}

constexpr int32_t kShards = 6;

class RandomTracesTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(RandomTracesTest, TracesReplayInEveryMode) {
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 300);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 1);
  int64_t traces = 0;
  for (int64_t k = GetParam(); k < count; k += kShards) {
    const uint64_t seed = static_cast<uint64_t>(first + k);
    const testing::RandomModel model = testing::RandomTimedModel(seed);
    TempDir dir;
    traces += ExpectTracesReplay(testing::WriteModel(dir, model.records),
                                 "seed " + std::to_string(seed) + "\n" + model.description);
  }
  std::cout << "shard " << GetParam() << ": " << traces << " traces replayed\n";
  EXPECT_GT(traces, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomTracesTest, ::testing::Range(0, kShards));

}  // namespace
}  // namespace tickcheck
