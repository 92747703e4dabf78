#pragma once
// The text of a file that a front end reads (a model, a query file, an XML document), or why it
// cannot be read, in the words of the run on a model file: "No such file or directory",
// "Permission denied", "is a directory".

#include <optional>
#include <string>

namespace tickcheck {

// The whole text of `path`; nothing, with the reason in `problem`, when it cannot be read.
std::optional<std::string> ReadSourceText(const std::string& path, std::string& problem);

}  // namespace tickcheck
