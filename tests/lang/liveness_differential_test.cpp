// Liveness queries on random models in the modelling language, decided three ways: by fixpoints
// over the whole state graph of the language's own explorer (support/language_explorer.h), by
// the same fixpoints over the graph of the compiled model file's explorer
// (support/liveness_reference.h), and by the checker's search for a lasso on the compiled model;
// with and without --no-zeno. A difference between the first two is a fault of the compiler or
// of an explorer, one with the third a fault of the search. The lassos that the binary prints
// for every tenth model replay (support/trace_replay.h).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "check/liveness.h"
#include "lang/compiler.h"
#include "support/environment.h"
#include "support/language_explorer.h"
#include "support/liveness_reference.h"
#include "support/model_run.h"
#include "support/process.h"
#include "support/random_language_models.h"
#include "support/trace_replay.h"

namespace tickcheck {
namespace {

constexpr size_t kStateLimit = 20000;

// Liveness queries over the formulas of `compiled`'s queries: E[] and A<> of each, and each
// leading to the next.
std::string LivenessQueries(const lang::Compilation& compiled) {
  std::vector<std::string> formulas;
  for (const lang::Query& query : compiled.queries)
    formulas.push_back(query.text.substr(4));  // after "E<> " or "A[] "
  std::string queries;
  for (size_t i = 0; i < formulas.size(); ++i) {
    queries += "E[] " + formulas[i] + "\nA<> " + formulas[i] + "\n" + formulas[i] + "\n  --> " +
               formulas[(i + 1) % formulas.size()] + "\n";
  }
  return queries;
}

TEST(LivenessDifferentialTest, RandomModelsAgreeWithTheFixpointsOfBothExplorers) {
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 60);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 0);
  int64_t compared = 0;
  int64_t satisfied = 0;
  int64_t tooLarge = 0;
  int64_t lassos = 0;
  for (int64_t k = 0; k < count; ++k) {
    const auto seed = static_cast<uint64_t>(first + k);
    const testing::RandomLanguageModel random = testing::MakeRandomLanguageModel(seed);
    std::vector<lang::Diagnostic> errors;
    const std::optional<lang::Compilation> plain = lang::Compile(
        {"random.tck", random.model}, lang::SourceFile{"random.q", random.queries}, errors);
    ASSERT_TRUE(plain) << (errors.empty() ? "" : errors[0].Format());
    const std::string queries = LivenessQueries(*plain);
    const std::string shown = "seed " + std::to_string(seed) + "\n" + random.model + "\n" + queries;
    const std::optional<lang::Compilation> compiled =
        lang::Compile({"random.tck", random.model}, lang::SourceFile{"random.q", queries}, errors);
    ASSERT_TRUE(compiled) << (errors.empty() ? "" : errors[0].Format()) << "\n" << shown;
    ASSERT_EQ(compiled->queries.size(), 3 * plain->queries.size()) << shown;

    testing::ModelRun run(compiled->model);
    for (const bool noZeno : {false, true}) {
      const testing::LanguageVerdicts truth =
          testing::ExploreLanguage(compiled->network, compiled->queries, kStateLimit, noZeno);
      const testing::ReferenceLiveness file =
          testing::DecideLivenessByFixpoints(run.system, run.composition(), noZeno, kStateLimit);
      if (!truth.complete || !file.complete) {
        ++tooLarge;
        break;
      }
      const LivenessResults search =
          DecideLiveness(run.system, run.composition().Messages(), noZeno, false, 0, {});
      ASSERT_EQ(search.end, LivenessResults::End::kComplete) << shown;
      ASSERT_EQ(search.verdicts.size(), truth.satisfied.size()) << shown;
      for (size_t q = 0; q < truth.satisfied.size(); ++q) {
        const std::string where = (noZeno ? "--no-zeno: " : "") + compiled->queries[q].text;
        EXPECT_EQ(file.verdicts[q], truth.satisfied[q]) << where << "\n" << shown;
        EXPECT_EQ(search.verdicts[q], truth.satisfied[q]) << where << "\n" << shown;
        satisfied += truth.satisfied[q] ? 1 : 0;
      }
      compared += static_cast<int64_t>(truth.satisfied.size());
      if (k % 10 == 0) {
        std::vector<std::string> arguments = {run.path, "--trace", "--json", "-"};
        if (noZeno)
          arguments.push_back("--no-zeno");
        const testing::ProcessResult replayed = testing::RunTickcheckBinary(arguments);
        const nlohmann::json document = nlohmann::json::parse(replayed.out);
        EXPECT_EQ(testing::ReplayDocument(run.path, document), "") << shown;
        for (const nlohmann::json& property : document["properties"])
          lassos += property["trace"].is_null() ? 0 : 1;
      }
    }
  }
  std::cout << compared << " liveness verdicts compared (" << satisfied << " satisfied), "
            << tooLarge << " models too large, " << lassos << " lassos replayed\n";
  EXPECT_GT(satisfied, compared / 10);
  EXPECT_LT(satisfied, compared * 9 / 10);
  EXPECT_GT(lassos, count / 10);
}

}  // namespace
}  // namespace tickcheck
