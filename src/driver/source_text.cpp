#include "driver/source_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tickcheck {

std::optional<std::string> ReadSourceText(const std::string& path, std::string& problem) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) {
    problem = error.message();
    return std::nullopt;
  }
  if (fs::is_directory(status)) {
    problem = "is a directory";
    return std::nullopt;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
    text.append(chunk, got);
  if (std::ferror(file.get())) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  return text;
}

}  // namespace tickcheck
