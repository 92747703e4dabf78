// The JSON document of a run (--json FILE and --json -) through the real binary: its fields as
// the README documents them, and the same document on standard output with the console lines
// moved to standard error.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "model/expression_builder.h"
#include "support/json_schema.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using nlohmann::json;
using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;

std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items())
    keys.push_back(item.key());
  return keys;
}

// The fields that differ between runs of the same model.
json WithoutTimes(json document) {
  for (const char* key : {"seconds", "states_per_second", "peak_rss_bytes"})
    document["statistics"].erase(key);
  return document;
}

TEST(JsonDocumentTest, VerdictsErrorsAndStatistics) {
  TempDir dir;
  ModelSpec model = FischerModel(3, 2, 1);
  // An atom with relation code 7 never holds: the run has a model error.
  model.properties.push_back(
      {.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 1, .relation = 7}}});
  testing::WriteModel(dir, model, "m.txt");
  const auto result =
      RunTickcheckBinary({"m.txt", "-t", "--json", "run.json"}, dir.Path().string());
  EXPECT_EQ(result.exitCode, 3);
  const std::string text = ReadFile(dir.File("run.json"));
  const json document = json::parse(text);
  // Keys in the documented order.
  const auto ordered = nlohmann::ordered_json::parse(text);
  EXPECT_EQ(Keys(ordered), (std::vector<std::string>{"tickcheck", "model", "options", "interrupted",
                                                     "limit", "properties", "model_errors",
                                                     "statistics", "input", "queries", "names"}));
  EXPECT_EQ(document["input"], "model file");
  EXPECT_EQ(document["queries"], json::array());
  EXPECT_EQ(document["names"]["processes"], json::parse(R"(["P1", "P2", "P3"])"));
  EXPECT_EQ(document["names"]["variables"], json::parse(R"(["id", "x1", "x2", "x3"])"));
  EXPECT_EQ(document["tickcheck"], TICKCHECK_VERSION);
  EXPECT_EQ(document["model"], "m.txt");
  EXPECT_EQ(document["options"],
            json::parse(
                R"({"no_clock_intervals": false, "check_time_successors": true, "trace": false,
                     "no_zeno": false})"));
  EXPECT_EQ(document["interrupted"], false);
  EXPECT_EQ(document["properties"], json::parse(R"([
      {"number": 1, "type": 0, "verdict": 1, "trace": null},
      {"number": 2, "type": 0, "verdict": 1, "trace": null},
      {"number": 3, "type": 1, "verdict": 1, "trace": null},
      {"number": 4, "type": 0, "verdict": 0, "trace": null}])"));
  EXPECT_EQ(document["model_errors"], json::parse(R"({"refused_expression_records": 0,
      "invalid_atom_relations": 1, "misfit_variables": 0, "unheard_broadcasts": 0,
      "short_clock_bounds": 0})"));
  const json& statistics = document["statistics"];
  EXPECT_EQ(Keys(ordered["statistics"]),
            (std::vector<std::string>{"stored_states", "transitions_fired", "sweeps",
                                      "waiting_entries", "seconds", "states_per_second",
                                      "peak_rss_bytes", "transrule_size"}));
  const std::string stored = "DsState Number in pastList:\t" +
                             std::to_string(statistics["stored_states"].get<int64_t>()) + "\n";
  EXPECT_NE(result.out.find(stored), std::string::npos) << result.out;
  const std::string rules =
      "transrule size:" + std::to_string(statistics["transrule_size"].get<int64_t>()) + "\n";
  EXPECT_NE(result.out.find(rules), std::string::npos) << result.out;
  EXPECT_GT(statistics["transitions_fired"], 0);
  EXPECT_GT(statistics["peak_rss_bytes"], 0);

  // With --trace, the properties found reachable carry their traces (support/trace_replay.h
  // replays them); the others keep null. Nothing else changes.
  const auto traced =
      RunTickcheckBinary({"m.txt", "-t", "--trace", "--json", "run.json"}, dir.Path().string());
  EXPECT_EQ(traced.exitCode, 3);
  const std::string tracedText = ReadFile(dir.File("run.json"));
  json tracedDocument = json::parse(tracedText);
  EXPECT_EQ(tracedDocument["options"]["trace"], true);
  const auto orderedTrace = nlohmann::ordered_json::parse(tracedText)["properties"][0]["trace"];
  EXPECT_EQ(Keys(orderedTrace), (std::vector<std::string>{"initial", "steps"}));
  EXPECT_EQ(Keys(orderedTrace["initial"]),
            (std::vector<std::string>{"locations", "integers", "clocks", "location_names"}));
  EXPECT_EQ(Keys(orderedTrace["steps"][0]), (std::vector<std::string>{"delay", "jumps", "state"}));
  for (size_t k : {0U, 1U}) {
    json& trace = tracedDocument["properties"][k]["trace"];
    EXPECT_EQ(trace["initial"], json::parse(R"({"locations": [1, 1, 1], "integers": {"id": 0},
        "clocks": {}, "location_names": ["idle", "idle", "idle"]})"));
    EXPECT_EQ(trace["steps"][0]["jumps"], json::parse(R"([{"process": 1, "from": 1, "to": 2,
        "jump": 1, "process_name": "P1", "from_name": "idle", "to_name": "req",
        "select": {}, "added": false}])"));
    trace = nullptr;
  }
  tracedDocument["options"]["trace"] = false;
  EXPECT_EQ(WithoutTimes(tracedDocument), WithoutTimes(document));

  // The same document on standard output; the console lines and the closing lines on standard
  // error, in the order the run wrote them.
  const auto piped = RunTickcheckBinary({"--json", "-", "m.txt", "-t"}, dir.Path().string());
  EXPECT_EQ(piped.exitCode, 3);
  EXPECT_EQ(WithoutTimes(json::parse(piped.out)), WithoutTimes(document));
  EXPECT_EQ(testing::WithoutTimeLine(testing::WithoutSummaryLine(piped.err)),
            testing::WithoutTimeLine(result.out) + testing::WithoutSummaryLine(result.err));
}

