#include "model/constraint.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Constraint sections hold plain integers, so these files are written as text.
std::vector<int32_t> Load(const std::string& contents, int32_t number) {
  TempDir dir;
  const std::string path = dir.File("model.txt");
  WriteFile(path, contents);
  std::vector<int32_t> list = {99, 98};
  LoadConstraint(number, ProfileIndex(path), list);
  return list;
}

TEST(ConstraintTest, ListsRunUntilTheFirstMissingKey) {
  EXPECT_EQ(Load("[Constraint2]\nCmpExp-1=0\nCmpExp-2=5\n", 2), (std::vector<int32_t>{0, 5}));
  EXPECT_EQ(Load("[Constraint2]\nCmpExp-1=4\nCmpExp-3=6\n", 2), (std::vector<int32_t>{4}));
  EXPECT_EQ(Load("[Constraint2]\nCmpExp-1=-1\nCmpExp-2=5\n", 2), (std::vector<int32_t>{}));
  EXPECT_EQ(Load("[Constraint2]\nCmpExp-1 = 4\n", 2), (std::vector<int32_t>{}));
  EXPECT_EQ(Load("[Constraint1]\nCmpExp-1=4\n", 2), (std::vector<int32_t>{}));
  EXPECT_EQ(Load("[Constraint12]\nCmpExp-1=4\n[Constraint1]\nCmpExp-1=3\n", 1),
            (std::vector<int32_t>{3}));
}

}  // namespace
}  // namespace tickcheck
