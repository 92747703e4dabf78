#include "driver/units.h"

#include <cstdio>

namespace tickcheck {

std::string Mebibytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

int64_t PerSecond(int64_t count, double seconds) {
  return seconds > 0 ? static_cast<int64_t>(static_cast<double>(count) / seconds) : 0;
}

std::string Counted(int64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace tickcheck
