// The profile reader on arbitrary bytes and keys. An input is `section NUL key NUL file bytes`.
// Besides looking for crashes, it checks that the one-pass ProfileIndex answers exactly like the
// lookups that scan the file: for the input's own key, and for every key that the index holds in
// the sections the file names.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/profile.h"
#include "scratch_file.h"

namespace {

using tickcheck::ProfileIndex;

[[noreturn]] void Disagree(const std::string& what, const std::string& section,
                           const std::string& key) {
  std::fprintf(stderr, "profile lookups disagree on %s for [%s] %s\n", what.c_str(),
               section.c_str(), key.c_str());
  std::abort();
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Where LocateProfileValue leaves a file opened at its start, or -1 when it finds nothing.
long LocatedOffset(const std::string& path, const std::string& section, const std::string& key) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file)
    std::abort();
  if (!tickcheck::LocateProfileValue(file.get(), section.c_str(), key.c_str()))
    return -1;
  return std::ftell(file.get());
}

void Compare(const ProfileIndex& index, const std::string& section, const std::string& key) {
  const std::string& path = index.Path();
  if (index.Int(section, key) != tickcheck::ProfileInt(section, key, path))
    Disagree("the integer", section, key);
  if (index.String(section, key) != tickcheck::ProfileString(section, key, path))
    Disagree("the string", section, key);
  const std::optional<long> offset = index.ValueOffset(section, key);
  if (offset.value_or(-1) != LocatedOffset(path, section, key))
    Disagree("the value offset", section, key);
}

// The names of the header lines of the file, as the reader would see them (at most a few).
std::vector<std::string> SectionNames(std::string_view bytes) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < bytes.size() && names.size() < 8) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos)
      end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    line = line.substr(0, line.find('\0'));
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
      line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' ||
                             line.back() == '\n'))
      line.remove_suffix(1);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      std::string name(line.substr(1, line.size() - 2));
      if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
    }
    start = end + 1;
  }
  return names;
}

// The next NUL-terminated part of the input, or everything that is left.
std::string NextPart(std::string_view& rest) {
  const size_t nul = rest.find('\0');
  const std::string part(rest.substr(0, nul));
  rest.remove_prefix(nul == std::string_view::npos ? rest.size() : nul + 1);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string section = NextPart(rest);
  const std::string key = NextPart(rest);
  const tickcheck::fuzz::ScratchFile file(reinterpret_cast<const uint8_t*>(rest.data()),
                                          rest.size());
  const ProfileIndex index(file.Path());
  Compare(index, section, key);

  // A buffer of exactly the size given, so that a write past it is caught.
  const int bufferSize = static_cast<int>(key.size() % 8) - 1;
  std::vector<char> buffer(static_cast<size_t>(std::max(bufferSize, 0)));
  const int written = tickcheck::ReadProfileString(section.c_str(), key.c_str(), section.c_str(),
                                                   buffer.empty() ? nullptr : buffer.data(),
                                                   bufferSize, file.Path().c_str());
  if (written < 0 || (bufferSize <= 0 && written != 0) || (bufferSize > 0 && written >= bufferSize))
    Disagree("the length written into a small buffer", section, key);

  for (const std::string& name : SectionNames(rest)) {
    int visited = 0;
    long previous = -1;
    index.ForEachKey(name, [&](std::string_view found, long offset) {
      if (offset <= previous)
        Disagree("the order of the keys", name, std::string(found));
      previous = offset;
      if (visited++ < 32)
        Compare(index, name, std::string(found));
    });
  }

  // A scan that starts inside the file, as the expression loader's does after a record.
  std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.Path().c_str(), "rb"));
  if (!stream || std::fseek(stream.get(), static_cast<long>(section.size() % (rest.size() + 1)),
                            SEEK_SET) != 0)
    std::abort();
  if (tickcheck::LocateProfileValue(stream.get(), section.c_str(), key.c_str()) &&
      std::ftell(stream.get()) > static_cast<long>(rest.size()))
    Disagree("a value offset behind the end of the file", section, key);
  return 0;
}
