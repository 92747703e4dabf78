#include "driver/process_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace tickcheck {

uint64_t ResidentBytes() {
  // The second field of statm is the resident size in pages.
  std::ifstream statm("/proc/self/statm");
  uint64_t size = 0;
  uint64_t resident = 0;
  if (!(statm >> size >> resident))
    return 0;
  return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

uint64_t PeakResidentBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0)
    return 0;
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

}  // namespace tickcheck
