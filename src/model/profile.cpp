#include "model/profile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tickcheck {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}
bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits the bytes of a whole file into the pieces that fgets with the line buffer would read.
class PieceReader {
 public:
  explicit PieceReader(const std::string& bytes) : bytes_(bytes) {}

  // The next piece and its offset in the file, or false at the end.
  bool Next(std::string_view& piece, long& offset) {
    if (position_ >= bytes_.size())
      return false;
    const size_t limit = std::min(bytes_.size(), position_ + kProfileLineBuffer - 1);
    size_t end = position_;
    while (end < limit && bytes_[end] != '\n')
      ++end;
    if (end < limit)
      ++end;
    piece = std::string_view(bytes_).substr(position_, end - position_);
    offset = static_cast<long>(position_);
    position_ = end;
    return true;
  }

 private:
  const std::string& bytes_;
  size_t position_ = 0;
};

// The text of a piece: up to its first NUL.
std::string_view PieceText(std::string_view piece) {
  const size_t nul = piece.find('\0');
  return nul == std::string_view::npos ? piece : piece.substr(0, nul);
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start]))
    ++start;
  return text.substr(start);
}

// The section name when `text` (leading blanks already skipped) is a header line.
std::optional<std::string_view> HeaderName(std::string_view text) {
  size_t length = text.size();
  while (length > 1 && (IsBlank(text[length - 1]) || IsLineEnd(text[length - 1])))
    --length;
  if (length < 2 || text[0] != '[' || text[length - 1] != ']')
    return std::nullopt;
  return text.substr(1, length - 2);
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
      if (!FindSection(section))
        return false;
      for (;;) {
        long lineStart = std::ftell(file_);
        if (!ReadPiece())
          return false;
        const char* text = SkipBlanks(buffer_.data());
        if (*text == '[')
          break;  // the section ended; look for the next one of that name
        const char* equals = std::strchr(text, '=');
        if (equals != nullptr && static_cast<size_t>(equals - text) == keyLength &&
            std::memcmp(text, key, keyLength) == 0) {
          value_ = equals + 1;
          valueOffset_ = lineStart + (equals + 1 - buffer_.data());
          return true;
        }
        if (std::feof(file_))
          return false;
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
    while (IsBlank(*text))
      ++text;
    return text;
  }

  bool FindSection(const char* section) {
    const size_t sectionLength = std::strlen(section);
    for (;;) {
      // A piece that reaches the end of the file ends the search, even when it is a header:
      // a section with nothing after it holds no key anyway.
      if (!ReadPiece() || std::feof(file_))
        return false;
      const std::optional<std::string_view> name = HeaderName(SkipBlanks(buffer_.data()));
      if (name && *name == std::string_view(section, sectionLength))
        return true;
    }
  }

  std::FILE* file_;
  std::vector<char> buffer_;
  const char* value_ = nullptr;
  long valueOffset_ = 0;
};

int32_t ConvertDecimal(const char* text) {
  while (IsWhiteSpace(*text))
    ++text;
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
  if (negative)
    value = 0u - value;
  return static_cast<int32_t>(value);
}

std::string FirstWord(const char* text) {
  while (*text != '\0' && IsWhiteSpace(*text))
    ++text;
  const char* end = text;
  while (*end != '\0' && !IsWhiteSpace(*end))
    ++end;
  return std::string(text, end);
}

constexpr size_t kProfileStringLimit = 999;

}  // namespace

ProfileStart ReadProfileStart(std::FILE* file) {
  std::string piece;
  for (;;) {
    piece.clear();
    int c = 0;
    while (piece.size() < static_cast<size_t>(kProfileLineBuffer - 1) &&
           (c = std::fgetc(file)) != EOF) {
      if (c == '\0')
        return ProfileStart::kBinary;
      piece.push_back(static_cast<char>(c));
      if (c == '\n')
        break;
    }
    if (piece.empty())
      return ProfileStart::kNoHeader;
    if (HeaderName(WithoutLeadingBlanks(piece)))
      return ProfileStart::kHeader;
  }
}

int32_t ReadProfileInt(const char* section, const char* key, int32_t defaultValue,
                       const char* path) {
  if (section == nullptr || key == nullptr || path == nullptr)
    return defaultValue;
  FileHandle file(std::fopen(path, "rb"));
  if (!file)
    return defaultValue;
  ProfileScanner scanner(file.get());
  if (!scanner.Find(section, key))
    return defaultValue;
  return ConvertDecimal(scanner.Value());
}

