#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compose/composition.h"
#include "model/expression_builder.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;

const std::string kSizeLine = "sizeof(composition):" + std::to_string(sizeof(CComposition)) + "\n";

// A report that cannot be written ends the run before the model is loaded; nothing is created.
TEST(RunTest, AReportThatCannotBeWrittenEndsTheRun) {
  for (const auto& [suffix, line] :
       {std::pair<std::string, std::string>{"-----cuddManagerInfo.txt", "ERROR! Can't open file!"},
        {"------modelInfo.txt", "Error!Can not open file m.txt------modelInfo.txt"}}) {
    TempDir dir;
    std::filesystem::copy_file(EXAMPLES_DIR "/fischer3-correct.txt", dir.File("m.txt"));
    std::filesystem::create_directory(dir.File("m.txt" + suffix));
    const auto result = RunTickcheckBinary({"m.txt"}, dir.Path().string());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "obj file name:m.txt\n" + line + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << suffix;
  }
}

ModelSpec OneProcessModel() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .max = 3}};
  model.processes = {{.name = "P", .initLocation = 1, .locations = {{.name = "only"}}}};
  model.expressions = {{0, Expr::Const(1).Compile()}, {1, Comparison(1, ExpType::kLess, 3)}};
  return model;
}

// Refused by the loader or before the composition: the run ends with its line and empty reports.
TEST(RunTest, ARefusedModelEndsWithExitCodeOneAndEmptyReports) {
  ModelSpec badType = OneProcessModel();
  badType.variables.push_back({.name = "odd", .type = 7});
  ModelSpec badInit = OneProcessModel();
  badInit.processes[0].initLocation = 7;
  for (const auto& [model, lines] :
       {std::pair<ModelSpec, std::string>{badType, "Variable Type Error!\n"},
        {badInit,
         "expNum:2\nERROR! Model refused: [Process1] InitLocation=7: process 1 has 1 "
         "location\n"}}) {
    TempDir dir;
    const std::string path = testing::WriteModel(dir, model);
    const auto result = RunTickcheckBinary({path});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "obj file name:" + path + "\n" + kSizeLine + lines + "destruct system\n");
    EXPECT_EQ(ReadFile(path + "------modelInfo.txt"), "");
    EXPECT_EQ(ReadFile(path + "-----cuddManagerInfo.txt"), "");
  }
}

TEST(RunTest, AProductOfLocationCountsBeyond32BitsIsCheckedInTheMemoryOfItsReachablePart) {
  // 2^40 composed locations, of which 4 are reachable: the first and the last process may each
  // move once. Within 512 MiB of address space (not limited under the address sanitizer, whose
  // shadow memory needs an unlimited address space).
#if defined(__SANITIZE_ADDRESS__)
  constexpr uint64_t kAddressSpace = 0;
#else
  constexpr uint64_t kAddressSpace = uint64_t{512} << 20;
#endif
  TempDir dir;
  ModelSpec large = OneProcessModel();
  large.processes.assign(40, {.initLocation = 1, .locations = {{.name = "a"}, {.name = "b"}}});
  large.processes.front().jumps = {{.from = 1, .to = 2}};
  large.processes.back().jumps = {{.from = 1, .to = 2}};
  const auto in = [](int32_t process) {
    return AtomSpec{.negated = 0, .variable = -process, .bound = 2};
  };
  large.properties = {{.type = 0, .atoms = {in(1), in(40)}}, {.type = 0, .atoms = {in(2)}}};
  const std::string model = testing::WriteModel(dir, large);
  const auto result = RunTickcheckBinary({model}, "", kAddressSpace);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("DsState Number in pastList:\t4\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("property1 : 1\nproperty2 : 0\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("transrule size:4\n"), std::string::npos) << result.out;
}

