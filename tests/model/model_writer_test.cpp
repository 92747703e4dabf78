#include "model/model_writer.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/expression_builder.h"
#include "model/profile.h"
#include "support/model_files.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::TempDir;

TEST(ExprTest, TreesWithoutVariablesFoldToOneConstant) {
  const ExpressionRecord record =
      Expr::Op(ExpType::kAdd, Expr::Const(2),
               Expr::Op(ExpType::kMultiply, Expr::Const(3), Expr::Negate(Expr::Const(4))))
          .Compile();
  EXPECT_EQ(record.bindingCount, 0);
  ASSERT_EQ(record.nodes.size(), 1u);
  EXPECT_EQ(record.nodes[0].value, -10);
  EXPECT_EQ(Expr::Not(Expr::Const(0)).Compile().nodes[0].value, 1);
  EXPECT_EQ(Expr::Op(ExpType::kDivide, Expr::Const(7), Expr::Const(0)).Compile().nodes[0].value, 0);
}

TEST(EncodeTest, RecordsAreLittleEndian) {
  ExpressionRecord record;
  record.bindingCount = 1;
  record.nodeCount = 1;
  record.root = -1;
  record.bindings = {{0, 0x01020304}};
  record.nodes = {{5, 6, 7, 8, 9}};
  const std::string bytes = EncodeExpressionRecord(record);
  ASSERT_EQ(bytes.size(), 12u + 8u + 20u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\0\0\0", 4));
  EXPECT_EQ(bytes.substr(8, 4), std::string("\xff\xff\xff\xff", 4));
  EXPECT_EQ(bytes.substr(16, 4), std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(bytes.substr(20, 4), std::string("\x05\0\0\0", 4));
}

ModelSpec SmallModel() {
  ModelSpec model = testing::FormatExampleModel();
  model.properties = {
      {.type = 0, .atoms = {{.negated = 0, .variable = 2, .bound = 1, .relation = 1}}}};
  return model;
}

TEST(ModelWriterTest, WritesEveryKeyTheLoadersRead) {
  TempDir dir;
  const std::string path = dir.File("model.txt");
  ASSERT_EQ(WriteModelFile(SmallModel(), path), "");
  EXPECT_EQ(ProfileInt("General", "ProcessNumber", path), 1);
  EXPECT_EQ(ProfileString("Variable", "Name2", path), "n");
  EXPECT_EQ(ProfileInt("Variable", "Max1", path), 10);
  EXPECT_EQ(ProfileString("Process1", "ProcessName", path), "P");
  EXPECT_EQ(ProfileInt("Location1", "ActiveClock1-1", path), 1);
  EXPECT_EQ(ProfileInt("Location1", "Location1.Var1.U", path), 5);
  EXPECT_EQ(ProfileInt("Location1", "Invariable2", path), 0);
  EXPECT_EQ(ProfileInt("Jump1", "exp1-2", path), 1);
  EXPECT_EQ(ProfileInt("Constraint2", "CmpExp-1", path), 3);
  EXPECT_EQ(ProfileInt("Property", "PropertyNum", path), 1);
  EXPECT_EQ(ProfileInt("Property1", "R1-1-1", path), 1);
  EXPECT_EQ(ProfileInt("Expressions", "TotalExpNum", path), 4);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  ASSERT_TRUE(LocateProfileValue(file.get(), "Expressions", "exp-2"));
  const std::string expected = EncodeExpressionRecord(Comparison(1, ExpType::kAtMost, 5));
  std::string read(expected.size(), '\0');
  ASSERT_EQ(std::fread(read.data(), 1, read.size(), file.get()), read.size());
  EXPECT_EQ(read, expected);
}

TEST(ModelWriterTest, UnsetFieldsAreLeftOut) {
  TempDir dir;
  const std::string path = dir.File("model.txt");
  ModelSpec model;
  model.processNumber = 2;
  model.variables = {{.name = "v"}};
  model.processes = {{}};
  ASSERT_EQ(WriteModelFile(model, path), "");
  EXPECT_EQ(ProfileInt("General", "ProcessNumber", path), 2);
  EXPECT_EQ(ProfileInt("Variable", "Type1", path), -1);
  EXPECT_EQ(ReadFile(path).find("[Process1]"), std::string::npos);
  EXPECT_EQ(ProfileInt("Expressions", "TotalExpNum", path), 0);
}

TEST(ModelWriterTest, ARecordThatLooksLikeASectionEndKeepsLaterKeysReadable) {
  TempDir dir;
  const std::string path = dir.File("model.txt");
  ModelSpec model;
  // 0x5B0A is a line feed followed by `[`: it ends the section for every later key in it.
  model.expressions = {{0, Expr::Const(0x5B0A).Compile()}, {1, Comparison(1, ExpType::kLess, 3)}};
  ASSERT_EQ(WriteModelFile(model, path), "");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  EXPECT_TRUE(LocateProfileValue(file.get(), "Expressions", "exp-1"));
}

TEST(ModelWriterTest, AKeyThatCannotReadBackFailsTheWrite) {
  TempDir dir;
  const std::string path = dir.File("model.txt");
  ModelSpec model;
  model.variables = {{.name = "two words", .type = 0}};
  const std::string error = WriteModelFile(model, path);
  EXPECT_NE(error.find("[Variable] Name1"), std::string::npos) << error;
  EXPECT_NE(WriteModelFile(SmallModel(), dir.File("no/such/dir/model.txt")), "");
}

}  // namespace
}  // namespace tickcheck
