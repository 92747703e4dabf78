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

struct Lookup {
  const char* name;
  std::string contents;
  const char* section;
  const char* key;
  int32_t value;
};

TEST_F(ProfileTest, LinesSectionsAndKeysFollowTheReadersRules) {
  const std::vector<Lookup> cases = {
      {"plain header", "[General]\nProcessNumber=3\n", "General", "ProcessNumber", 3},
      {"trimmed header", "  [General]  \t\r\n  ProcessNumber=3  \n", "General", "ProcessNumber", 3},
      {"CRLF lines", "[General]\r\nProcessNumber=4\r\n", "General", "ProcessNumber", 4},
      {"blanks inside brackets", "[ General ]\nProcessNumber=3\n", "General", "ProcessNumber", -1},
      {"text after header", "[General] ;x\nProcessNumber=3\n", "General", "ProcessNumber", -1},
      {"header case", "[general]\nProcessNumber=3\n", "General", "ProcessNumber", -1},
      {"blank before =", "[General]\nProcessNumber = 3\n", "General", "ProcessNumber", -1},
      {"blank kept in key", "[General]\nProcessNumber = 3\n", "General", "ProcessNumber ", 3},
      {"leading tab", "[General]\n\tOther=1\n", "General", "Other", 1},
      {"key ends at first =", "[General]\nk=a=b\n", "General", "k=a", -1},
      {"decimal: empty", "[S]\nv=\n", "S", "v", 0},
      {"decimal: text", "[S]\nv=abc\n", "S", "v", 0},
      {"decimal: negative", "[S]\nv=-2\n", "S", "v", -2},
      {"decimal: trailing text", "[S]\nv=12abc\n", "S", "v", 12},
      {"decimal: plus", "[S]\nv=+7\n", "S", "v", 7},
      {"decimal: leading blanks", "[S]\nv= \t 9\n", "S", "v", 9},
      {"decimal: two signs", "[S]\nv=+-3\n", "S", "v", 0},
      {"decimal: sign alone", "[S]\nv=-\n", "S", "v", 0},
      // Beyond 32 bits the low 32 bits of the number are kept.
      {"decimal: 2^32 + 1", "[S]\nv=4294967297\n", "S", "v", 1},
      {"decimal: 2^31", "[S]\nv=2147483648\n", "S", "v", INT_MIN},
      {"decimal: -(2^32 - 1)", "[S]\nv=-4294967295\n", "S", "v", 1},
      {"missing key", "[S]\nv=1\n", "S", "w", -1},
      // A bracket line ends the section and is never matched as a header.
      {"repeated header", "[A]\n[A]\nk=1\n", "A", "k", -1},
      {"header after another", "[A]\n[B]\n[A]\nk=1\n", "A", "k", 1},
      {"indented bracket ends A", "[A]\nx=1\n  [B]\nk=2\n", "A", "k", -1},
      {"indented bracket is B", "[A]\nx=1\n  [B]\nk=2\n", "B", "k", 2},
      // The first match wins, and later sections of the same name are searched.
      {"first match", "[A]\nk=1\nk=2\n[B]\nk=3\n[A]\nk=4\nj=5\n", "A", "k", 1},
      {"other section", "[A]\nk=1\nk=2\n[B]\nk=3\n[A]\nk=4\nj=5\n", "B", "k", 3},
      {"later section", "[A]\nk=1\nk=2\n[B]\nk=3\n[A]\nk=4\nj=5\n", "A", "j", 5},
      {"last line without line feed", "[A]\nx=1\nk=9", "A", "k", 9},
      {"header only", "[A]", "A", "k", -1},
      // A NUL ends the text of a line.
      {"NUL in key", std::string("[A]\nk\0=1\nj=2\0 3\n", 16), "A", "k", -1},
      {"NUL in value", std::string("[A]\nk\0=1\nj=2\0 3\n", 16), "A", "j", 2},
      {"NUL in header", std::string("[A\0]\nk=1\n", 10), "A", "k", -1},
  };
  for (const Lookup& lookup : cases) {
    Model(lookup.contents);
    EXPECT_EQ(Int(lookup.section, lookup.key), lookup.value) << lookup.name;
  }
  Model("[General]\nk=a=b\n");
  EXPECT_EQ(Str("General", "k"), "a=b");
  EXPECT_EQ(ReadProfileInt("General", "missing", 42, path_.c_str()), 42);
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
