// Replays the inputs on which a fuzz target once failed, kept as the raw bytes the fuzzer produced,
// through the real binary with the arguments that target gives them: model files of the
// whole-run target (tests/data/fuzz/run, with the options it chose from the same bytes), sources
// of the language target (tests/data/fuzz/language: the model, then after a NUL byte its
// queries) and documents of the XML target (tests/data/fuzz/xml). Each run must end by itself
// with exit code 0, 1 or 3 (a model with errors) and write nothing to standard error but its
// own "tickcheck: " lines, errors at a place in the model (FILE:LINE:COL), warnings about clock
// bounds, the checker's problem lines and the closing summary: no sanitizer report, no failure
// of the decision-diagram library.
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

// Every input, as "<target>/<file>".
std::vector<std::string> FuzzInputs() {
  std::vector<std::string> names;
  for (const char* target : {"run", "language", "xml"}) {
    const std::filesystem::path folder = std::filesystem::path(TEST_DATA_DIR "/fuzz") / target;
    if (!std::filesystem::is_directory(folder))
      continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(std::string(target) + "/" + entry.path().filename().string());
  }
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

// Standard error without the lines that the run itself writes there; errors at a place in the
// model name its files, which lie in `dir`.
std::string Unexpected(const std::string& err, const std::string& dir) {
  std::istringstream in(err);
  std::string line;
  std::string kept;
  while (std::getline(in, line)) {
    const bool own = line.starts_with("tickcheck: ") || line.starts_with("summary: ") ||
                     line.starts_with("traces: ") || line.starts_with("Warning! process ") ||
                     line.starts_with("ERROR! ") || line.starts_with("Error: ") ||
                     line.starts_with(dir);
    if (!own)
      kept += line + '\n';
  }
  return kept;
}

// The arguments that the fuzz target of `target` gives `bytes`, with the files it writes in `dir`.
std::vector<std::string> ArgumentsFor(const std::string& target, const std::string& bytes,
                                      const TempDir& dir) {
  if (target == "xml") {
    testing::WriteFile(dir.File("model.xml"), bytes);
    return {dir.File("model.xml"), "--emit-model", dir.File("emitted.txt")};
  }
  if (target == "language") {
    const size_t nul = bytes.find('\0');
    testing::WriteFile(dir.File("model.tck"), bytes.substr(0, nul));
    if (nul == std::string::npos)
      return {dir.File("model.tck"), "--emit-model", dir.File("emitted.txt")};
    testing::WriteFile(dir.File("model.q"), bytes.substr(nul + 1));
    return {dir.File("model.tck"), "-q", dir.File("model.q")};
  }
  testing::WriteFile(dir.File("model.txt"), bytes);
  std::vector<std::string> arguments{dir.File("model.txt")};
  for (const std::string& option : OptionsFor(bytes))
    arguments.push_back(option);
  return arguments;
}

TEST_P(FuzzReplayTest, EndsByItselfAndWritesNoUnexpectedError) {
  const std::string bytes = ReadFile(TEST_DATA_DIR "/fuzz/" + GetParam());
  // Copies, so that the reports written next to the model stay out of the source tree.
  TempDir dir;
  const std::vector<std::string> arguments =
      ArgumentsFor(GetParam().substr(0, GetParam().find('/')), bytes, dir);
  const auto result = RunTickcheckBinary(arguments, "", 0, 120);
  EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1 || result.exitCode == 3)
      << "exit code " << result.exitCode << "\n"
      << result.err;
  EXPECT_EQ(Unexpected(result.err, dir.Path().string()), "");
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
