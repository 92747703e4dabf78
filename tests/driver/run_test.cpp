#include <gtest/gtest.h>

#include <filesystem>

#include "support/process.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;
using testing::WithoutTimeLine;

TEST(RunTest, NoModelPathIsRefused) {
  const auto result = RunTickcheckBinary({});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "Error! There must be a obj file path\n");
}

TEST(RunTest, MissingModelFileRunsAsAnEmptyModel) {
  TempDir dir;
  const std::string model = dir.File("m.txt");
  const auto result = RunTickcheckBinary({model});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(model + "------modelInfo.txt"));
  EXPECT_TRUE(std::filesystem::exists(model + "-----cuddManagerInfo.txt"));
  EXPECT_EQ(result.out.rfind("obj file name:" + model + "\n", 0), 0u) << result.out;
  EXPECT_NE(result.out.find("\nexecute time:"), std::string::npos);
  const std::string tail = "destruct system\n";
  ASSERT_GE(result.out.size(), tail.size());
  EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
}

TEST(RunTest, TheFirstArgumentIsAlwaysTheModelPath) {
  TempDir dir;
  const auto result = RunTickcheckBinary({"-n"}, dir.Path().string());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out.rfind("obj file name:-n\n", 0), 0u);
  EXPECT_TRUE(std::filesystem::exists(dir.File("-n------modelInfo.txt")));
}

TEST(RunTest, ManagerReportThatCannotBeCreatedEndsTheRun) {
  TempDir dir;
  const std::string model = dir.File("missing-dir/m.txt");
  const auto result = RunTickcheckBinary({model});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "obj file name:" + model + "\nERROR! Can't open file!\n");
}

TEST(RunTest, ModelReportThatCannotBeCreatedEndsTheRunAndLeavesNothingWritten) {
  TempDir dir;
  const std::string model = dir.File("m.txt");
  std::filesystem::create_directory(model + "------modelInfo.txt");
  const auto result = RunTickcheckBinary({model});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "obj file name:" + model + "\nError!Can not open file " + model +
                            "------modelInfo.txt\n");
  EXPECT_EQ(ReadFile(model + "-----cuddManagerInfo.txt"), "");
}

}  // namespace
}  // namespace tickcheck
