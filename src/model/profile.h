#pragma once
// Lookups in a model file of sections and keys. There is no parser that keeps the file: every
// lookup opens the file in binary mode, scans it from the start for one section and one key by
// the rules below, and closes it. The rules decide which files load, so they are part of the
// file format:
//  - lines are read in pieces of at most 16383 bytes; a longer line arrives as several pieces,
//    each treated as a line of its own; a NUL byte ends a line's text;
//  - leading blanks (space, tab) are skipped; a line `[Name]` (after trimming trailing blanks and
//    line ends) opens section Name, compared byte by byte;
//  - inside the wanted section, a line starting with `[` ends it (that line is consumed, never
//    matched as a header) and the search for another section of the same name goes on;
//  - a key line is `key=value`; the key is everything up to the first `=`, blanks included;
//  - the first matching key of the first matching section that holds it wins.
// The lookups print nothing and report every failure by returning the default.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tickcheck {

// Size of the line buffer; a line is read in pieces of at most kProfileLineBuffer - 1 bytes.
inline constexpr int kProfileLineBuffer = 16384;

// The longest numbered list of a model file (variables, locations, jumps, active clocks,
// assignments, the comparisons of a constraint, the atoms of a property): every list ends at its
// first missing entry, and after entry kMaxListLength at the latest.
inline constexpr int32_t kMaxListLength = 65534;

// The integer value of `key` in `section`, or `defaultValue` when any argument is null, the file
// cannot be opened, or the key is missing. A found value converts like an unsigned decimal
// conversion: blanks skipped, one optional sign, digits up to the first non-digit, no digits
// giving 0, `-` giving the two's complement. A number beyond 32 bits keeps its low 32 bits.
int32_t ReadProfileInt(const char* section, const char* key, int32_t defaultValue,
                       const char* path);

// Writes the first word of the value (or `defaultText`, or "" when that is null too) into `out`,
// cut to `size` - 1 characters and NUL-terminated; returns the number of characters written.
// Writes nothing when `out` is null or `size` is 0 or less.
int ReadProfileString(const char* section, const char* key, const char* defaultText, char* out,
                      int size, const char* path);

// ReadProfileInt with default -1: the model loaders read every integer through it, so -1 means
// that the key is absent.
int32_t ProfileInt(const std::string& section, const std::string& key, const std::string& path);

// ReadProfileString with an empty default and a 1000-byte buffer: at most 999 characters.
std::string ProfileString(const std::string& section, const std::string& key,
                          const std::string& path);

// Scans the open `file` from its current position. On success the file stands on the byte just
// behind the first `=` of the matching key line, so a binary value can be read from there, and
// true is returned. Otherwise the file stands at its end and false is returned. Never closes the
// file.
bool LocateProfileValue(std::FILE* file, const char* section, const char* key);

// What comes first in the open `file`, read from its current position by the rules above: a line
// that is a section header `[Name]`, a NUL byte (binary data, which a model file holds only in
// the values of keys inside sections), or the end of the file. A file without a header holds no
// key that any lookup could find. Reads up to that point and leaves the position there.
enum class ProfileStart { kHeader, kBinary, kNoHeader };
ProfileStart ReadProfileStart(std::FILE* file);

// Every key line of a model file, found in one pass by exactly the rules above, so that a loader
// reading thousands of keys does not rescan the file for each of them. Its answers equal those of
// the lookups above for a file that does not change while the index is used.
class ProfileIndex {
 public:
  // Reads the file at `path`; a file that cannot be opened gives an index without keys.
  explicit ProfileIndex(const std::string& path);
  // The index of a model file held in memory (`bytes`), named `name` where a name is needed;
  // answers like the index of a file holding those bytes.
  static ProfileIndex OfBytes(std::string name, std::string bytes);

  bool Opened() const { return opened_; }
  const std::string& Path() const { return path_; }
  // The file's bytes, which ValueOffset counts into.
  const std::string& Bytes() const { return bytes_; }

  // Like ProfileInt: the value of `key` in `section`, -1 when missing.
  int32_t Int(const std::string& section, const std::string& key) const;
  // Like ProfileString: the first word of the value, at most 999 characters, "" when missing.
  std::string String(const std::string& section, const std::string& key) const;
  // Like LocateProfileValue on a file positioned at its start: the offset of the byte behind the
  // first `=` of the key line.
  std::optional<long> ValueOffset(const std::string& section, const std::string& key) const;
  // Calls `visit(key, valueOffset)` for each distinct key of `section`, in the order of the key
  // lines that the lookups would find.
  void ForEachKey(const std::string& section,
                  const std::function<void(std::string_view key, long valueOffset)>& visit) const;

 private:
  struct Entry {
    long offset = 0;
    std::string value;  // the line's text behind the `=`, up to a NUL or the piece's end
  };
  struct Section {
    std::unordered_map<std::string, size_t> byKey;  // index into entries
    std::vector<std::pair<std::string, Entry>> entries;
  };
  ProfileIndex() = default;
  const Entry* Find(const std::string& section, const std::string& key) const;
  void IndexBytes();

  std::string path_;
  bool opened_ = false;
  std::string bytes_;
  std::unordered_map<std::string, Section> sections_;
};

}  // namespace tickcheck
