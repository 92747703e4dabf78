#include "driver/run.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "check/checker.h"
#include "compose/composition.h"
#include "expr/clock_bounds.h"
#include "expr/expression.h"
#include "model/console.h"
#include "model/system.h"
#include "statespace/ds_state.h"
#include "statespace/state_space.h"

namespace tickcheck {
namespace {

uint32_t MillisecondTicks() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The two reports, named by appending a fixed suffix to the model file path.
struct Reports {
  std::unique_ptr<std::FILE, FileCloser> manager;
  std::ofstream modelInfo;

  // Opens both reports, or writes the failure line and answers false.
  bool Open(const std::string& path) {
    manager.reset(std::fopen((path + "-----cuddManagerInfo.txt").c_str(), "w"));
    if (!manager) {
      ConsoleLine("ERROR! Can't open file!");
      return false;
    }
    const std::string modelInfoName = path + "------modelInfo.txt";
    modelInfo.open(modelInfoName, std::ios::out | std::ios::trunc);
    if (!modelInfo) {
      ConsoleLine("Error!Can not open file " + modelInfoName);
      return false;
    }
    return true;
  }

  void Close() {
    modelInfo.close();
    manager.reset();
  }
};

// Makes `system` the run's model for evaluation and forgets it when the run ends.
class ProcessWideModel {
 public:
  explicit ProcessWideModel(CSystem& system) {
    g_system = &system;
    SetValueLookup(&VariableValue);
  }
  ~ProcessWideModel() {
    SetEvaluationState(nullptr);
    g_system = nullptr;
  }
  ProcessWideModel(const ProcessWideModel&) = delete;
  ProcessWideModel& operator=(const ProcessWideModel&) = delete;
};

struct Options {
  bool noClockIntervals = false;     // "-n"
  bool checkTimeSuccessors = false;  // "-t"
};

// The options after the model path; anything else is ignored.
Options ReadOptions(int argc, const char* const argv[]) {
  Options options;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "-n")
      options.noClockIntervals = true;
    if (argument == "-t")
      options.checkTimeSuccessors = true;
  }
  return options;
}

// The composition of the loaded model, or null after one console line when the model cannot be
// composed or its tables cannot be allocated.
std::unique_ptr<CComposition> BuildComposition(const CSystem& system) {
  if (!CComposition::CanCompose(system))
    return nullptr;
  try {
    return std::make_unique<CComposition>(system, system.locationProduct,
                                          static_cast<int32_t>(system.processes.size()));
  } catch (const std::bad_alloc&) {
    ConsoleLine("ERROR! Model refused: not enough memory for the composition's tables of " +
                std::to_string(system.locationProduct) + " composed locations");
    return nullptr;
  }
}

int RunSequence(int argc, const char* const argv[]) {
  const uint32_t startTicks = MillisecondTicks();
  if (argc < 2) {
    ConsoleLine("Error! There must be a obj file path");
    return 1;
  }
  const std::string path = argv[1];
  ConsoleLine("obj file name:" + path);

  Reports reports;
  if (!reports.Open(path))
    return 1;
  ConsoleLine("sizeof(composition):" + std::to_string(sizeof(CComposition)));

  CSystem system;
  if (system.Load(path) == 1)
    return 1;
  system.LoadProperties(path);
  // Bounds below what the model compares make the verdicts unreliable, not the model invalid:
  // the user is told on standard error and the run goes on.
  for (const std::string& line : ClockBoundAnalysis(system).Shortfalls())
    std::cerr << line << '\n' << std::flush;
  system.computeLocationProduct();
  const ProcessWideModel model(system);

  const std::unique_ptr<CComposition> composition = BuildComposition(system);
  if (!composition)
    return 1;
  composition->printComposedTransitions(reports.modelInfo);

  const Options options = ReadOptions(argc, argv);
  CStateSpace space(system, *composition);
  Checker checker(space);
  if (checker.Check(reports.manager.get(), options.noClockIntervals, options.checkTimeSuccessors) ==
      0)
    return 1;
  space.PrintEncoding(reports.modelInfo);
  const uint32_t elapsed = MillisecondTicks() - startTicks;

  for (size_t i = 0; i < system.properties.size(); ++i) {
    ConsoleLine("property" + std::to_string(i + 1) + " : " + (space.propertyResult[i] ? "1" : "0"));
  }
  space.manager->DebugCheck(space.pastList);
  reports.Close();
  ConsoleLine("execute time:" + std::to_string(elapsed));
  ConsoleLine("transrule size:" + std::to_string(composition->transruleSize));
  return 0;
}

}  // namespace

int RunTickcheck(int argc, const char* const argv[]) {
  try {
    return RunSequence(argc, argv);
  } catch (const std::bad_alloc&) {
    // Memory ran out outside the decision diagrams (in the waiting lists, say): the run ends the
    // way it ends when the diagrams run out, after everything built so far was released.
    std::fputs("Out of memory.\n", stderr);
    return 1;
  }
}

}  // namespace tickcheck
