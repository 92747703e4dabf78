#pragma once
// Output files that are either replaced whole or left as they were. A file's contents are written
// to a temporary file next to it, which is then renamed onto it: a reader sees the old file or
// the complete new one, and a run that ends early (interrupted, out of memory) leaves the old one.

#include <optional>
#include <string>
#include <string_view>

namespace tickcheck {

// Nothing when ReplaceFile(`path`, ...) can be expected to succeed: `path` is not a directory,
// and its directory exists and may be written. Otherwise the reason, such as "is a directory".
// Creates nothing.
std::optional<std::string> ReplaceProblem(const std::string& path);

// Writes `bytes` to a temporary file in the directory of `path` (created with the usual
// permissions) and renames it onto `path`. Nothing when done; otherwise the reason, after the
// temporary file was removed and `path` left as it was.
std::optional<std::string> ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace tickcheck
