#pragma once
// Whether a path names a model file at all, decided before anything is written. A model file is a
// regular, readable, non-empty file that holds a line that is a section header `[Name]` (as the
// profile reader reads headers: leading blanks skipped, trailing blanks and line ends trimmed),
// with no NUL byte before that line.
//  - A file without a header holds no key that any lookup could find: it would load as the empty
//    model, exactly like a missing file, so it is refused like one.
//  - A NUL byte before the first header marks a binary file (a program, an image, an archive),
//    whose bytes may by chance hold a line that looks like a header. A model file holds binary
//    data only in the values of keys, and keys count only inside sections.
// Any other file is accepted, even when no section of it is one the loader knows: such a file is
// a model file that describes the empty model. Text before the first header is accepted too; the
// loader ignores it.

#include <optional>
#include <string>

namespace tickcheck {

// Nothing when `path` names a model file; otherwise the reason, a phrase such as
// "No such file or directory", "is a directory" or "is empty".
std::optional<std::string> ModelFileProblem(const std::string& path);

}  // namespace tickcheck
