#include "driver/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tickcheck {
namespace {

std::string ErrnoText() {
  return std::strerror(errno);
}

std::filesystem::path DirectoryOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::filesystem::path(".") : parent;
}

}  // namespace

std::optional<std::string> ReplaceProblem(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    return "is a directory";
  const std::filesystem::path directory = DirectoryOf(path);
  if (!std::filesystem::is_directory(directory, error))
    return "its directory " + directory.string() + " does not exist";
  if (access(directory.c_str(), W_OK | X_OK) != 0)
    return "its directory " + directory.string() + ": " + ErrnoText();
  return std::nullopt;
}

std::optional<std::string> ReplaceFile(const std::string& path, std::string_view bytes) {
  // The process id keeps the temporary names of concurrent runs apart; a name left behind by a
  // run that died is simply reused.
  const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
  const int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0)
    return ErrnoText();
  std::optional<std::string> problem;
  for (size_t written = 0; written < bytes.size() && !problem;) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno != EINTR)
      problem = ErrnoText();
    else if (n > 0)
      written += static_cast<size_t>(n);
  }
  if (close(fd) != 0 && !problem)
    problem = ErrnoText();
  if (!problem && std::rename(temporary.c_str(), path.c_str()) != 0)
    problem = ErrnoText();
  if (problem)
    unlink(temporary.c_str());
  return problem;
}

}  // namespace tickcheck
