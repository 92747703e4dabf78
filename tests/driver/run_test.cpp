#include <gtest/gtest.h>

#include <filesystem>

#include "model/expression_builder.h"
#include "support/model_files.h"
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

ModelSpec OneProcessModel() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .max = 3}};
  model.processes = {{.name = "P", .initLocation = 1, .locations = {{.name = "only"}}}};
  model.expressions = {{0, Expr::Const(1).Compile()}, {1, Comparison(1, ExpType::kLess, 3)}};
  return model;
}

TEST(RunTest, TheLoaderReportsTheExpressionCount) {
  TempDir dir;
  const std::string model = testing::WriteModel(dir, OneProcessModel());
  const auto result = RunTickcheckBinary({model});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out.rfind("obj file name:" + model + "\nexpNum:2\n", 0), 0u) << result.out;
}

TEST(RunTest, ARefusedModelEndsWithExitCodeOneAndEmptyReports) {
  TempDir dir;
  ModelSpec bad = OneProcessModel();
  bad.variables.push_back({.name = "odd", .type = 7});
  const std::string model = testing::WriteModel(dir, bad);
  const auto result = RunTickcheckBinary({model});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "obj file name:" + model + "\nVariable Type Error!\ndestruct system\n");
  EXPECT_EQ(ReadFile(model + "------modelInfo.txt"), "");
  EXPECT_EQ(ReadFile(model + "-----cuddManagerInfo.txt"), "");

  ModelSpec unknownClock = OneProcessModel();
  unknownClock.processes[0].locations[0].activeClocks = {{4, 0, 0}};
  const std::string second = testing::WriteModel(dir, unknownClock, "second.txt");
  const auto refused = RunTickcheckBinary({second});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out,
            "obj file name:" + second +
                "\nERROR! Model refused: [Location1] ActiveClock1-1=4: no such variable\n"
                "destruct system\n");
}

}  // namespace
}  // namespace tickcheck
