#pragma once
// Model files for tests, always written with the project's model-file writer.

#include <string>

#include <gtest/gtest.h>
#include "model/model_writer.h"

#include "support/temp_dir.h"

namespace tickcheck::testing {

// Writes `model` as `name` inside `dir` and returns its path; a writer error fails the test.
std::string WriteModel(const TempDir& dir, const ModelSpec& model,
                       const std::string& name = "model.txt");

// The example of the file format: a clock x (id 1), an integer n (id 2), one process with
// locations idle and busy and one jump idle -> busy guarded by constraint 2; no properties.
ModelSpec FormatExampleModel();

// Runs `action` and returns what it wrote to standard output.
template <typename Action>
std::string CaptureConsole(Action&& action) {
  ::testing::internal::CaptureStdout();
  action();
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace tickcheck::testing