// Fischer's protocol for 8 processes stores millions of states with -n: far more than 24 MiB of
// address space holds, wherever the memory runs out.
TEST(RunTest, ASearchThatRunsOutOfMemoryEndsWithOneLineAndExitCodeOne) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs an unlimited address space";
#else
  TempDir dir;
  const std::string model = testing::WriteModel(dir, FischerModel(8, 2, 2));
  const auto result = RunTickcheckBinary({model, "-n"}, "", uint64_t{24} << 20);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "Out of memory.\n");
  EXPECT_EQ(result.out.find("property1"), std::string::npos);
#endif
}

// Bounds below what a location compares are reported on standard error, once per location; the
// run goes on and standard output keeps its lines.
TEST(RunTest, ClockBoundsBelowWhatTheModelComparesAreReportedOnStandardError) {
  TempDir dir;
  ModelSpec model = OneProcessModel();
  model.variables.push_back({.name = "x", .type = 1, .initValue = 0, .max = 3});
  model.processes[0].jumps = {{.from = 1, .to = 1, .guard = 1, .syn = 0, .synType = 0}};
  model.expressions[2] = Comparison(2, ExpType::kAtLeast, 2);
  model.constraints = {{2}};
  model.properties = {{.type = 1, .atoms = {{.negated = 0, .variable = -1, .bound = 1}}}};
  model.processes[0].locations[0].activeClocks = {{2, 2, -1}};
  const std::string sufficient = testing::WriteModel(dir, model, "sufficient.txt");
  model.processes[0].locations[0].activeClocks = {{2, {}, {}}};
  const std::string missing = testing::WriteModel(dir, model, "missing.txt");
  const auto good = RunTickcheckBinary({"sufficient.txt"}, dir.Path().string());
  const auto bad = RunTickcheckBinary({"missing.txt"}, dir.Path().string());
  EXPECT_EQ(good.err.find("Warning"), std::string::npos);
  EXPECT_EQ(good.exitCode, 0);
  EXPECT_EQ(bad.err.substr(0, bad.err.find("summary: ")),
            "Warning! process 1 (P) location 1 (only): clock bounds below the largest constants "
            "compared before a reset: x L=-1 needs 2; verdicts may be wrong\n"
            "tickcheck: the model had errors (locations with clock bounds below what they "
            "compare: 1); the verdicts may not hold\n");
  EXPECT_EQ(bad.exitCode, 3);
  EXPECT_EQ(bad.out.find("Warning"), std::string::npos);
  EXPECT_NE(bad.out.find("\nproperty1 : 1\n"), std::string::npos) << bad.out;
}

// Regression: the delays of a waiting entry were all made before any was tested, so an entry
// standing for two billion delays took more memory than the machine has, although one clock
// interval holds all of them but the first.
TEST(RunTest, ADelayRunOfTwoBillionStatesInOneIntervalIsDecidedInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs an unlimited address space";
#else
  constexpr int32_t kBound = 2000000000;
  ModelSpec model;
  model.variables = {{.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 2147483647},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = kBound}};
  model.expressions = {{0, Expr::Const(0).Compile()}, {1, Comparison(1, ExpType::kAtLeast, 0)}};
  model.constraints = {{1}};
  // The self-loop resets x and lets y run on: its successor stands for every delay up to the
  // bound, and y's interval in location a reaches the bound.
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{1, 0, kBound}, {2, 0, kBound}}}},
       .jumps = {{.from = 1, .to = 1, .guard = 1, .syn = 0, .assignments = {{1, 0}}}}}};
  model.properties = {{.type = 1, .atoms = {AtomSpec{.negated = 0, .variable = -1, .bound = 1}}}};
  testing::TempDir dir;
  const std::string path = testing::WriteModel(dir, model);
  const auto result = testing::RunTickcheckBinary({path}, "", uint64_t{512} << 20);
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("\nDsState Number in pastList:\t2\nproperty1 : 1\n"), std::string::npos)
      << result.out;
#endif
}

}  // namespace
}  // namespace tickcheck
