#pragma once
// A fresh directory for one test, removed with everything in it when the test ends.

#include <filesystem>
#include <string>

namespace tickcheck::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` inside the directory.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The whole contents of a file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);
// Replaces the contents of a file with `bytes`.
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace tickcheck::testing
