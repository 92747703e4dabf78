// Random models in the modelling language, decided three ways: by an explorer of the language's
// semantics on the instantiated network, by an explorer of the compiled model file's semantics,
// and by the checker's language run in each of its modes (in this process: a run of the binary
// costs more than the model's check). The first two must always agree: a difference is a fault
// of the compiler (or of an explorer). The checker must agree with them too.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/language_run.h"
#include "lang/compiler.h"
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

// TICKCHECK_RANDOM_MODELS models (300 by default) from seed TICKCHECK_RANDOM_SEED (0) on.
int64_t EnvironmentNumber(const char* name, int64_t fallback) {
  const char* value = std::getenv(name);
  return value == nullptr || *value == '\0' ? fallback : std::strtoll(value, nullptr, 10);
}

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

class DifferentialTest : public ::testing::TestWithParam<int64_t> {};

TEST_P(DifferentialTest, CompiledModelsDecideQueriesAsTheSemantics) {
  int queries = 0;
  int modelErrors = 0;
  int tooLarge = 0;
  const int64_t count = EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 300);
  const int64_t first = EnvironmentNumber("TICKCHECK_RANDOM_SEED", 0);
  int64_t models = 0;
  for (int64_t k = GetParam(); k < count; k += kShards) {
    const auto seed = static_cast<uint64_t>(first + k);
    ++models;
    const testing::RandomLanguageModel random = testing::MakeRandomLanguageModel(seed);
    const std::string shown =
        "seed " + std::to_string(seed) + "\n" + random.model + "\n" + random.queries;
    std::vector<lang::Diagnostic> errors;
    const std::optional<lang::Compilation> compiled = lang::Compile(
        {"random.tck", random.model}, lang::SourceFile{"random.q", random.queries}, errors);
    ASSERT_TRUE(compiled) << (errors.empty() ? "" : errors[0].Format()) << "\n" << shown;
    const testing::LanguageVerdicts truth =
        testing::ExploreLanguage(compiled->network, compiled->queries, kStateLimit);
    if (!truth.complete) {
      ++tooLarge;
      continue;
    }
    modelErrors += truth.modelError ? 1 : 0;

    TempDir dir;
    ASSERT_EQ(WriteModelFile(compiled->model, dir.File("random.txt")), "");
    const testing::ModelVerdicts file =
        testing::ExploreModelFile(dir.File("random.txt"), kStateLimit);
    ASSERT_TRUE(file.complete) << shown;
    EXPECT_EQ(file.properties, truth.satisfied) << shown;
    // A query's error shows only while the query is undecided, which depends on the order of
    // the states.
    if (!truth.queryError) {
      EXPECT_EQ(file.rangeError || file.runTimeError, truth.modelError) << shown;
    }
    queries += static_cast<int>(truth.satisfied.size());

    testing::WriteFile(dir.File("random.tck"), random.model);
    testing::WriteFile(dir.File("random.q"), random.queries);
    for (size_t mode = 0; mode < kModes.size(); ++mode) {
      ExitCode exitCode = ExitCode::kFailure;
      ::testing::internal::CaptureStderr();  // the closing lines of every run
      const std::string out = testing::CaptureConsole([&] {
        exitCode = RunLanguageModel({.modelPath = dir.File("random.tck"),
                                     .noClockIntervals = kModes[mode].noClockIntervals,
                                     .checkTimeSuccessors = kModes[mode].checkTimeSuccessors});
      });
      const std::string err = ::testing::internal::GetCapturedStderr();
      ASSERT_TRUE(exitCode == ExitCode::kComplete || exitCode == ExitCode::kModelErrors)
          << err << shown;
      const std::vector<bool> verdicts = VerdictLines(out);
      ASSERT_EQ(verdicts.size(), truth.satisfied.size()) << out << shown;
      for (size_t q = 0; q < verdicts.size(); ++q) {
        EXPECT_EQ(verdicts[q], truth.satisfied[q])
            << kModes[mode].name << ": " << compiled->queries[q].text << "\n"
            << shown;
      }
      EXPECT_TRUE(exitCode == ExitCode::kComplete || truth.modelError || truth.queryError)
          << err << shown;
      EXPECT_EQ(err.find("Warning! process"), std::string::npos) << err << shown;
    }
  }
  std::cout << "shard " << GetParam() << ": " << models - tooLarge << " models (" << tooLarge
            << " too large), " << modelErrors << " with a model error, " << queries << " queries\n";
}

INSTANTIATE_TEST_SUITE_P(Shards, DifferentialTest, ::testing::Range<int64_t>(0, kShards));

}  // namespace
}  // namespace tickcheck
