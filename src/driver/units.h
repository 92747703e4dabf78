#pragma once
// Numbers with units, as the lines on standard error show them.

#include <cstdint>
#include <string>

namespace tickcheck {

// "41.2 MiB": bytes in mebibytes with one decimal.
std::string Mebibytes(uint64_t bytes);
// "2.015 s": seconds with three decimals.
std::string Seconds(double seconds);
// `count` per second over `seconds`, rounded down; 0 when no time passed.
int64_t PerSecond(int64_t count, double seconds);
// "1 sweep", "12 sweeps": the count and the noun, with an "s" unless the count is 1.
std::string Counted(int64_t count, const std::string& noun);

}  // namespace tickcheck
