#pragma once
// The driver's control of the search: it stops the search once SIGINT arrived or a resource
// limit of the run is reached, and when asked to it writes a progress line to standard error
// every 2 s of the run: stored states, waiting entries, stored states per second since the last
// line, resident memory and the time since the run began.
//
// The time limit counts from the start of the run. The memory limit is kept by reading the
// resident memory every 2 ms of the search at most and stopping once it is within 1/32 of the
// limit: the search's memory grows in small steps (the waiting lists a chunk at a time, the
// decision diagrams by bounded increases), so the peak stays within a few per cent of it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>

#include "check/search_control.h"
#include "driver/interrupt.h"

namespace tickcheck {

// A resource whose limit ended a search.
enum class ResourceLimit { kMemory, kTime };

// The limits of a run; none by default.
struct ResourceLimits {
  std::optional<uint64_t> memoryBytes;
  std::optional<double> seconds;
};

class SearchMonitor final : public SearchControl {
 public:
  using Clock = std::chrono::steady_clock;

  // `interrupt` and `err` must outlive the monitor; `start` is the moment the run began.
  SearchMonitor(const InterruptCatcher& interrupt, bool showProgress, std::ostream& err,
                Clock::time_point start, ResourceLimits limits = {});

  bool Continue(const SearchProgress& progress) override;
  // False once a limit is reached (and from then on); the trace search asks it too.
  bool WithinLimits();

  // Whether the monitor stopped the search because of SIGINT.
  bool StoppedSearch() const { return stopped_; }
  // The limit that the run reached, if any.
  std::optional<ResourceLimit> LimitReached() const { return reached_; }

 private:
  const InterruptCatcher& interrupt_;
  bool showProgress_;
  std::ostream& err_;
  Clock::time_point start_;
  Clock::time_point nextLine_;
  Clock::time_point lastLine_;
  int64_t storedAtLastLine_ = 0;
  bool stopped_ = false;
  ResourceLimits limits_;
  Clock::time_point nextMemoryRead_;
  std::optional<ResourceLimit> reached_;
};

}  // namespace tickcheck
