#include "driver/search_monitor.h"

#include "driver/process_memory.h"
#include "driver/units.h"

namespace tickcheck {
namespace {

constexpr std::chrono::seconds kProgressInterval{2};

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
                             std::ostream& err, Clock::time_point start)
    : interrupt_(interrupt),
      showProgress_(showProgress),
      err_(err),
      start_(start),
      nextLine_(start + kProgressInterval),
      lastLine_(start) {}

bool SearchMonitor::Continue(const SearchProgress& progress) {
  if (interrupt_.Interrupted()) {
    stopped_ = true;
    return false;
  }
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