int ReadProfileString(const char* section, const char* key, const char* defaultText, char* out,
                      int size, const char* path) {
  std::string result = defaultText != nullptr ? defaultText : "";
  if (section != nullptr && key != nullptr && path != nullptr) {
    FileHandle file(std::fopen(path, "rb"));
    if (file) {
      ProfileScanner scanner(file.get());
      if (scanner.Find(section, key))
        result = FirstWord(scanner.Value());
    }
  }
  if (out == nullptr || size <= 0)
    return 0;
  if (result.size() > static_cast<size_t>(size - 1))
    result.resize(static_cast<size_t>(size - 1));
  std::memcpy(out, result.c_str(), result.size() + 1);
  return static_cast<int>(result.size());
}

int32_t ProfileInt(const std::string& section, const std::string& key, const std::string& path) {
  return ReadProfileInt(section.c_str(), key.c_str(), -1, path.c_str());
}

std::string ProfileString(const std::string& section, const std::string& key,
                          const std::string& path) {
  char buffer[kProfileStringLimit + 1];
  const int length =
      ReadProfileString(section.c_str(), key.c_str(), "", buffer, sizeof buffer, path.c_str());
  return std::string(buffer, static_cast<size_t>(length));
}

bool LocateProfileValue(std::FILE* file, const char* section, const char* key) {
  if (file == nullptr || section == nullptr || key == nullptr)
    return false;
  ProfileScanner scanner(file);
  if (!scanner.Find(section, key))
    return false;
  return std::fseek(file, scanner.ValueOffset(), SEEK_SET) == 0;
}

}  // namespace tickcheck

namespace tickcheck {

// One pass over the pieces. At any line at most one section is in its key phase: the one whose
// header came last, until the next line that starts with `[`. Such a line ends that section
// without being a header for it, but every other section is still looking for its header, so
// the line opens another section when it is one. (A header on a last line without line feed is
// ignored by the lookups, but as nothing follows it, taking it changes no answer.)
ProfileIndex::ProfileIndex(const std::string& path) : path_(path) {
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return;
  opened_ = true;
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
    bytes_.append(chunk, got);
  IndexBytes();
}

ProfileIndex ProfileIndex::OfBytes(std::string name, std::string bytes) {
  ProfileIndex index;
  index.path_ = std::move(name);
  index.opened_ = true;
  index.bytes_ = std::move(bytes);
  index.IndexBytes();
  return index;
}

void ProfileIndex::IndexBytes() {
  PieceReader reader(bytes_);
  std::string_view piece;
  long offset = 0;
  Section* current = nullptr;
  std::string currentName;
  while (reader.Next(piece, offset)) {
    const std::string_view raw = PieceText(piece);
    const std::string_view text = WithoutLeadingBlanks(raw);
    if (current != nullptr) {
      if (!text.empty() && text[0] == '[') {
        const std::optional<std::string_view> name = HeaderName(text);
        const bool reopensOther = name && *name != currentName;
        current = nullptr;
        if (reopensOther) {
          currentName = std::string(*name);
          current = &sections_[currentName];
        }
        continue;
      }
      const size_t equals = text.find('=');
      if (equals == std::string_view::npos)
        continue;
      std::string key(text.substr(0, equals));
      if (current->byKey.count(key) != 0)
        continue;
      const size_t valueStart = static_cast<size_t>(text.data() - raw.data()) + equals + 1;
      current->byKey.emplace(key, current->entries.size());
      current->entries.push_back({std::move(key), Entry{offset + static_cast<long>(valueStart),
                                                        std::string(raw.substr(valueStart))}});
      continue;
    }
    if (const std::optional<std::string_view> name = HeaderName(text)) {
      currentName = std::string(*name);
      current = &sections_[currentName];
    }
  }
}

const ProfileIndex::Entry* ProfileIndex::Find(const std::string& section,
                                              const std::string& key) const {
  const auto found = sections_.find(section);
  if (found == sections_.end())
    return nullptr;
  const auto entry = found->second.byKey.find(key);
  if (entry == found->second.byKey.end())
    return nullptr;
  return &found->second.entries[entry->second].second;
}

int32_t ProfileIndex::Int(const std::string& section, const std::string& key) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? ConvertDecimal(entry->value.c_str()) : -1;
}

std::string ProfileIndex::String(const std::string& section, const std::string& key) const {
  const Entry* entry = Find(section, key);
  if (entry == nullptr)
    return {};
  std::string word = FirstWord(entry->value.c_str());
  if (word.size() > kProfileStringLimit)
    word.resize(kProfileStringLimit);
  return word;
}

std::optional<long> ProfileIndex::ValueOffset(const std::string& section,
                                              const std::string& key) const {
  const Entry* entry = Find(section, key);
  if (entry == nullptr)
    return std::nullopt;
  return entry->offset;
}

void ProfileIndex::ForEachKey(
    const std::string& section,
    const std::function<void(std::string_view key, long valueOffset)>& visit) const {
  const auto found = sections_.find(section);
  if (found == sections_.end())
    return;
  for (const auto& [key, entry] : found->second.entries)
    visit(key, entry.offset);
}

}  // namespace tickcheck
