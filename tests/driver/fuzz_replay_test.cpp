// Replays the model files on which the whole-run fuzz target once failed (tests/data/fuzz/run,
// kept as the raw bytes the fuzzer produced) through the real binary, with the options that
// target chose from the same bytes. Each run must end by itself with exit code 0, 1 or 3 (a model
// with errors) and write nothing to standard error but its own "tickcheck: " lines, warnings
// about clock bounds and the closing summary: no sanitizer report, no failure of the
// decision-diagram library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;

std::vector<std::string> FuzzInputs() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(TEST_DATA_DIR "/fuzz/run"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The fuzz target's rule: the sum of the bytes modulo 4 gives none, "-n", "-t" or both.
std::vector<std::string> OptionsFor(const std::string& bytes) {
  unsigned sum = 0;
  for (const char byte : bytes)
    sum += static_cast<unsigned char>(byte);
  std::vector<std::string> options;
  if (sum % 4 & 1u)
    options.push_back("-n");
  if (sum % 4 & 2u)
    options.push_back("-t");
  return options;
}

class FuzzReplayTest : public ::testing::TestWithParam<std::string> {};

// Standard error without the lines that the run itself writes there.
std::string Unexpected(const std::string& err) {
  std::istringstream in(err);
  std::string line;
  std::string kept;
  while (std::getline(in, line)) {
    if (line.rfind("tickcheck: ", 0) != 0 && line.rfind("summary: ", 0) != 0 &&
        line.rfind("Warning! process ", 0) != 0)
      kept += line + '\n';
  }
  return kept;
}

TEST_P(FuzzReplayTest, EndsByItselfAndWritesNoUnexpectedError) {
  const std::string bytes = ReadFile(TEST_DATA_DIR "/fuzz/run/" + GetParam());
  // A copy, so that the reports written next to the model stay out of the source tree.
  TempDir dir;
  const std::string model = dir.File("model.txt");
  testing::WriteFile(model, bytes);
  std::vector<std::string> arguments{model};
  for (const std::string& option : OptionsFor(bytes))
    arguments.push_back(option);
  const auto result = RunTickcheckBinary(arguments, "", 0, 120);
  EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1 || result.exitCode == 3)
      << "exit code " << result.exitCode << "\n"
      << result.err;
  EXPECT_EQ(Unexpected(result.err), "");
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplayTest, ::testing::ValuesIn(FuzzInputs()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tickcheck
