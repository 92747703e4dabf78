#pragma once
// Console output of the run: every line goes to standard output and ends with a line feed and a
// flush, so that the lines of all stages stay in order with anything written to standard error.

#include <string_view>

namespace tickcheck {

// Writes `text`, a line feed, then flushes standard output.
void ConsoleLine(std::string_view text);

}  // namespace tickcheck
