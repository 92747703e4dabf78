#include "compose/composition.h"

#include <unistd.h>

#include <algorithm>
#include <limits>
#include <string>

#include "model/console.h"

namespace tickcheck {
namespace {

std::string Num(int64_t value) {
  return std::to_string(value);
}

std::optional<Refusal> Refuse(const std::string& reason) {
  return Refusal{"ERROR! Model refused: " + reason};
}

// "process 2 (P2)", or "process 2" for a process without a name.
std::string ProcessLabel(size_t position, const CProcess& process) {
  const std::string label = "process " + Num(static_cast<int64_t>(position) + 1);
  return process.ProcessName.empty() ? label : label + " (" + process.ProcessName + ")";
}

bool IsLocationOf(const CProcess& process, int32_t location) {
  return location >= 1 && location <= process.locationCount;
}

// The loaded records keep the jumps of each source location in file order but not their numbers
// in the section, so a jump is named by its From and its place among the jumps leaving there.
std::optional<Refusal> CheckLocations(size_t position, const CProcess& process) {
  const std::string p = Num(static_cast<int64_t>(position) + 1);
  if (process.locationCount <= 0)
    return Refuse(ProcessLabel(position, process) + " has no location");
  const std::string counted = "process " + p + " has " + Num(process.locationCount) +
                              (process.locationCount == 1 ? " location" : " locations");
  if (!IsLocationOf(process, process.InitLocation))
    return Refuse("[Process" + p + "] InitLocation=" + Num(process.InitLocation) + ": " + counted);
  for (const CLocation& location : process.locations) {
    for (size_t m = 0; m < location.jumps.size(); ++m) {
      const CJump& jump = location.jumps[m];
      if (!IsLocationOf(process, jump.To)) {
        return Refuse("[Jump" + p + "] From=" + Num(jump.From) + " (its jump " +
                      Num(static_cast<int64_t>(m) + 1) + ") To=" + Num(jump.To) + ": " + counted);
      }
    }
  }
  return std::nullopt;
}

// Every count is at least 1 here, so the product only grows; it saturates at the largest 64-bit
// value, far beyond anything that can be tabled.
uint64_t ProductOfLocationCounts(const CSystem& system) {
  uint64_t product = 1;
  for (const CProcess& process : system.processes) {
    if (__builtin_mul_overflow(product, static_cast<uint64_t>(process.locationCount), &product))
      return std::numeric_limits<uint64_t>::max();
  }
  return product;
}

// Physical memory in bytes, or 0 when the system does not tell.
uint64_t PhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0)
    return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

}  // namespace

std::optional<Refusal> CComposition::CanCompose(const CSystem& system, uint64_t memoryLimit) {
  for (size_t position = 0; position < system.processes.size(); ++position) {
    if (std::optional<Refusal> refusal = CheckLocations(position, system.processes[position]))
      return refusal;
  }
  const uint64_t product = ProductOfLocationCounts(system);
  constexpr uint64_t kIndexLimit = std::numeric_limits<int32_t>::max();
  if (product > kIndexLimit) {
    const std::string shown = product == std::numeric_limits<uint64_t>::max()
                                  ? "more than " + std::to_string(product)
                                  : std::to_string(product);
    return Refuse("the product of the location counts (" + shown + ") exceeds " +
                  std::to_string(kIndexLimit));
  }
  // The dense tables are allocated and written in full at construction; the transitions
  // themselves grow only with the reachable part and are not counted.
  const uint64_t bytesPerIndex = sizeof(std::vector<CComposedTransition>) + sizeof(int32_t) +
                                 system.processes.size() * sizeof(int32_t);
  const uint64_t tableBytes = product * bytesPerIndex;
  const uint64_t physical = PhysicalMemory();
  const uint64_t memory =
      memoryLimit == 0 || (physical != 0 && physical < memoryLimit) ? physical : memoryLimit;
  if (memory != 0 && tableBytes > memory) {
    return Refuse("the composition's tables for " + std::to_string(product) +
                  " composed locations need " + std::to_string(tableBytes) +
                  " bytes, more than the " + std::to_string(memory) +
                  " bytes of this machine's memory");
  }
  return std::nullopt;
}

CComposition::CComposition(const CSystem& system, int32_t locationIndexCount, int32_t processCount)
    : system(system), locationIndexCount(locationIndexCount) {
  const size_t indexCount = static_cast<size_t>(locationIndexCount);
  locationVectors.resize(indexCount * static_cast<size_t>(processCount));
  composedFlags.assign(indexCount, 0);
  transitionLists.resize(indexCount);

  std::vector<int32_t> initial;
  for (const CProcess& process : system.processes)
    initial.push_back(process.InitLocation);

  locationWeights.assign(system.processes.size(), 1);
  for (size_t i = locationWeights.size(); i-- > 1;)
    locationWeights[i - 1] = system.processes[i].locationCount * locationWeights[i];

  initLocationIndex = VecToInt(initial);
  WriteRow(initLocationIndex, initial);
}

CComposition::~CComposition() {
  // The transitions and the dense tables are given back before the closing line, so that the
  // line marks the point where the composition's memory is free again.
  for (std::vector<CComposedTransition>& list : transitionLists)
    std::vector<CComposedTransition>().swap(list);
  std::vector<int32_t>().swap(locationVectors);
  std::vector<int32_t>().swap(composedFlags);
  ConsoleLine("composition destruct end");
}

int32_t CComposition::VecToInt(std::span<const int32_t> vector) const {
  // Unsigned arithmetic gives the wrapping sum; a negative result is the only sign of overflow.
  uint32_t sum = 0;
  const size_t count = std::min(vector.size(), locationWeights.size());
  for (size_t i = 0; i < count; ++i)
    sum += (static_cast<uint32_t>(vector[i]) - 1u) * static_cast<uint32_t>(locationWeights[i]);
  const auto index = static_cast<int32_t>(sum);
  if (index < 0) {
    ConsoleLine("ERROR! Overflow in VecToInt()!");
    return -1;
  }
  return index;
}

std::span<const int32_t> CComposition::LocationVector(int32_t index) const {
  const size_t width = locationWeights.size();
  return {locationVectors.data() + static_cast<size_t>(index) * width, width};
}

void CComposition::WriteRow(int32_t index, std::span<const int32_t> vector) {
  const size_t width = locationWeights.size();
  std::copy_n(vector.begin(), width, locationVectors.data() + static_cast<size_t>(index) * width);
}

}  // namespace tickcheck
