// The command line through the real binary: help and version, options anywhere on the line, and
// every argument that is not understood, each with its exit code and without a report written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::RunTickcheckBinary;
using testing::TempDir;
using testing::WithoutSummaryLine;
using testing::WithoutTimeLine;

const std::string kUsage = "Usage: tickcheck [OPTIONS] [model]\n";
const std::string kMore = "Run with --help for more information.\n";

struct Row {
  std::vector<std::string> arguments;
  int exitCode;
  std::string out;  // the whole standard output, or its beginning when `outPrefix`
  std::string err;
  bool outPrefix = false;
};

TEST(OptionsTest, AnsweredCommandLinesWriteNoReport) {
  const std::string help =
      "Checks the queries of a model in the modelling language (.tck, queries in .q) or the "
      "properties of a model file.\n" +
      kUsage;
  const std::string noPath = "Error! There must be a obj file path\n";
  const std::vector<Row> rows = {
      {{"--help"}, 0, help, "", true},
      {{"m.txt", "-h"}, 0, help, "", true},
      {{"--version"}, 0, "tickcheck " TICKCHECK_VERSION "\n", ""},
      {{}, 1, noPath, kUsage},
      {{"-n", "-t"}, 1, noPath, kUsage},
      {{"m.txt", "--exact"}, 2, "", "tickcheck: unknown option --exact\n" + kUsage + kMore},
      {{"-x", "m.txt"}, 2, "", "tickcheck: unknown option -x\n" + kUsage + kMore},
      {{"m.txt", "second.txt"},
       2,
       "",
       "tickcheck: one model file expected, but second.txt follows m.txt\n" + kUsage + kMore},
      {{"m.txt", "--json"}, 2, "", "tickcheck: --json: 1 required FILE missing\n" + kUsage + kMore},
      {{"m.txt", "--memory-limit", "0"},
       2,
       "",
       "tickcheck: --memory-limit: not a size: 0\n" + kUsage + kMore},
      {{"m.txt", "--memory-limit", "12X"},
       2,
       "",
       "tickcheck: --memory-limit: not a size: 12X\n" + kUsage + kMore},
      {{"m.txt", "--memory-limit", "17179869184T"},
       2,
       "",
       "tickcheck: --memory-limit: not a size: 17179869184T\n" + kUsage + kMore},
      {{"m.txt", "--time-limit", "-1"},
       2,
       "",
       "tickcheck: --time-limit: not a number of seconds: -1\n" + kUsage + kMore},
      {{"m.txt", "--time-limit", "1e3"},
       2,
       "",
       "tickcheck: --time-limit: not a number of seconds: 1e3\n" + kUsage + kMore},
  };
  for (const Row& row : rows) {
    TempDir dir;
    std::filesystem::copy_file(EXAMPLES_DIR "/fischer3-correct.txt", dir.File("m.txt"));
    const auto result = RunTickcheckBinary(row.arguments, dir.Path().string());
    const std::string shown = ::testing::PrintToString(row.arguments);
    EXPECT_EQ(result.exitCode, row.exitCode) << shown;
    EXPECT_EQ(row.outPrefix ? result.out.substr(0, row.out.size()) : result.out, row.out) << shown;
    EXPECT_EQ(result.err, row.err) << shown;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << shown;
  }
}

// Options may stand before and after the model path, be repeated or combined; "--" ends them.
TEST(OptionsTest, OptionsAnywhereOnTheLine) {
  TempDir dir;
  std::filesystem::copy_file(EXAMPLES_DIR "/fischer3-correct.txt", dir.File("m.txt"));
  std::filesystem::copy_file(EXAMPLES_DIR "/fischer3-correct.txt", dir.File("-n"));
  auto run = [&dir](const std::vector<std::string>& arguments) {
    const auto result = RunTickcheckBinary(arguments, dir.Path().string());
    EXPECT_EQ(result.exitCode, 0) << ::testing::PrintToString(arguments);
    return WithoutTimeLine(result.out);
  };
  const std::string plain = run({"m.txt"});
  const std::string exact = run({"m.txt", "-n"});
  EXPECT_NE(plain, exact);
  EXPECT_EQ(run({"-n", "m.txt"}), exact);
  EXPECT_EQ(run({"-n", "m.txt", "-n"}), exact);
  const std::string both = run({"m.txt", "-n", "-t"});
  EXPECT_EQ(run({"-t", "m.txt", "-n"}), both);
  EXPECT_EQ(run({"-nt", "m.txt"}), both);
  EXPECT_EQ(run({"--", "-n"}).rfind("obj file name:-n\n", 0), 0u);
}

}  // namespace
}  // namespace tickcheck
