#pragma once
// The memory of this process, as the operating system counts it.

#include <cstdint>

namespace tickcheck {

// The resident memory now, in bytes; 0 when it cannot be read.
uint64_t ResidentBytes();
// The largest resident memory so far, in bytes; 0 when it cannot be read.
uint64_t PeakResidentBytes();

}  // namespace tickcheck
