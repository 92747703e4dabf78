#pragma once
// A model written with the model-file writer, loaded, composed and given its state space, as a
// run of the driver builds them, for the tests of the state space and the search.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compose/composition.h"
#include "model/system.h"
#include "statespace/state_space.h"
#include "support/model_files.h"
#include "support/temp_dir.h"

namespace tickcheck::testing {

class ModelRun {
 public:
  explicit ModelRun(const ModelSpec& model) {
    path = WriteModel(dir_, model);
    console = CaptureConsole([&] {
      EXPECT_EQ(system.Load(path), 0);
      system.LoadProperties(path);
    });
    system.computeLocationProduct();
    EXPECT_TRUE(CComposition::CanCompose(system));
    composition = std::make_unique<CComposition>(system, system.locationProduct,
                                                 static_cast<int32_t>(system.processes.size()));
    space = std::make_unique<CStateSpace>(system, *composition);
  }
  ~ModelRun() {
    CaptureConsole([&] {
      space.reset();
      composition.reset();
    });
  }

  // Runs InitStateSpace and builds the initial state; `console` receives what they print.
  DsState Initial() {
    DsState state;
    console = CaptureConsole([&] {
      space->InitStateSpace();
      EXPECT_EQ(space->BuildInitialState(state), 1);
    });
    return state;
  }

  std::string path;
  std::string console;
  CSystem system;
  std::unique_ptr<CComposition> composition;
  std::unique_ptr<CStateSpace> space;

 private:
  TempDir dir_;
};

}  // namespace tickcheck::testing
