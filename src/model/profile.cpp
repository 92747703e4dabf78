#include "model/profile.h"

#include <cstring>
#include <memory>
#include <vector>

namespace tickcheck {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One scan over an open file, shared by every lookup. The buffer lives for one lookup only.
class ProfileScanner {
 public:
  explicit ProfileScanner(std::FILE* file) : file_(file), buffer_(kProfileLineBuffer) {}

  // Finds the key line; on success `Value()` is the text behind the first `=` and
  // `ValueOffset()` its position in the file.
  bool Find(const char* section, const char* key) {
    const size_t keyLength = std::strlen(key);
    for (;;) {
      if (!FindSection(section)) return false;
      for (;;) {
        long lineStart = std::ftell(file_);
        if (!ReadPiece()) return false;
        const char* text = SkipBlanks(buffer_.data());
        if (*text == '[') break;  // the section ended; look for the next one of that name
        const char* equals = std::strchr(text, '=');
        if (equals != nullptr && static_cast<size_t>(equals - text) == keyLength &&
            std::memcmp(text, key, keyLength) == 0) {
          value_ = equals + 1;
          valueOffset_ = lineStart + (equals + 1 - buffer_.data());
          return true;
        }
        if (std::feof(file_)) return false;
      }
    }
  }

  const char* Value() const { return value_; }
  long ValueOffset() const { return valueOffset_; }

 private:
  // Reads one piece like fgets does: up to and including a line feed, at most the buffer size
  // minus one bytes. False when nothing could be read.
  bool ReadPiece() { return std::fgets(buffer_.data(), kProfileLineBuffer, file_) != nullptr; }

  static const char* SkipBlanks(const char* text) {
    while (IsBlank(*text)) ++text;
    return text;
  }

  bool FindSection(const char* section) {
    const size_t sectionLength = std::strlen(section);
    for (;;) {
      // A piece that reaches the end of the file ends the search, even when it is a header:
      // a section with nothing after it holds no key anyway.
      if (!ReadPiece() || std::feof(file_)) return false;
      const char* text = SkipBlanks(buffer_.data());
      size_t length = std::strlen(text);
      while (length > 1 && (IsBlank(text[length - 1]) || IsLineEnd(text[length - 1]))) {
        --length;
      }
      if (length >= 2 && text[0] == '[' && text[length - 1] == ']' &&
          length - 2 == sectionLength && std::memcmp(text + 1, section, sectionLength) == 0) {
        return true;
      }
    }
  }

  std::FILE* file_;
  std::vector<char> buffer_;
  const char* value_ = nullptr;
  long valueOffset_ = 0;
};

int32_t ConvertDecimal(const char* text) {
  while (IsWhiteSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  // Unsigned arithmetic keeps the low 32 bits of numbers that do not fit.
  uint32_t value = 0;
  while (*text >= '0' && *text <= '9') {
    value = value * 10u + static_cast<uint32_t>(*text - '0');
    ++text;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

std::string FirstWord(const char* text) {
  while (*text != '\0' && IsWhiteSpace(*text)) ++text;
  const char* end = text;
  while (*end != '\0' && !IsWhiteSpace(*end)) ++end;
  return std::string(text, end);
}

}  // namespace

int32_t ReadProfileInt(const char* section, const char* key, int32_t defaultValue,
                       const char* path) {
  if (section == nullptr || key == nullptr || path == nullptr) return defaultValue;
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return defaultValue;
  ProfileScanner scanner(file.get());
  if (!scanner.Find(section, key)) return defaultValue;
  return ConvertDecimal(scanner.Value());
}

int ReadProfileString(const char* section, const char* key, const char* defaultText, char* out,
                      int size, const char* path) {
  std::string result = defaultText != nullptr ? defaultText : "";
  if (section != nullptr && key != nullptr && path != nullptr) {
    FileHandle file(std::fopen(path, "rb"));
    if (file) {
      ProfileScanner scanner(file.get());
      if (scanner.Find(section, key)) result = FirstWord(scanner.Value());
    }
  }
  if (out == nullptr || size <= 0) return 0;
  if (result.size() > static_cast<size_t>(size - 1)) result.resize(static_cast<size_t>(size - 1));
  std::memcpy(out, result.c_str(), result.size() + 1);
  return static_cast<int>(result.size());
}

int32_t ProfileInt(const std::string& section, const std::string& key, const std::string& path) {
  return ReadProfileInt(section.c_str(), key.c_str(), -1, path.c_str());
}

std::string ProfileString(const std::string& section, const std::string& key,
                          const std::string& path) {
  char buffer[1000];
  const int length =
      ReadProfileString(section.c_str(), key.c_str(), "", buffer, sizeof buffer, path.c_str());
  return std::string(buffer, static_cast<size_t>(length));
}

bool LocateProfileValue(std::FILE* file, const char* section, const char* key) {
  if (file == nullptr || section == nullptr || key == nullptr) return false;
  ProfileScanner scanner(file);
  if (!scanner.Find(section, key)) return false;
  return std::fseek(file, scanner.ValueOffset(), SEEK_SET) == 0;
}

}  // namespace tickcheck
