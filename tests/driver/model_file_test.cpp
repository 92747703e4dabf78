// Paths that name no model file: one line on standard error naming the file and the reason, exit
// code 1, nothing on standard output and nothing written. Before, each ran as an empty model and
// ended with exit code 0.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::RunTickcheckBinary;
using testing::TempDir;
using testing::WriteFile;

const std::string kNoHeader =
    "is not a model file: no line in it is a section header such as [General]";

struct Row {
  std::string path;
  std::function<void(const TempDir&)> make;
  std::string reason;
};

size_t Entries(const TempDir& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
}

TEST(ModelFileTest, APathThatNamesNoModelFileFailsWithoutWritingAnything) {
  std::vector<Row> rows = {
      {"missing.txt", [](const TempDir&) {}, "No such file or directory"},
      {"models", [](const TempDir& d) { std::filesystem::create_directory(d.File("models")); },
       "is a directory"},
      {"empty.txt", [](const TempDir& d) { WriteFile(d.File("empty.txt"), ""); }, "is empty"},
      {"README.md",
       [](const TempDir& d) {
         WriteFile(d.File("README.md"), "# Models\n\nSee [the guide](guide.md).\n  key=value\n");
       },
       kNoHeader},
      // The binary holds a line that looks like a header, but NUL bytes come first.
      {"program",
       [](const TempDir& d) { std::filesystem::copy_file(TICKCHECK_BINARY, d.File("program")); },
       "is not a model file: it holds binary data before any section header"},
      {"pipe", [](const TempDir& d) { ASSERT_EQ(mkfifo(d.File("pipe").c_str(), 0600), 0); },
       "is not a regular file"},
      {"empty.txt/model.txt", [](const TempDir& d) { WriteFile(d.File("empty.txt"), ""); },
       "Not a directory"},
  };
  // Permissions do not bind the superuser.
  if (geteuid() != 0) {
    rows.push_back({"locked.txt",
                    [](const TempDir& d) {
                      WriteFile(d.File("locked.txt"), "[General]\nProcessNumber=0\n");
                      std::filesystem::permissions(d.File("locked.txt"),
                                                   std::filesystem::perms::none);
                    },
                    "Permission denied"});
  }
  for (const Row& row : rows) {
    TempDir dir;
    row.make(dir);
    const size_t before = Entries(dir);
    const auto result = RunTickcheckBinary({row.path}, dir.Path().string());
    EXPECT_EQ(result.exitCode, 1) << row.path;
    EXPECT_EQ(result.out, "") << row.path;
    EXPECT_EQ(result.err, "tickcheck: " + row.path + ": " + row.reason + "\n");
    EXPECT_EQ(Entries(dir), before) << row.path;
  }
}

// A file with a section header is a model file even when the loader knows none of its sections:
// it describes the empty model.
TEST(ModelFileTest, AFileWithAnySectionHeaderIsAModelFile) {
  for (const std::string& bytes :
       {std::string("[Notes]\nauthor=me\n"), std::string("; written by hand\n\n \t[General]  \r\n"),
        std::string("[Expressions]\nexp-0=\0\0\0\0", 13)}) {
    TempDir dir;
    WriteFile(dir.File("m.txt"), bytes);
    const auto result = RunTickcheckBinary({"m.txt"}, dir.Path().string());
    EXPECT_EQ(result.exitCode, 0) << bytes;
    EXPECT_EQ(result.out.rfind("obj file name:m.txt\n", 0), 0u) << result.out;
    EXPECT_TRUE(std::filesystem::exists(dir.File("m.txt------modelInfo.txt")));
  }
}

}  // namespace
}  // namespace tickcheck
