#include "model/profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>

#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::TempDir;
using testing::WriteFile;

class ProfileTest : public ::testing::Test {
 protected:
  // Writes `contents` as the model file and returns its path.
  std::string Model(const std::string& contents) {
    WriteFile(path_, contents);
    return path_;
  }
  int32_t Int(const std::string& section, const std::string& key) {
    return ProfileInt(section, key, path_);
  }
  std::string Str(const std::string& section, const std::string& key) {
    return ProfileString(section, key, path_);
  }

  TempDir dir_;
  std::string path_ = dir_.File("model.txt");
};

TEST_F(ProfileTest, SectionHeadersMatchExactlyAfterTrimmingTheLine) {
  Model("[General]\nProcessNumber=3\n");
  EXPECT_EQ(Int("General", "ProcessNumber"), 3);
  Model("  [General]  \t\r\n  ProcessNumber=3  \n");
  EXPECT_EQ(Int("General", "ProcessNumber"), 3);
  Model("[General]\r\nProcessNumber=4\r\n");
  EXPECT_EQ(Int("General", "ProcessNumber"), 4);
  Model("[ General ]\nProcessNumber=3\n");
  EXPECT_EQ(Int("General", "ProcessNumber"), -1);
  Model("[General] ;x\nProcessNumber=3\n");
  EXPECT_EQ(Int("General", "ProcessNumber"), -1);
  Model("[general]\nProcessNumber=3\n");
  EXPECT_EQ(Int("General", "ProcessNumber"), -1);
}

TEST_F(ProfileTest, KeyIsTheTextUpToTheFirstEqualsSignBlanksIncluded) {
  Model("[General]\nProcessNumber = 3\nOther=1\n");
  EXPECT_EQ(Int("General", "ProcessNumber"), -1);
  EXPECT_EQ(Int("General", "ProcessNumber "), 3);
  Model("[General]\n\tOther=1\nk=a=b\n");
  EXPECT_EQ(Int("General", "Other"), 1);
  EXPECT_EQ(Str("General", "k"), "a=b");
  EXPECT_EQ(Int("General", "k=a"), -1);
}

TEST_F(ProfileTest, DecimalConversionFollowsTheUnsignedRules) {
  Model(
      "[S]\nempty=\ntext=abc\nneg=-2\nmixed=12abc\nplus=+7\nspaced= \t 9\nsigns=+-3\n"
      "big=4294967297\nhalf=2147483648\nnegbig=-4294967295\nminus=-\n");
  EXPECT_EQ(Int("S", "empty"), 0);
  EXPECT_EQ(Int("S", "text"), 0);
  EXPECT_EQ(Int("S", "neg"), -2);
  EXPECT_EQ(Int("S", "mixed"), 12);
  EXPECT_EQ(Int("S", "plus"), 7);
  EXPECT_EQ(Int("S", "spaced"), 9);
  EXPECT_EQ(Int("S", "signs"), 0);
  EXPECT_EQ(Int("S", "minus"), 0);
  // Beyond 32 bits the low 32 bits of the number are kept.
  EXPECT_EQ(Int("S", "big"), 1);
  EXPECT_EQ(Int("S", "half"), INT_MIN);
  EXPECT_EQ(Int("S", "negbig"), 1);
  EXPECT_EQ(Int("S", "missing"), -1);
  EXPECT_EQ(ReadProfileInt("S", "missing", 42, path_.c_str()), 42);
}

TEST_F(ProfileTest, StringsAreTheFirstWordCutTo999Characters) {
  Model("[S]\nName=foo bar\nEmpty=\nBlank=   \nTabbed=\tx\ty\nCrlf=abc\r\nLong=" +
        std::string(1200, 'a') + "\n");
  EXPECT_EQ(Str("S", "Name"), "foo");
  EXPECT_EQ(Str("S", "Empty"), "");
  EXPECT_EQ(Str("S", "Blank"), "");
  EXPECT_EQ(Str("S", "Tabbed"), "x");
  EXPECT_EQ(Str("S", "Crlf"), "abc");
  EXPECT_EQ(Str("S", "Long"), std::string(999, 'a'));
  EXPECT_EQ(Str("S", "Missing"), "");

  char buffer[4];
  EXPECT_EQ(ReadProfileString("S", "Name", "", buffer, sizeof buffer, path_.c_str()), 3);
  EXPECT_STREQ(buffer, "foo");
  EXPECT_EQ(ReadProfileString("S", "Missing", "default", buffer, sizeof buffer, path_.c_str()), 3);
  EXPECT_STREQ(buffer, "def");
  EXPECT_EQ(ReadProfileString("S", "Missing", nullptr, buffer, sizeof buffer, path_.c_str()), 0);
  EXPECT_STREQ(buffer, "");
}

TEST_F(ProfileTest, MissingArgumentsAndFilesGiveTheDefault) {
  Model("[S]\nk=5\n");
  EXPECT_EQ(ReadProfileInt(nullptr, "k", 7, path_.c_str()), 7);
  EXPECT_EQ(ReadProfileInt("S", nullptr, 7, path_.c_str()), 7);
  EXPECT_EQ(ReadProfileInt("S", "k", 7, nullptr), 7);
  const std::string missing = dir_.File("absent.txt");
  EXPECT_EQ(ProfileInt("S", "k", missing), -1);
  EXPECT_EQ(ProfileString("S", "k", missing), "");
}

TEST_F(ProfileTest, ABracketLineEndsTheSectionAndIsNeverMatchedAsHeader) {
  Model("[A]\n[A]\nk=1\n");
  EXPECT_EQ(Int("A", "k"), -1);
  Model("[A]\n[B]\n[A]\nk=1\n");
  EXPECT_EQ(Int("A", "k"), 1);
  Model("[A]\nx=1\n  [B]\nk=2\n");
  EXPECT_EQ(Int("A", "k"), -1);
  EXPECT_EQ(Int("B", "k"), 2);  // a lookup of B does see that header
}

