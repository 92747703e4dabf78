#pragma once
// Models for the composition's tests, written with the model-file writer and loaded by the
// model loader, as a run sees them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "compose/composition.h"
#include "model/expression_builder.h"
#include "model/system.h"
#include "support/model_files.h"
#include "support/temp_dir.h"

namespace tickcheck::testing {

// A process of `locations` locations named l1, l2, ..., starting in location `init`.
inline ProcessSpec Process(int32_t locations, std::vector<JumpSpec> jumps = {}, int32_t init = 1) {
  ProcessSpec process;
  process.initLocation = init;
  for (int32_t l = 1; l <= locations; ++l)
    process.locations.push_back({.name = std::string("l").append(std::to_string(l))});
  process.jumps = std::move(jumps);
  return process;
}

// `processes` with what guards and assignments may name: the integer n (variable 1), the clocks
// x, y and z (variables 2 to 4), the expressions 0 to 2 and the guards 1 (n < 3) and 2 (n > 0).
inline ModelSpec Model(std::vector<ProcessSpec> processes) {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 7},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 7},
                     {.name = "z", .type = 1, .initValue = 0, .min = 0, .max = 7}};
  model.processes = std::move(processes);
  model.constraints = {{1}, {2}};
  model.expressions = {{0, Expr::Const(0).Compile()},
                       {1, Comparison(1, ExpType::kLess, 3)},
                       {2, Comparison(1, ExpType::kGreater, 0)}};
  return model;
}

// The location vector stored for `index`, as a vector (empty when none is stored).
inline std::vector<int32_t> Row(const CComposition& composition, int64_t index) {
  const auto row = composition.LocationVector(index);
  return {row.begin(), row.end()};
}

// A model written to a temporary file and loaded, with its location product computed.
class LoadedModel {
 public:
  explicit LoadedModel(const ModelSpec& model) {
    const std::string path = WriteModel(dir_, model);
    EXPECT_FALSE(LoadModelFile(system, path));
    system.computeLocationProduct();
  }

  // The line of CanCompose's refusal of the model, as a run prints it; empty when it accepts it.
  std::string Refusal() const {
    const std::optional<tickcheck::Refusal> refusal = CComposition::CanCompose(system);
    return refusal ? refusal->line + "\n" : "";
  }

  // The composition of an accepted model, as the driver builds it; its lines go to `messages`.
  std::unique_ptr<CComposition> Compose() const {
    EXPECT_EQ(Refusal(), "");
    return std::make_unique<CComposition>(system, messages);
  }

  CSystem system;
  mutable MessageLog messages;

 private:
  TempDir dir_;
};

}  // namespace tickcheck::testing
