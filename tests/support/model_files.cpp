#include "support/model_files.h"

#include <gtest/gtest.h>

namespace tickcheck::testing {

std::string WriteModel(const TempDir& dir, const ModelSpec& model, const std::string& name) {
  const std::string path = dir.File(name);
  const std::string error = WriteModelFile(model, path);
  EXPECT_EQ(error, "") << "the model-file writer failed";
  return path;
}

}  // namespace tickcheck::testing