// The documents of model files, of models in the language, of XML documents and of XTA files, with
// and without traces, against the schema that the README documents.
TEST(JsonDocumentTest, DocumentsOfEveryInputSatisfyTheDocumentedSchema) {
  const json schema = testing::JsonBlockAfter(README_FILE, "### JSON schema");
  ASSERT_TRUE(schema.is_object());
  const std::vector<std::vector<std::string>> runs = {
      {EXAMPLES_DIR "/fischer3-correct.txt"},
      {EXAMPLES_DIR "/train-gate.txt", "--trace", "-n"},
      {EXAMPLES_DIR "/fischer.tck"},
      {EXAMPLES_DIR "/fischer-incorrect.tck", "--trace"},
      {EXAMPLES_DIR "/csma-cd.tck", "--trace", "-t"},
      {EXAMPLES_DIR "/pulse.tck", "--trace"},
      {EXAMPLES_DIR "/fischer.xml", "--trace"},
      {EXAMPLES_DIR "/train-gate-queue.xml", "--compact-trace"},
      {EXAMPLES_DIR "/csma-cd.xml", "--trace", "-n"},
      {TEST_DATA_DIR "/xta/fischer.xta", "--trace"}};
  for (std::vector<std::string> arguments : runs) {
    arguments.insert(arguments.end(), {"--json", "-"});
    const auto result = RunTickcheckBinary(arguments);
    EXPECT_EQ(result.exitCode, 0) << arguments[0] << result.err;
    const json document = json::parse(result.out);
    EXPECT_EQ(testing::SchemaFaults(schema, document), std::vector<std::string>{}) << arguments[0];
  }
  // The validator finds what the schema forbids.
  json broken = json::parse(RunTickcheckBinary({EXAMPLES_DIR "/fischer.tck", "--json", "-"}).out);
  broken["queries"][0]["satisfied"] = 1;
  broken["extra"] = 0;
  EXPECT_EQ(
      testing::SchemaFaults(schema, broken),
      (std::vector<std::string>{": the member extra is not in the schema",
                                "/queries/0/satisfied: 1 is not of type [\"boolean\",\"null\"]"}));
}

// A model in the language: its queries with their verdicts, the properties that decide them and
// the traces that show a satisfied E<> query and a violated leads-to (a lasso with its cycle), in
// the names of the source.
TEST(JsonDocumentTest, QueriesOfALanguageModel) {
  const auto result =
      RunTickcheckBinary({EXAMPLES_DIR "/fischer-incorrect.tck", "--trace", "--json", "-"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  // The verdict lines go to standard error, before the closing lines.
  EXPECT_LT(result.err.find("E<> P(1).cs && P(2).cs  -- satisfied\n"), result.err.find("summary:"))
      << result.err;
  const json document = json::parse(result.out);
  EXPECT_EQ(document["input"], "language");
  EXPECT_EQ(document["model"], EXAMPLES_DIR "/fischer-incorrect.tck");
  const json& queries = document["queries"];
  ASSERT_EQ(queries.size(), 5u);
  EXPECT_EQ(queries[0]["text"], "E<> P(1).cs && P(2).cs");
  EXPECT_EQ(queries[2]["text"], "A[] id <= N");
  EXPECT_EQ(queries[3]["text"], "P(1).req --> P(1).cs");
  for (const size_t q : {0, 1, 2, 4})
    EXPECT_EQ(queries[q]["satisfied"], true) << queries[q]["text"];
  EXPECT_EQ(queries[3]["satisfied"], false);
  EXPECT_EQ(queries[2]["trace"], nullptr);
  EXPECT_EQ(queries[4]["trace"], nullptr);
  EXPECT_FALSE(queries[3]["trace"]["cycle"].empty());
  EXPECT_EQ(document["properties"][3]["liveness"], "-->");
  const json& trace = queries[0]["trace"];
  ASSERT_TRUE(trace.is_object());
  const json& last = trace["steps"].back()["state"]["location_names"];
  EXPECT_EQ(last[0], "cs");
  EXPECT_EQ(last[1], "cs");
  EXPECT_EQ(trace["steps"][0]["jumps"][0]["process_name"], "P(1)");
  // The properties named by a query are the compiled model file's.
  for (const json& query : queries) {
    for (const json& number : query["properties"])
      EXPECT_EQ(document["properties"][number.get<size_t>() - 1]["number"], number);
  }
}

TEST(JsonDocumentTest, AFileThatCannotBeWrittenEndsTheRunBeforeItBegins) {
  TempDir dir;
  std::filesystem::copy_file(EXAMPLES_DIR "/fischer3-correct.txt", dir.File("m.txt"));
  std::filesystem::create_directory(dir.File("out"));
  const auto result = RunTickcheckBinary({"m.txt", "--json", "out"}, dir.Path().string());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "tickcheck: cannot write out: is a directory\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

}  // namespace
}  // namespace tickcheck
