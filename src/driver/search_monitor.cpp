#include "driver/search_monitor.h"

#include "driver/process_memory.h"
#include "driver/units.h"

namespace tickcheck {
namespace {

constexpr std::chrono::seconds kProgressInterval{2};
constexpr std::chrono::milliseconds kMemoryReadInterval{2};

double SecondsBetween(SearchMonitor::Clock::time_point from, SearchMonitor::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::string ProgressLine(const SearchProgress& progress, double elapsed, int64_t rate,
                         uint64_t residentBytes) {
  return "progress: " + Seconds(elapsed) + ", " + Counted(progress.storedStates, "stored state") +
         ", " + std::to_string(progress.waitingEntries) + " waiting, " + std::to_string(rate) +
         " states/s, " + Mebibytes(residentBytes) + " resident";
}

}  // namespace

SearchMonitor::SearchMonitor(const InterruptCatcher& interrupt, bool showProgress,
                             std::ostream& err, Clock::time_point start, ResourceLimits limits)
    : interrupt_(interrupt),
      showProgress_(showProgress),
      err_(err),
      start_(start),
      nextLine_(start + kProgressInterval),
      lastLine_(start),
      limits_(limits),
      nextMemoryRead_(start) {}

bool SearchMonitor::WithinLimits() {
  if (reached_)
    return false;
  if (!limits_.seconds && !limits_.memoryBytes)
    return true;
  const Clock::time_point now = Clock::now();
  if (limits_.seconds && SecondsBetween(start_, now) >= *limits_.seconds) {
    reached_ = ResourceLimit::kTime;
    return false;
  }
  if (limits_.memoryBytes && now >= nextMemoryRead_) {
    nextMemoryRead_ = now + kMemoryReadInterval;
    const uint64_t limit = *limits_.memoryBytes;
    if (ResidentBytes() >= limit - limit / 32) {
      reached_ = ResourceLimit::kMemory;
      return false;
    }
  }
  return true;
}

bool SearchMonitor::Continue(const SearchProgress& progress) {
  if (interrupt_.Interrupted()) {
    stopped_ = true;
    return false;
  }
  if (!WithinLimits())
    return false;
  if (!showProgress_)
    return true;
  const Clock::time_point now = Clock::now();
  if (now < nextLine_)
    return true;
  const int64_t rate =
      PerSecond(progress.storedStates - storedAtLastLine_, SecondsBetween(lastLine_, now));
  err_ << ProgressLine(progress, SecondsBetween(start_, now), rate, ResidentBytes()) << '\n'
       << std::flush;
  lastLine_ = now;
  storedAtLastLine_ = progress.storedStates;
  // Lines keep to the grid of whole intervals even when a poll comes late.
  while (nextLine_ <= now)
    nextLine_ += kProgressInterval;
  return true;
}

}  // namespace tickcheck