TEST_F(ProfileTest, FirstMatchWinsAndLaterSectionsOfTheSameNameAreSearched) {
  Model("[A]\nk=1\nk=2\n[B]\nk=3\n[A]\nk=4\nj=5\n");
  EXPECT_EQ(Int("A", "k"), 1);
  EXPECT_EQ(Int("B", "k"), 3);
  EXPECT_EQ(Int("A", "j"), 5);
}

TEST_F(ProfileTest, LastLineWithoutLineBreakIsFound) {
  Model("[A]\nx=1\nk=9");
  EXPECT_EQ(Int("A", "k"), 9);
  Model("[A]");
  EXPECT_EQ(Int("A", "k"), -1);
}

TEST_F(ProfileTest, LongLinesArriveInPiecesOf16383Bytes) {
  // A 20000-byte line is two lines: the second piece starts at byte 16383.
  std::string line(20000, 'x');
  line.replace(16383, 4, "k=77");
  Model("[A]\n" + line + "\n");
  EXPECT_EQ(Int("A", "k"), 77);
  // One byte earlier, the key is part of the first piece's text and is not a key line.
  std::string shifted(20000, 'x');
  shifted.replace(16382, 4, "k=77");
  Model("[A]\n" + shifted + "\n");
  EXPECT_EQ(Int("A", "k"), -1);
}

TEST_F(ProfileTest, NulEndsTheTextOfALine) {
  Model(std::string("[A]\nk\0=1\nj=2\0 3\n", 16));
  EXPECT_EQ(Int("A", "k"), -1);
  EXPECT_EQ(Int("A", "j"), 2);
  Model(std::string("[A\0]\nk=1\n", 10));
  EXPECT_EQ(Int("A", "k"), -1);
}

TEST_F(ProfileTest, BinaryGarbageNeverBreaksTheReader) {
  std::string bytes;
  for (int i = 0; i < 70000; ++i)
    bytes.push_back(static_cast<char>((i * 7919) & 0xff));
  Model("[A]\n" + bytes + "\n[B]\n[A]\nk=3\n");
  EXPECT_EQ(Int("A", "k"), 3);
  EXPECT_EQ(Str("A", "missing"), "");
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

TEST_F(ProfileTest, LocateLeavesTheFileBehindTheEqualsSign) {
  Model("[E]\nTotal=2\nexp-0=AB\nexp-1=CD\n");
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path_.c_str(), "rb"));
  ASSERT_TRUE(LocateProfileValue(file.get(), "E", "exp-1"));
  EXPECT_EQ(std::fgetc(file.get()), 'C');
  // The scan starts at the current position: exp-0 lies behind it now.
  EXPECT_FALSE(LocateProfileValue(file.get(), "E", "exp-0"));
  EXPECT_EQ(std::fgetc(file.get()), EOF);
  std::rewind(file.get());
  ASSERT_TRUE(LocateProfileValue(file.get(), "E", "exp-0"));
  EXPECT_EQ(std::fgetc(file.get()), 'A');
}

TEST_F(ProfileTest, ABinaryValueWithALineFeedAndBracketEndsTheSection) {
  const std::string record = std::string("\x01\x02\n  [\x05", 6);
  Model("[E]\nexp-0=" + record + "\nexp-1=9\n");
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path_.c_str(), "rb"));
  ASSERT_TRUE(LocateProfileValue(file.get(), "E", "exp-0"));
  char read[6];
  ASSERT_EQ(std::fread(read, 1, 6, file.get()), 6u);
  EXPECT_EQ(std::string(read, 6), record);
  EXPECT_EQ(Int("E", "exp-1"), -1);
}

// The one-pass index must answer every lookup exactly as a scan of the file does, on files made
// of the lines that matter to the rules: headers, bracket lines, key lines, blanks, NULs, line
// ends without line feed and lines longer than a piece.
TEST_F(ProfileTest, TheIndexAnswersLikeTheLookups) {
  const std::vector<std::string> sections = {"A", "B", "Expressions"};
  const std::vector<std::string> keys = {"k", "j", "exp-1", "k "};
  const std::vector<std::string> lines = {"[A]",
                                          "[B]",
                                          "  [A]  ",
                                          "[Expressions]",
                                          "[A] x",
                                          "[",
                                          "[]",
                                          "k=1",
                                          "k=2 3",
                                          "  j=7",
                                          "k =4",
                                          "exp-1=\x01\n[",
                                          "j=",
                                          "x",
                                          "",
                                          "\t",
                                          std::string("k\0=9", 4),
                                          "j=5\r",
                                          std::string(16390, 'y') + "k=8",
                                          "k=" + std::string(1100, 'w')};
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string contents;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      contents += lines[random() % lines.size()];
      if (i + 1 < count || random() % 2 == 0)
        contents += (random() % 4 == 0) ? "\r\n" : "\n";
    }
    Model(contents);
    const ProfileIndex index(path_);
    for (const std::string& section : sections) {
      for (const std::string& key : keys) {
        const std::string where = "round " + std::to_string(round) + " [" + section + "] " + key;
        EXPECT_EQ(index.Int(section, key), Int(section, key)) << where;
        EXPECT_EQ(index.String(section, key), Str(section, key)) << where;
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path_.c_str(), "rb"));
        const bool found = LocateProfileValue(file.get(), section.c_str(), key.c_str());
        const std::optional<long> offset = index.ValueOffset(section, key);
        ASSERT_EQ(offset.has_value(), found) << where;
        if (found) {
          EXPECT_EQ(*offset, std::ftell(file.get())) << where;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tickcheck
