#include "driver/model_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "model/profile.h"

namespace tickcheck {

std::optional<std::string> ModelFileProblem(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error)
    return error.message();
  if (fs::is_directory(status))
    return "is a directory";
  // The loader opens the file once per lookup: a pipe or a device could not be read twice.
  if (!fs::is_regular_file(status))
    return "is not a regular file";
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file)
    return std::string(std::strerror(errno));
  if (std::fgetc(file.get()) == EOF)
    return std::ferror(file.get()) ? std::string(std::strerror(errno)) : "is empty";
  std::rewind(file.get());
  switch (ReadProfileStart(file.get())) {
    case ProfileStart::kHeader:
      break;
    case ProfileStart::kBinary:
      return "is not a model file: it holds binary data before any section header";
    case ProfileStart::kNoHeader:
      return "is not a model file: no line in it is a section header such as [General]";
  }
  return std::nullopt;
}

}  // namespace tickcheck
